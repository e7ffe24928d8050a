// A grid's rows as clipboard text and as a CSV file: the visible columns in their order under
// their titles, the rows as sorted and filtered, cells as the grid shows them (fixed-width text
// without its padding), and the separators inside cells made harmless.
#include "GridExport.h"

#include "Query.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

GridColumn gridColumn(const QString& fieldName, const QString& title = {})
{
    GridColumn column;
    column.fieldName = fieldName;
    column.title = title;
    return column;
}

class GridExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        query.setFields({{QStringLiteral("spid"), FieldKind::SmallInt},
                         {QStringLiteral("loginame"), FieldKind::FixedWideChar, 14},
                         {QStringLiteral("login_time"), FieldKind::DateTime},
                         {QStringLiteral("sid"), FieldKind::VarBytes, 4}});
        query.createDataSet();
        const QDateTime noon(QDate(2024, 3, 5), QTime(12, 0, 1));
        query.appendRow({57, QStringLiteral("Бухгалтерия   "), noon, QByteArray("\x01\xAB", 2)});
        query.appendRow({12, QVariant(), QVariant(), QVariant()});
        query.appendRow({33, QStringLiteral(" sa           "), QDateTime(QDate(2024, 3, 6), QTime()),
                         QVariant()});
    }

    Query query;
    const QLocale ru{QLocale::Russian, QLocale::Russia};
};

} // namespace

TEST_F(GridExportTest, TabSeparatedTextFollowsColumnsSortAndFilter)
{
    struct Case {
        const char* name;
        QString sort;
        QString filter;
        std::vector<int> hidden;     // collection indices
        bool moveTimeFirst;           // login_time dragged before spid
        std::vector<int> rows;        // visible rows copied
        QString expected;
    };
    const Case cases[] = {
        {"titles, empty and NULL cells, Cyrillic, padding, dates and bytes as shown", {}, {}, {}, false,
         {0, 1, 2},
         "Номер\tloginame\tВход\tsid\n"
         "57\tБухгалтерия\t05.03.2024 12:00:01\t0x01AB\n"
         "12\t\t\t\n"
         "33\t sa\t06.03.2024\t\n"},
        {"order after a sort", QStringLiteral("spid"), {}, {}, false, {0, 1, 2},
         "Номер\tloginame\tВход\tsid\n12\t\t\t\n33\t sa\t06.03.2024\t\n"
         "57\tБухгалтерия\t05.03.2024 12:00:01\t0x01AB\n"},
        {"filtered rows only", {}, QStringLiteral(" [spid] > 20 "), {}, false, {0, 1},
         "Номер\tloginame\tВход\tsid\n57\tБухгалтерия\t05.03.2024 12:00:01\t0x01AB\n"
         "33\t sa\t06.03.2024\t\n"},
        {"hidden columns left out", {}, {}, {1, 3}, false, {2},
         "Номер\tВход\n33\t06.03.2024\n"},
        {"moved column in its new place", {}, {}, {3}, true, {0},
         "Вход\tНомер\tloginame\n05.03.2024 12:00:01\t57\tБухгалтерия\n"},
        {"no rows: the titles alone", {}, {}, {}, false, {}, "Номер\tloginame\tВход\tsid\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GridColumns columns = {gridColumn(QStringLiteral("spid"), QStringLiteral("Номер")),
                               gridColumn(QStringLiteral("loginame")),
                               gridColumn(QStringLiteral("login_time"), QStringLiteral("Вход")),
                               gridColumn(QStringLiteral("sid"))};
        for (int index : c.hidden)
            columns[size_t(index)].visible = false;
        if (c.moveTimeFirst)
            columns = GridColumns{columns[2], columns[0], columns[1], columns[3]};
        query.setSort(c.sort);
        query.setFilter(c.filter);
        query.setFiltered(!c.filter.isEmpty());
        EXPECT_EQ(tabSeparatedText(gridTable(columns, query, c.rows, ru)), c.expected);
    }
}

