// Between a result grid and its result set: the grid's sort marks become a sort string, its
// column conditions a filter string, and the local sort keeps the current row by the first column.
#pragma once

#include "GridColumn.h"

#include <QLocale>
#include <QString>
#include <vector>

namespace velmora {

class GridColumnState;
class Query;

/// What the local sort and filter need of a grid: its columns with their sort state, and the
/// result set it shows.
class SortFilterGrid {
public:
    virtual ~SortFilterGrid() = default;
    virtual const GridColumnState& columnState() const = 0;
    /// The result set the grid shows; null when none.
    virtual Query* dataSource() const = 0;
};

/// The sort string of the sort-marked columns, in key order: "cpu DESC, spid"; empty for none.
QString sortStringFor(const GridColumns& columns, const std::vector<int>& sortMarked);

/// Sorts `query` by the sort-marked columns, then makes current the first row, in the new order,
/// whose first column equals the first column of the row that was current (compared as 32-bit
/// integers, a missing value as 0). Throws DbError when the query is closed, names an unknown
/// column, or the current row's first column cannot be read as an integer.
void applyLocalSort(const GridColumns& columns, const std::vector<int>& sortMarked, Query& query);
/// applyLocalSort() over the grid's column collection and sort-marked list. Throws DbError.
void ApplyLocalSort(const SortFilterGrid& grid, Query& query);

/// A grid's request to apply its changed sort marks: ignored when the grid has no open result set
/// or the result set stands at its end-of-data state; ApplyLocalSort otherwise. Returns whether
/// the rows were sorted. Throws DbError as ApplyLocalSort.
bool requestLocalSort(const SortFilterGrid& grid);

/// The filter string of the columns' conditions over `query`: " [cpu] > 100 AND  [loginame]
/// Like 'sa' ". Empty when the query is closed or no column has a condition. Throws DbError when
/// a number or date-time value cannot be read in `locale`'s format.
QString buildFilterString(const GridColumns& columns, const Query& query,
                          const QLocale& locale = QLocale());

/// A grid's filter request: sets the filter string of its conditions on its result set; the
/// filtering switch is left as it is. Throws DbError when a value or the string is unreadable.
void requestLocalFilter(const SortFilterGrid& grid);

/// The literal of one typed condition value: a number as the locale writes it, a date-time in
/// apostrophes, any other value in apostrophes with apostrophes inside doubled. Throws DbError
/// when a number or date-time value cannot be read.
QString filterLiteral(const QString& value, FilterExpressionType type,
                      const QLocale& locale = QLocale());

} // namespace velmora
