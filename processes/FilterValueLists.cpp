#include "FilterValueLists.h"

#include "FilterRow.h"
#include "Query.h"
#include "ResultGrid.h"
#include "ValueList.h"

namespace velmora {

FilterValueLists::FilterValueLists() = default;
FilterValueLists::~FilterValueLists() = default;

void FilterValueLists::release(ResultGrid& grid)
{
    for (int column = 0; column < int(grid.columns().size()); ++column) {
        if (!grid.columns()[size_t(column)].filter.valueList)
            continue;
        grid.column(column).filter.valueList.reset();
        if (FilterRow* row = grid.filterRow())
            row->clearCondition(column);
    }
    m_lists.clear();
}

void FilterValueLists::make(ResultGrid& grid, const Query& source, Connection* connection)
{
    for (int column = 0; column < int(grid.columns().size()); ++column) {
        const QString fieldName = grid.columns()[size_t(column)].fieldName;
        // A column's field name may come from the layout file; only a field the process list
        // declares names a list, so no text from the file reaches the server.
        const int field = source.fieldIndex(fieldName);
        if (field < 0)
            continue;
        const FieldDef& sourceField = source.fields()[size_t(field)];
        auto query = std::make_unique<Query>();
        query->setConnection(connection);
        query->setFields({valueListField(sourceField.name, sourceField.kind)});
        query->setSql({valueListBatch(sourceField.name, sourceField.kind)});
        query->open();
        ColumnFilter& filter = grid.column(column).filter;
        filter.dataField = filter.listField = fieldName;
        filter.valueList = QStringList();
        m_lists.push_back({column, field, std::move(query)});
    }
}

void FilterValueLists::fill(ResultGrid& grid, const Query& source)
{
    for (ColumnList& list : m_lists) {
        fillValueList(*list.query, source, list.sourceField);
        grid.column(list.column).filter.valueList = valueListEntries(*list.query);
    }
}

} // namespace velmora
