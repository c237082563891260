#include "app/ResultCellDelegate.h"

#include <QPainter>

#include "app/TableModel.h"
#include "report/Report.h"

namespace {

quarlex::Money moneyOf(const quarlex::Value& value) {
    const auto* money = std::get_if<quarlex::Money>(&value);
    return money ? *money : quarlex::Money();
}

} // namespace

bool TResultCellDelegate::isOverpaid(const QModelIndex& index) {
    const auto* model = qobject_cast<const TableModel*>(index.model());
    if (!model)
        return false;
    return quarlex::isOverpaidRow(moneyOf(model->fieldValue(index.row(), "StrItog")),
                                  moneyOf(model->fieldValue(index.row(), "NakItog")));
}

void TResultCellDelegate::DBGrid2DrawColumnCell(QPainter* painter,
                                                const QStyleOptionViewItem& option,
                                                const QModelIndex& index) const {
    if (!isOverpaid(index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    painter->fillRect(option.rect, kOverpaidColor);
    // The selected and the current cell stay pure red too: the style's
    // highlight and focus overlay are left out; their text shows in the
    // highlight's text colour instead.
    QStyleOptionViewItem cell(option);
    const QStyle::State marked = QStyle::State_Selected | QStyle::State_HasFocus;
    if (cell.state & marked) {
        cell.state &= ~marked;
        cell.palette.setBrush(QPalette::Text, cell.palette.brush(QPalette::HighlightedText));
    }
    QStyledItemDelegate::paint(painter, cell, index);
}
