#pragma once
// A grid's model over a working table. Rows are read on demand in chunks
// through Table::readRows and kept in a small cache that is dropped whenever
// the table's generation changes; no copy of the table is ever made. The row
// count and the visible columns are taken at refresh(), which the window calls
// after every command that may have changed the table.
//
// An engine error while reading is reported once through readFailed (the
// window hands it to the general error report, queued, never from inside a
// paint) and the grid goes on showing the rows it could read.
#include <QAbstractTableModel>
#include <QFont>
#include <QLocale>
#include <cstdint>
#include <list>
#include <string_view>
#include <vector>

#include "tables/Table.h"

class TableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kChunkRows = 128;
    static constexpr int kCachedChunks = 8;

    explicit TableModel(quarlex::Table& table, QLocale locale = QLocale(),
                        QObject* parent = nullptr);

    quarlex::Table& table() const { return m_table; }

    // Takes the row count and the visible columns anew.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The value of any field (visible or not) of a row; nothing when the row
    // cannot be read.
    quarlex::Value fieldValue(int row, std::string_view field) const;
    // The grid width of a column in pixels for `font`: the field's width in
    // characters times the font's average character width; 0 when the field
    // has no width of its own.
    int columnWidth(int column, const QFont& font) const;

    // A value as the grid shows it: money with two decimals in the locale's
    // number format, whole numbers plainly, text as it is.
    QString displayText(const quarlex::Value& value) const;

signals:
    // The first engine error since the last refresh(), with its message.
    void readFailed(const QString& text) const;

private:
    struct Chunk {
        int first = 0;
        std::vector<std::vector<quarlex::Value>> rows;
    };
    const std::vector<quarlex::Value>* row(int index) const;
    const quarlex::FieldDef& columnField(int column) const;
    void reportFailure(const std::exception& e) const;

    quarlex::Table& m_table;
    QLocale m_locale;
    int m_rowCount = 0;
    std::vector<int> m_columns;        // visible column -> index in def().fields
    mutable std::list<Chunk> m_chunks; // most recently used first
    mutable std::uint64_t m_cachedGeneration = 0;
    mutable bool m_failureReported = false;
};
