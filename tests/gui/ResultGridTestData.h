// A small process list held on the client and a shown grid over it, for the grid's widget tests.
#pragma once

#include "GridHeader.h"
#include "Query.h"
#include "ResultGrid.h"
#include "WindowInput.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <string>

namespace velmora {

inline GridColumn titleButtonColumn(const QString& fieldName)
{
    GridColumn column;
    column.fieldName = fieldName;
    column.titleButton = true;
    return column;
}

inline std::string markerText(SortMarker marker)
{
    return marker == SortMarker::Down ? "asc" : marker == SortMarker::Up ? "desc" : "none";
}

// Four processes (spid, cpu, loginame) unsorted in the server's order; 53 before 51 with equal
// cpu, so a sort by cpu alone and one by cpu then spid give different orders.
inline void holdSmallProcessList(Query& query)
{
    query.setFields({{QStringLiteral("spid"), FieldKind::Integer},
                     {QStringLiteral("cpu"), FieldKind::Integer},
                     {QStringLiteral("loginame"), FieldKind::String, 12}});
    query.createDataSet();
    query.appendRow({53, 10, QStringLiteral("web")});
    query.appendRow({52, 30, QStringLiteral("dbo")});
    query.appendRow({51, 10, QStringLiteral("sa")});
    query.appendRow({54, 20, QStringLiteral("sa")});
}

class ResultGridTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        holdSmallProcessList(query);
        query.first();

        GridOptions options;
        options.rowSelect = true;
        grid.setOptions(options);
        GridBehaviourOptions behaviourOptions;
        behaviourOptions.autoSortMarking = true;
        behaviourOptions.multiSortMarking = true;
        grid.setBehaviourOptions(behaviourOptions);
        grid.setColumns({titleButtonColumn(QStringLiteral("spid")),
                         titleButtonColumn(QStringLiteral("cpu")),
                         titleButtonColumn(QStringLiteral("loginame"))});
        grid.setDataSource(&query);
        grid.resize(400, 200);
        ASSERT_TRUE(testing::showActive(grid));
    }

    GridHeader& header() { return static_cast<GridHeader&>(*grid.horizontalHeader()); }

    QPoint titleCentre(const QString& field)
    {
        const int column = grid.columnIndex(field);
        return {header().sectionViewportPosition(column) + header().sectionSize(column) / 2,
                header().height() / 2};
    }

    void clickTitle(const QString& field, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        testing::click(*header().viewport(), titleCentre(field), Qt::LeftButton, modifiers);
    }

    /// A click on a data cell, which also gives the grid the focus.
    void clickCell(int row, int column = 0)
    {
        testing::click(*grid.viewport(), grid.visualRect(grid.model()->index(row, column)).center());
    }

    void releaseCtrl() { testing::releaseKey(Qt::Key_Control); }

    /// The spids of the visible rows in their order: "51|53|54|52".
    std::string spidOrder() const
    {
        QStringList spids;
        for (int row = 0; row < query.recordCount(); ++row)
            spids << query.valueAt(row, 0).toString();
        return spids.join(QLatin1Char('|')).toStdString();
    }

    /// Every column's mark and SortIndex: "spid:none0 cpu:asc1 loginame:none0".
    std::string marks() const
    {
        std::string text;
        for (const GridColumn& column : grid.columns())
            text += (text.empty() ? "" : " ") + column.fieldName.toStdString() + ":"
                    + markerText(column.sortMarker) + std::to_string(column.sortIndex);
        return text;
    }

    /// The sort-marked list by field name: "cpu,spid".
    std::string markedList() const
    {
        QStringList names;
        for (int column : grid.sortMarkedColumns())
            names << grid.columns()[size_t(column)].fieldName;
        return names.join(QLatin1Char(',')).toStdString();
    }

    static constexpr const char* serverOrder = "53|52|51|54";

    Query query;
    ResultGrid grid;
};

} // namespace velmora