TEST_F(GridExportTest, AllVisibleRowsAreTheFilteredOnesAndNoneWhileClosed)
{
    const GridColumns columns = {gridColumn(QStringLiteral("spid")), gridColumn(QStringLiteral("nofield"))};
    query.setSort(QStringLiteral("spid DESC"));
    query.setFilter(QStringLiteral(" [spid] < 50 "));
    query.setFiltered(true);
    EXPECT_EQ(tabSeparatedText(gridTable(columns, query, allVisibleRows(query), ru)),
              "spid\tnofield\n33\t\n12\t\n");
    query.close();
    EXPECT_TRUE(allVisibleRows(query).empty());
    EXPECT_EQ(tabSeparatedText(gridTable(columns, query, allVisibleRows(query), ru)), "spid\tnofield\n");
}

TEST_F(GridExportTest, CsvKeepsTextsThatLookLikeFormulasText)
{
    // Text a client chose is guarded; numbers keep their sign; the clipboard copy is unchanged.
    query.appendRow({-1, QStringLiteral("=1+2"), QVariant(), QVariant()});
    query.appendRow({-2, QStringLiteral("@A1, -x"), QVariant(), QVariant()});
    query.appendRow({-3, QStringLiteral("a=b"), QVariant(), QVariant()});
    query.setFilter(QStringLiteral(" [spid] < 0 "));
    query.setFiltered(true);
    const GridTable table = gridTable({gridColumn(QStringLiteral("spid")), gridColumn(QStringLiteral("loginame"))},
                                      query, allVisibleRows(query), ru);
    EXPECT_EQ(csvBytes(table), "\xEF\xBB\xBF" "spid,loginame\r\n-1,'=1+2\r\n-2,\"'@A1, -x\"\r\n-3,a=b\r\n");
    EXPECT_EQ(tabSeparatedText(table), "spid\tloginame\n-1\t=1+2\n-2\t@A1, -x\n-3\ta=b\n");
}

TEST(GridExport, SeparatorsInsideCellsAreMadeSafe)
{
    struct Case {
        QString cell;
        QString tabbed;   // the cell's part of a tab-separated line
        QString csv;      // the cell's CSV field
    };
    const Case cases[] = {
        {QStringLiteral("plain"), QStringLiteral("plain"), QStringLiteral("plain")},
        {QString(), QString(), QString()},
        {QStringLiteral("a,b"), QStringLiteral("a,b"), QStringLiteral("\"a,b\"")},
        {QStringLiteral("say \"hi\""), QStringLiteral("say \"hi\""), QStringLiteral("\"say \"\"hi\"\"\"")},
        {QStringLiteral("one\r\ntwo"), QStringLiteral("one two"), QStringLiteral("\"one\r\ntwo\"")},
        {QStringLiteral("one\ntwo\rthree"), QStringLiteral("one two three"),
         QStringLiteral("\"one\ntwo\rthree\"")},
        {QStringLiteral("a\tb"), QStringLiteral("a b"), QStringLiteral("a\tb")},
        {QStringLiteral(" Дом; 'x' "), QStringLiteral(" Дом; 'x' "), QStringLiteral(" Дом; 'x' ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cell.toStdString());
        const GridTable table{{QStringLiteral("A"), QStringLiteral("B")}, {{c.cell, QStringLiteral("z")}}, {}};
        EXPECT_EQ(tabSeparatedText(table), "A\tB\n" + c.tabbed + "\tz\n");
        EXPECT_EQ(csvBytes(table), "\xEF\xBB\xBF" "A,B\r\n" + (c.csv + ",z\r\n").toUtf8());
    }
}

TEST(GridExport, FileIsWrittenWholeOrNotAtAll)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("rows.csv"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("a much longer earlier content");
    }
    EXPECT_EQ(writeFileWhole(path, "new"), QString());
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "new");

    // A folder in the way and a missing folder: a reason, and nothing left behind.
    EXPECT_FALSE(writeFileWhole(dir.path(), "x").isEmpty());
    EXPECT_FALSE(writeFileWhole(dir.filePath(QStringLiteral("missing/rows.csv")), "x").isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("rows.csv")});
}
