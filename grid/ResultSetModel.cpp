#include "ResultSetModel.h"

#include "Query.h"

namespace velmora {

ResultSetModel::ResultSetModel(const GridColumns& columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(columns)
{
    resolveFields();
}

void ResultSetModel::setQuery(Query* query)
{
    if (m_query == query)
        return;
    beginResetModel();
    if (m_query)
        disconnect(m_query, nullptr, this, nullptr);
    m_query = query;
    if (m_query) {
        // The query reports changes after it made them, so every one is a whole reset, the
        // same as a changed column collection: its field list may have changed while closed.
        connect(m_query, &Query::afterOpen, this, &ResultSetModel::columnsReset);
        connect(m_query, &Query::afterClose, this, &ResultSetModel::columnsReset);
        connect(m_query, &Query::rowsReset, this, &ResultSetModel::columnsReset);
    }
    resolveFields();
    endResetModel();
}

void ResultSetModel::columnsReset()
{
    beginResetModel();
    resolveFields();
    endResetModel();
}

void ResultSetModel::resolveFields()
{
    m_fieldIndex.clear();
    for (const GridColumn& column : m_columns)
        m_fieldIndex.push_back(m_query ? m_query->fieldIndex(column.fieldName) : -1);
}

int ResultSetModel::fieldIndexOf(int column) const
{
    return column >= 0 && size_t(column) < m_fieldIndex.size() ? m_fieldIndex[size_t(column)] : -1;
}

int ResultSetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_query || !m_query->isActive())
        return 0;
    return m_query->recordCount();
}

int ResultSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ResultSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::ParentIsInvalid))
        return {};
    const int field = fieldIndexOf(index.column());
    if (field < 0)
        return {};
    const FieldKind kind = m_query->fields()[size_t(field)].kind;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return fieldDisplayText(m_query->valueAt(index.row(), field), kind);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(int(fieldAlignment(kind)));
    default:
        return {};
    }
}

QVariant ResultSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || size_t(section) >= m_columns.size())
        return {};
    const GridColumn& column = m_columns[size_t(section)];
    switch (role) {
    case Qt::DisplayRole:
        return column.caption();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(int(column.titleAlignment | Qt::AlignVCenter));
    default:
        return {};
    }
}

Qt::ItemFlags ResultSetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || !checkIndex(index, CheckIndexOption::ParentIsInvalid))
        return Qt::NoItemFlags;
    // No row is ever changed through a grid; "editable" only lets the read-only editor open.
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    return m_editorAllowed ? flags | Qt::ItemIsEditable : flags;
}

void ResultSetModel::setEditorAllowed(bool allowed)
{
    // Views ask for the flags when an edit starts, so nothing needs announcing.
    m_editorAllowed = allowed;
}

} // namespace velmora
