// One column of a result grid and the collection of them: the single source of truth for
// order, width, visibility, title, alignment, sort marks and the column's filter condition.
#pragma once

#include <QString>
#include <QStringList>
#include <Qt>
#include <optional>
#include <vector>

namespace velmora {

/// A column's sort mark: none, ascending (Down) or descending (Up).
enum class SortMarker { None, Down, Up };

/// The operators of a filter-row condition.
enum class FilterOperator { None, Equal, NotEqual, Greater, Less, GreaterOrEqual, LessOrEqual,
                            Like, NotLike, In, NotIn, IsNull, IsNotNull };
enum class FilterRelation { None, And, Or };
/// The expression type a condition takes from its column's kind.
enum class FilterExpressionType { Text, Number, DateTime, Boolean, Other };

/// A column's filter condition, as the filter row fills it from the typed text.
struct ColumnCondition {
    FilterExpressionType type = FilterExpressionType::Text;
    FilterOperator firstOperator = FilterOperator::None;
    QStringList firstOperand;      // one value, or the list of in / not in; values as typed
    FilterRelation relation = FilterRelation::None;
    FilterOperator secondOperator = FilterOperator::None;
    QStringList secondOperand;

    bool operator==(const ColumnCondition&) const = default;
};

struct ColumnFilter {
    QString dataField;             // when set, the field the condition names instead of FieldName
    QString listField;             // the column of the value list shown in the drop-down
    /// The entries of the cell's value list, in the list's order; none when the column has no
    /// list (an empty list still gives the cell its drop-down button).
    std::optional<QStringList> valueList;
    QString text;                  // what the operator typed in the filter-row cell
    ColumnCondition condition;
};

struct GridColumn {
    QString fieldName;
    QString title;                 // empty: the field's name
    Qt::Alignment titleAlignment = Qt::AlignLeft;
    int width = -1;                // -1: never set, the default width formula applies
    bool visible = true;
    bool titleButton = false;
    SortMarker sortMarker = SortMarker::None;
    int sortIndex = 0;             // 1-based place among the sort-marked columns, 0 unmarked
    ColumnFilter filter;

    /// The text of the column's title: its title, or the field's name when it has none.
    QString caption() const { return title.isEmpty() ? fieldName : title; }
};

using GridColumns = std::vector<GridColumn>;

} // namespace velmora
