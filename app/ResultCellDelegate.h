#pragma once
// The lower grid's cell painting: every cell of a report row with a negative
// total is painted on pure red, the selected cell included; the text is drawn
// the usual way on top.
#include <QStyledItemDelegate>

class TableModel;

class TResultCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static inline const QColor kOverpaidColor{255, 0, 0};

    explicit TResultCellDelegate(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        DBGrid2DrawColumnCell(painter, option, index);
    }

    void DBGrid2DrawColumnCell(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const;

    // Whether the row of `index` has StrItog or NakItog below 0.
    static bool isOverpaid(const QModelIndex& index);
};
