// The condition grammar of a filter-row cell: "> 100", "sa, dbo", "IN (1,5) OR = NULL",
// "!~ 'x%' & <> ''". Turns the typed text into the column condition that the filter string is
// built from; needs no widget.
#pragma once

#include "FieldKind.h"
#include "GridColumn.h"

#include <QLocale>
#include <QString>

namespace velmora {

/// The expression type a condition takes on a field of this kind: text for every text kind,
/// number for integers, floating point and decimal, date-time, and other for byte strings.
FilterExpressionType filterExpressionType(FieldKind kind);

/// Parses the text typed in a filter cell into a condition of expression type `type`; an empty
/// or blank text gives the empty condition. Values keep their typed text; in number and
/// date-time conditions they must read in `locale`'s formats, the same reading the filter
/// string's literals get. Throws DbError (Usage): a grammar message followed by the trimmed text
/// ("Quote is absent: 'sa"), or the locale's conversion message ("'x' is not a valid floating
/// point value").
ColumnCondition parseFilterCondition(const QString& text, FilterExpressionType type,
                                     const QLocale& locale = QLocale());

/// Stores the text of a closing filter editor: parsed into the column's condition, it becomes
/// the cell's text as typed. Text that cannot be parsed leaves the column without a condition
/// while the cell keeps its former text; the parse error is then thrown on (DbError, Usage).
void storeFilterText(ColumnFilter& filter, const QString& text, FilterExpressionType type,
                     const QLocale& locale = QLocale());

/// Stores a value picked from the cell's value list: it becomes the cell's text, and the
/// condition is the one the grammar reads from it as long as that is the value alone. A value
/// the grammar would read otherwise (a host named "a, b" or "x and y", a login in apostrophes)
/// is still that one value, so the pick finds exactly the rows that hold it. A date-time entry
/// stands for its whole second (the server's values carry milliseconds): the condition takes
/// the values from that second up to the next. Throws DbError (Usage) as storeFilterText()
/// does, except for a text value, which always has a condition.
void storePickedValue(ColumnFilter& filter, const QString& value, FilterExpressionType type,
                      const QLocale& locale = QLocale());

/// Whether the condition is what storePickedValue() makes of `value`.
bool isPickedValue(const ColumnCondition& condition, const QString& value, FilterExpressionType type,
                   const QLocale& locale = QLocale());

} // namespace velmora
