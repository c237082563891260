#include "app/TableModel.h"

#include <QFontMetrics>

using quarlex::FieldType;
using quarlex::Value;

TableModel::TableModel(quarlex::Table& table, QLocale locale, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_locale(std::move(locale)) {
    refresh();
}

void TableModel::refresh() {
    beginResetModel();
    m_chunks.clear();
    m_columns.clear();
    m_rowCount = 0;
    m_failureReported = false;
    try {
        if (m_table.Active()) {
            const auto& fields = m_table.def().fields;
            for (int i = 0; i < static_cast<int>(fields.size()); ++i)
                if (m_table.isVisible(fields[i].name))
                    m_columns.push_back(i);
            m_rowCount = m_table.RecordCount();
        }
    } catch (const std::exception& e) {
        // A table the engine cannot count shows no rows.
        m_rowCount = 0;
        reportFailure(e);
    }
    m_cachedGeneration = m_table.generation();
    endResetModel();
}

int TableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rowCount;
}

int TableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

const quarlex::FieldDef& TableModel::columnField(int column) const {
    return m_table.def().fields[m_columns[column]];
}

const std::vector<Value>* TableModel::row(int index) const {
    if (index < 0 || index >= m_rowCount)
        return nullptr;
    if (m_table.generation() != m_cachedGeneration) {
        m_chunks.clear();
        m_cachedGeneration = m_table.generation();
    }
    const int first = index - index % kChunkRows;
    auto it = m_chunks.begin();
    while (it != m_chunks.end() && it->first != first)
        ++it;
    if (it == m_chunks.end()) {
        if (!m_table.Active())
            return nullptr;
        Chunk chunk{first, {}};
        try {
            chunk.rows = m_table.readRows(first, kChunkRows);
        } catch (const std::exception& e) {
            // Kept empty, so that painting does not ask the engine again.
            reportFailure(e);
        }
        m_chunks.push_front(std::move(chunk));
        if (static_cast<int>(m_chunks.size()) > kCachedChunks)
            m_chunks.pop_back();
        it = m_chunks.begin();
    } else if (it != m_chunks.begin()) {
        m_chunks.splice(m_chunks.begin(), m_chunks, it);
        it = m_chunks.begin();
    }
    const auto offset = static_cast<std::size_t>(index - first);
    return offset < it->rows.size() ? &it->rows[offset] : nullptr;
}

void TableModel::reportFailure(const std::exception& e) const {
    if (m_failureReported)
        return;
    m_failureReported = true;
    emit readFailed(QString::fromUtf8(e.what()));
}

QString TableModel::displayText(const Value& value) const {
    if (const auto* text = std::get_if<std::string>(&value))
        return QString::fromStdString(*text);
    if (const auto* number = std::get_if<std::int64_t>(&value))
        return QString::number(*number);
    if (const auto* money = std::get_if<quarlex::Money>(&value)) {
        const std::int64_t cents = money->roundedCents();
        const auto magnitude =
            cents < 0 ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
        const QString fraction = QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
        return (cents < 0 ? m_locale.negativeSign() : QString()) +
               m_locale.toString(static_cast<qulonglong>(magnitude / 100)) +
               m_locale.decimalPoint() + fraction;
    }
    return {};
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const quarlex::FieldDef& field = columnField(index.column());
    if (role == Qt::TextAlignmentRole) {
        const bool right = field.type == FieldType::Money;
        return int((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole)
        return {};
    const auto* values = row(index.row());
    if (!values)
        return {};
    const auto column = static_cast<std::size_t>(m_columns[index.column()]);
    if (column >= values->size())
        return {};
    return displayText((*values)[column]);
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role != Qt::DisplayRole)
        return {};
    const quarlex::FieldDef& field = columnField(section);
    return QString::fromStdString(field.title.empty() ? field.name : field.title);
}

Value TableModel::fieldValue(int rowIndex, std::string_view field) const {
    const auto* values = row(rowIndex);
    if (!values)
        return {};
    try {
        const auto column = static_cast<std::size_t>(m_table.fieldIndex(field));
        return column < values->size() ? (*values)[column] : Value{};
    } catch (const std::exception&) {
        return {};
    }
}

int TableModel::columnWidth(int column, const QFont& font) const {
    if (column < 0 || column >= columnCount())
        return 0;
    const quarlex::FieldDef& field = columnField(column);
    int chars = field.displayWidth;
    if (chars <= 0 && (field.type == FieldType::AnsiText || field.type == FieldType::UnicodeText))
        chars = field.size; // a text column's default: its width in characters
    if (chars <= 0)
        return 0;
    // A little room for the cell's margins, as the grid's own sizing leaves.
    return chars * QFontMetrics(font).averageCharWidth() + 6;
}
