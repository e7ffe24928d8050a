#include "SortFilterAdapter.h"

#include "DbError.h"
#include "GridColumnState.h"
#include "LocaleValues.h"
#include "Query.h"

namespace velmora {

namespace {

// The first column's value as ApplyLocalSort remembers it: a missing value counts as 0.
int firstColumnKey(const QVariant& value)
{
    if (value.isNull())
        return 0;
    bool ok = false;
    const int key = value.toInt(&ok);
    if (!ok)
        throw DbError(DbError::Cause::Usage,
                      QStringLiteral("'%1' is not a valid integer value").arg(value.toString()));
    return key;
}

QString comparisonSymbol(FilterOperator op)
{
    switch (op) {
    case FilterOperator::Equal: return QStringLiteral("=");
    case FilterOperator::NotEqual: return QStringLiteral("<>");
    case FilterOperator::Greater: return QStringLiteral(">");
    case FilterOperator::Less: return QStringLiteral("<");
    case FilterOperator::GreaterOrEqual: return QStringLiteral(">=");
    case FilterOperator::LessOrEqual: return QStringLiteral("<=");
    default: return {};
    }
}

// One operator and its operand over the column named `name`, beginning with a blank.
QString piece(const QString& name, FilterOperator op, const QStringList& operand,
              FilterExpressionType type, const QLocale& locale)
{
    const auto literal = [&](const QString& value) { return filterLiteral(value, type, locale); };
    const QString column = QStringLiteral(" [%1] ").arg(name);
    const QString first = operand.isEmpty() ? QString() : operand.first();
    switch (op) {
    case FilterOperator::In:
    case FilterOperator::NotIn: {
        const bool in = op == FilterOperator::In;
        QStringList tests;
        for (const QString& value : operand)
            tests << QStringLiteral("[%1] %2 %3").arg(name, in ? QStringLiteral("=") : QStringLiteral("<>"),
                                                      literal(value));
        return QStringLiteral(" (%1)").arg(tests.join(in ? QStringLiteral(" OR ") : QStringLiteral(" AND ")));
    }
    case FilterOperator::Like: return column + QStringLiteral("Like ") + literal(first);
    case FilterOperator::NotLike: return column + QStringLiteral("Not Like ") + literal(first);
    case FilterOperator::IsNull: return column + QStringLiteral("IS NULL");
    case FilterOperator::IsNotNull: return column + QStringLiteral("IS NOT NULL");
    case FilterOperator::None: return column + QStringLiteral(" ''");   // a relation without a second term
    default: return column + comparisonSymbol(op) + u' ' + literal(first);
    }
}

} // namespace

QString sortStringFor(const GridColumns& columns, const std::vector<int>& sortMarked)
{
    QStringList keys;
    for (int index : sortMarked) {
        const GridColumn& column = columns[size_t(index)];
        keys << (column.sortMarker == SortMarker::Up ? column.fieldName + QStringLiteral(" DESC")
                                                     : column.fieldName);
    }
    return keys.join(QStringLiteral(", "));
}

void applyLocalSort(const GridColumns& columns, const std::vector<int>& sortMarked, Query& query)
{
    const bool hasCurrent = query.isActive() && query.recNo() >= 0;
    const int remembered = hasCurrent ? firstColumnKey(query.value(0)) : 0;
    query.setSort(sortStringFor(columns, sortMarked));
    if (!hasCurrent)
        return;
    for (int row = 0; row < query.recordCount(); ++row) {
        if (firstColumnKey(query.valueAt(row, 0)) == remembered) {
            query.moveTo(row);
            return;
        }
    }
}

void ApplyLocalSort(const SortFilterGrid& grid, Query& query)
{
    const GridColumnState& state = grid.columnState();
    applyLocalSort(state.columns(), state.sortMarkedColumns(), query);
}

bool requestLocalSort(const SortFilterGrid& grid)
{
    Query* query = grid.dataSource();
    if (!query || !query->isActive() || query->eof())
        return false;
    ApplyLocalSort(grid, *query);
    return true;
}

QString buildFilterString(const GridColumns& columns, const Query& query, const QLocale& locale)
{
    if (!query.isActive())
        return {};
    QString filter;
    for (const GridColumn& column : columns) {
        const ColumnCondition& condition = column.filter.condition;
        if (condition.type == FilterExpressionType::Other || query.fieldIndex(column.fieldName) < 0
            || condition.firstOperator == FilterOperator::None)
            continue;
        const QString name = column.filter.dataField.isEmpty() ? column.fieldName
                                                               : column.filter.dataField;
        QString part = piece(name, condition.firstOperator, condition.firstOperand, condition.type,
                             locale);
        if (condition.relation != FilterRelation::None) {
            const bool isOr = condition.relation == FilterRelation::Or;
            part += (isOr ? QStringLiteral(" OR") : QStringLiteral(" AND"))
                  + piece(name, condition.secondOperator, condition.secondOperand, condition.type,
                          locale);
            if (isOr)
                part = QStringLiteral("(%1)").arg(part);
        }
        filter += part + QStringLiteral(" AND ");
    }
    filter.chop(4);   // the last " AND" goes, so the string ends in one blank
    return filter;
}

void requestLocalFilter(const SortFilterGrid& grid)
{
    if (Query* query = grid.dataSource())
        query->setFilter(buildFilterString(grid.columnState().columns(), *query));
}

QString filterLiteral(const QString& value, FilterExpressionType type, const QLocale& locale)
{
    switch (type) {
    case FilterExpressionType::Number:
        return numberText(readNumber(value, locale), locale);
    case FilterExpressionType::DateTime:
        return QStringLiteral("'%1'").arg(dateTimeText(readDateTime(value, locale), locale));
    default:
        // Apostrophes inside are doubled, so a value such as O'Brien filters rather than
        // ending the literal early.
        return QStringLiteral("'%1'").arg(QString(value).replace(u'\'', QStringLiteral("''")));
    }
}

} // namespace velmora
