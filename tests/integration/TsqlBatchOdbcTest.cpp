// The batches of the screens to come, sent through the real driver to the simulated server:
// the interpreter's replies (row counts of loops, temporary tables, dynamic statements) read
// by the data-access layer as those screens will read them.
#include "Connection.h"
#include "DatabaseQueries.h"
#include "DbError.h"
#include "LogQueries.h"
#include "OdbcStatement.h"
#include "Query.h"
#include "SimFixture.h"
#include "ValueList.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

QString describe(const Row& row)
{
    QStringList cells;
    for (const QVariant& v : row) {
        if (!v.isValid())
            cells << QStringLiteral("NULL");
        else if (v.typeId() == QMetaType::QDateTime)
            cells << v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        else
            cells << v.toString();
    }
    return cells.join(u'|');
}

class TsqlBatchOdbc : public ::testing::Test {
protected:
    void SetUp() override
    {
        {
            std::lock_guard lock(sim.engine().mutex());
            sim.engine().state().errorLogs = {sqlsim::ErrorLogArchive{3, QDateTime(QDate(2004, 1, 15), QTime(10, 5)), {
                "2004-01-15 10:00:00.12 spid51    Starting up database",
                "\tcontinued",
                "2004-01-15 10:00:01.00 logon     Login failed for user 'x'.",
            }}};
        }
        connection.setConnectionString(sim.oledbConnectionString());
        connection.open();
        query.setConnection(&connection);
    }

    SimFixture sim{sqlsim::ServerVersion::Sql2000, false};
    Connection connection;
    Query query;
};

} // namespace

TEST_F(TsqlBatchOdbc, LogParsingBatchArrivesAsTheEntryList)
{
    query.setSql(logParsingBatch());
    query.setParameter("LID", QStringLiteral("3"));
    query.setFields({{"id", FieldKind::Integer}, {"Dates", FieldKind::DateTime}, {"spid", FieldKind::WideString, 10},
                     {"Info", FieldKind::WideString, 255}, {"i", FieldKind::Integer}});
    query.open();
    ASSERT_EQ(query.heldRowCount(), 3);
    EXPECT_EQ(describe(query.heldRow(0)), "1|2004-01-15 10:00:00.120|spid51|Starting up database|0");
    EXPECT_EQ(describe(query.heldRow(1)), "2|NULL|NULL|\tcontinued|0");
    EXPECT_EQ(describe(query.heldRow(2)), "3|2004-01-15 10:00:01.000|logon|Login failed for user 'x'.|0");

    // It cleaned up after itself: it runs again on the same connection, and so does the last line.
    query.close();
    query.open();
    EXPECT_EQ(query.heldRowCount(), 3);

    Query last;
    last.setConnection(&connection);
    last.setSql(lastEntryBatch(ServerFamily::Sql2000));
    last.setParameter("LID", QStringLiteral("3"));
    last.setFields({{"Info", FieldKind::WideString, 255}});
    last.open();
    ASSERT_EQ(last.heldRowCount(), 1);
    EXPECT_EQ(last.heldRow(0)[0].toString(), "2004-01-15 10:00:01.00 logon     Login failed for user 'x'.");
}

TEST_F(TsqlBatchOdbc, SpaceUsedAndValueListBatchesAnswerWithTheirOneResult)
{
    QStringList spaceUsed = spaceUsedBatch();
    spaceUsed[0] = useDatabaseLine("pubs");
    query.setSql(spaceUsed);
    query.setFields({{"reserved", FieldKind::String, 18}, {"procen", FieldKind::BCD}, {"data", FieldKind::String, 18},
                     {"index_size", FieldKind::String, 18}, {"unused", FieldKind::String, 18}});
    query.open();
    ASSERT_EQ(query.heldRowCount(), 1);
    EXPECT_TRUE(query.value("unused").toString().endsWith(" KB"));
    EXPECT_EQ(sim.engine().currentDatabase(51), "pubs");   // the one session of this server

    Query list;
    list.setConnection(&connection);
    list.setSql({"create Table #temp(block_count int); select block_count from #temp; drop table #temp;"});
    list.setFields({{"block_count", FieldKind::Integer}});
    list.open();
    EXPECT_EQ(list.heldRowCount(), 0);
    list.close();
    list.open();   // the table went with its batch
    EXPECT_EQ(list.heldRowCount(), 0);
}

TEST_F(TsqlBatchOdbc, ValueListBatchesAnswerAnEmptyColumnOfTheirType)
{
    // name|kind(|width of text) of the one column each list batch answers, as the driver
    // describes it.
    const std::pair<FieldKind, const char*> cases[] = {
        {FieldKind::Integer, "cpu|Integer"},
        {FieldKind::DateTime, "login_time|DateTime"},
        {FieldKind::FixedWideChar, "hostname|String|250"},
        {FieldKind::SmallInt, "spid|String|250"},
        {FieldKind::LargeInt, "physical_io|String|250"},
    };
    for (const auto& [kind, expected] : cases) {
        const QString name = QString::fromLatin1(expected).section(u'|', 0, 0);
        SCOPED_TRACE(name.toStdString());
        OdbcStatement statement(connection.odbc(), 30);
        ASSERT_TRUE(statement.openFirstResultWithColumns(valueListBatch(name, kind) + QStringLiteral("\r\n")));
        ASSERT_EQ(statement.columns().size(), 1u);
        const ResultColumn& column = statement.columns().front();
        QString described = column.name + u'|' + fieldKindName(column.kind);
        if (isTextKind(column.kind))
            described += u'|' + QString::number(column.size);
        EXPECT_EQ(described, QString::fromLatin1(expected));
        EXPECT_TRUE(statement.fetchAll({{0, 0, column.kind}}, 1).empty());
    }
}

TEST_F(TsqlBatchOdbc, ErrorOfAnArchiveTheReaderLacksReachesTheClient)
{
    query.setSql(logParsingBatch());
    query.setParameter("LID", QStringLiteral("8"));
    query.setFields({{"id", FieldKind::Integer}});
    try {
        query.open();
        FAIL() << "the load of a missing archive succeeded";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.text().contains("xp_readerrorlog")) << error.what();
    }
}
