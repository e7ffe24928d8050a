// What the tests of the local sort and filter share: a held result set of four processes under
// the Russian locale, columns and conditions made in one call, and the visible rows as text.
#pragma once

#include "GridColumn.h"
#include "Query.h"

#include <QDateTime>
#include <QLocale>
#include <gtest/gtest.h>

namespace velmora::testing {

inline const QLocale russian(QLocale::Russian, QLocale::Russia);

class SortFilterAdapter : public ::testing::Test {
protected:
    SortFilterAdapter()
    {
        QLocale::setDefault(russian);
        query.setFields({
            {QStringLiteral("spid"), FieldKind::SmallInt},
            {QStringLiteral("cpu"), FieldKind::Integer},
            {QStringLiteral("loginame"), FieldKind::FixedChar, 10},
            {QStringLiteral("login_time"), FieldKind::DateTime},
            {QStringLiteral("sid"), FieldKind::VarBytes, 85},
        });
        query.createDataSet();
        const QDate day(2026, 5, 12);
        add(51, 300, QStringLiteral("sa"), QDateTime(day, QTime(0, 0)));
        add(52, 20, QStringLiteral("O'Brien"), QDateTime(day, QTime(10, 30, 5)));
        add(53, 300, QStringLiteral("dbo"), QDateTime(day.addDays(1), QTime(0, 0)));
        add(54, 5, QStringLiteral("sa"), QDateTime(day, QTime(0, 0, 1)));
        query.first();
    }
    ~SortFilterAdapter() override { QLocale::setDefault(QLocale::c()); }

    void add(int spid, int cpu, const QString& login, const QDateTime& time)
    {
        query.appendRow({qint16(spid), cpu, login.leftJustified(10), time, QVariant()});
    }

    static GridColumn column(const QString& field, SortMarker marker = SortMarker::None)
    {
        GridColumn column;
        column.fieldName = field;
        column.sortMarker = marker;
        return column;
    }

    static ColumnCondition condition(FilterExpressionType type, FilterOperator op, QStringList operand,
                                     FilterRelation relation = FilterRelation::None,
                                     FilterOperator second = FilterOperator::None,
                                     QStringList secondOperand = {})
    {
        return {type, op, std::move(operand), relation, second, std::move(secondOperand)};
    }

    // Visible rows as "spid spid ..." with the current one starred.
    std::string visible() const
    {
        QStringList spids;
        for (int row = 0; row < query.recordCount(); ++row)
            spids << query.valueAt(row, 0).toString() + QString(row == query.recNo() ? "*" : "");
        return spids.join(u' ').toStdString();
    }

    Query query;
};

} // namespace velmora::testing
