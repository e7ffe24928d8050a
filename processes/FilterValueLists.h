// The value lists of the process grid's filter row: a list per grid column, shaped by the server
// and filled from the process rows held when the operator asks for them (F3). The lists are a
// snapshot; nothing rebuilds them but the next request.
#pragma once

#include <memory>
#include <vector>

namespace velmora {

class Connection;
class Query;
class ResultGrid;

class FilterValueLists {
public:
    FilterValueLists();
    ~FilterValueLists();

    /// Destroys every list and detaches it from its column, whose condition is cleared.
    void release(ResultGrid& grid);
    /// Makes an empty list for every column of the grid in its order, hidden columns included,
    /// each shaped by its batch on `connection` and attached to its column's filter cell. A column
    /// whose field the source does not declare gets none. Throws DbError when a batch fails; the
    /// columns before it keep their new empty lists, the later ones get none.
    void make(ResultGrid& grid, const Query& source, Connection* connection);
    /// Fills every list with the distinct values of its field in the source's held rows, sorts
    /// it and hands its entries to the column's drop-down. Precondition: the grid's columns and the
    /// source's fields are those make() saw. Throws DbError.
    void fill(ResultGrid& grid, const Query& source);

private:
    struct ColumnList {
        int column;                   // the grid column it was made for
        int sourceField;              // the column's field in the source
        std::unique_ptr<Query> query;
    };
    std::vector<ColumnList> m_lists;
};

} // namespace velmora
