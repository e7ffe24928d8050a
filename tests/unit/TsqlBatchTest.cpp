// Whole batches the screens send, run by the interpreter over seeded server state, with the rows
// worked out by hand: the error-log split, the last log line, the space used; and what a batch
// cut off in the middle leaves behind.
#include "DatabaseQueries.h"
#include "LogQueries.h"
#include "EngineReplies.h"
#include "engine/Engine.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>

using namespace sqlsim;
using namespace sqlsim::testing;

namespace {

// A batch as a query sends it: its lines joined by CR LF, a marker replaced by its literal.
QString sent(const QStringList& lines, const QString& archive = {})
{
    QString batch = lines.join("\r\n") + "\r\n";
    return batch.replace(":LID", archive);
}

QString logParsingBatch(const QString& archive) { return sent(velmora::logParsingBatch(), archive); }
QString lastLogLineBatch(const QString& archive) { return sent(velmora::lastEntryBatch(velmora::ServerFamily::Sql2000), archive); }
// The databases tab's own space-used batch, its first line set to use `database`.
QString spaceUsedBatch(const QString& database)
{
    QStringList lines = velmora::spaceUsedBatch();
    lines[0] = velmora::useDatabaseLine(database);
    return sent(lines);
}

class TsqlBatch : public ::testing::Test {
protected:
    Reply run(const QString& batch) { return engine.execute(spid, batch); }

    Engine engine{ServerOptions{ServerVersion::Sql2000, 1, false}};
    int spid = loginSession(engine);
};

} // namespace

TEST_F(TsqlBatch, LogParsingSplitsEveryKindOfLineAsTheServerDoes)
{
    {
        std::lock_guard lock(engine.mutex());
        engine.state().errorLogs = {ErrorLogArchive{4, QDateTime(QDate(2004, 1, 15), QTime(10, 5)), {
            "2004-01-15 10:00:00.12 spid51    Starting up database",
            "**********",
            "2004-01-15 10:00:01.00 spid12345 nine-character source",
            "2004-01-15 10:00:02.00 spid123456 longer source",
            "2004-01-15 09:59:59.98 server    Microsoft SQL Server  2000 - 8.00.2039 (Intel X86) ",
            "\tMay  3 2005 23:18:38 ",
            "",
            "2004-01-15 10:00:03.50 backup    " + QString(250, u'x'),
        }}};
    }
    const Reply reply = run(logParsingBatch("N'4'"));
    EXPECT_TRUE(errorNumbers(reply).isEmpty()) << errorNumbers(reply).size();
    const QStringList expected{
        "1|2004-01-15 10:00:00.120|spid51|Starting up database|0",
        // No blank: no head, so no date; the whole line is the message.
        "2|<null>|<null>|**********|0",
        // A 9-character source is whole, and its last character also begins the message.
        "3|2004-01-15 10:00:01.000|spid12345|5 nine-character source|0",
        // A longer source is cut to 9 characters and the message begins inside it.
        "4|2004-01-15 10:00:02.000|spid12345|56 longer source|0",
        "5|2004-01-15 09:59:59.980|server|Microsoft SQL Server  2000 - 8.00.2039 (Intel X86)|0",
        // A banner line: no date; LTRIM leaves the tab.
        "6|<null>|<null>|\tMay  3 2005 23:18:38|0",
        "7|<null>|<null>||0",
        // A line longer than a row: the reader's second row continues the first.
        "8|2004-01-15 10:00:03.500|backup|" + QString(222, u'x') + "|0",
        "9|<null>|<null>|" + QString(28, u'x') + "|1",
    };
    EXPECT_EQ(rowTexts(reply), expected);

    const ResultSet* result = firstResult(reply);
    ASSERT_NE(result, nullptr);
    QStringList columns;
    for (const Column& column : result->columns)
        columns << column.name;
    EXPECT_EQ(columns.join(u','), "id,Dates,spid,Info,i");
    EXPECT_EQ(result->columns[2].type, SqlType::NVarChar);
    EXPECT_EQ(result->columns[2].size, 10);

    // The batch cleaned up after itself: the same load runs again.
    EXPECT_EQ(rowTexts(run(logParsingBatch("N'4'"))), expected);
    EXPECT_EQ(engine.currentDatabase(spid), QStringLiteral("master"));
    EXPECT_EQ(rowTexts(run(lastLogLineBatch("N'4'"))), QStringList{QString(28, u'x')});
}

TEST_F(TsqlBatch, ShortDatedLineFailsItsStatementAndTheLoadGoesOn)
{
    // Fewer than nine characters after the second blank: RIGHT gets a negative length, which
    // SQL Server 2000 refuses with error 536, ending that statement only. The message keeps
    // the value of the line before; the load goes on and the select still returns every line.
    {
        std::lock_guard lock(engine.mutex());
        engine.state().errorLogs = {ErrorLogArchive{4, QDateTime(QDate(2004, 1, 15), QTime(10, 5)), {
            "2004-01-15 10:00:00.12 spid51    Starting up database",
            "2004-01-15 10:00:01.00 logon",
            "2004-01-15 10:00:02.00 spid52    ",
            "2004-01-15 10:00:03.00 spid53    done",
        }}};
    }
    const Reply reply = run(logParsingBatch("N'4'"));
    EXPECT_EQ(errorNumbers(reply), (QList<int>{536, 536}));
    const QStringList expected{
        "1|2004-01-15 10:00:00.120|spid51|Starting up database|0",
        "2|2004-01-15 10:00:01.000|logon|Starting up database|0",
        "3|2004-01-15 10:00:02.000|spid52|Starting up database|0",
        "4|2004-01-15 10:00:03.000|spid53|done|0",
    };
    EXPECT_EQ(rowTexts(reply), expected);
}

TEST_F(TsqlBatch, LogBatchesOverTheSeededArchives)
{
    Engine seeded{ServerOptions{ServerVersion::Sql2000, 1, false}};
    LoginInfo info;
    info.login = QStringLiteral("sa");
    info.password = QStringLiteral("velmora");
    const int session = std::get<int>(seeded.login(info));
    const QStringList archives = rowTexts(seeded.execute(session, "Use master\r\nexec sp_enumerrorlogs\r\n"));
    ASSERT_EQ(archives.size(), 7);
    EXPECT_TRUE(archives[0].startsWith("0|12/09/2026  "));

    const QStringList lines = rowTexts(seeded.execute(session, logParsingBatch("N'0'")));
    ASSERT_GT(lines.size(), 20);
    EXPECT_TRUE(lines[0].contains("|server|Microsoft SQL Server  2000 - 8.00.2039 (Intel X86)|0")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("2|<null>|<null>|\tMay  3 2005 23:18:38|0")) << lines[1].toStdString();
    EXPECT_EQ(lines.filter("|spid51|").size(), 1);
    EXPECT_EQ(lines.filter(QRegularExpression("\\|1$")).size(), 1);   // one continuation row
    EXPECT_TRUE(lines.last().endsWith("|<null>|<null>|" + QString(72, u'*') + "|0"));

    // An archive the reader does not have fails the dynamic statement with the reader's error.
    EXPECT_TRUE(errorNumbers(seeded.execute(session, logParsingBatch("N'9'"))).contains(22004));

    // The fifth archive has no lines; the sixth is listed but cannot be read.
    const Reply empty = seeded.execute(session, logParsingBatch("N'5'"));
    EXPECT_TRUE(errorNumbers(empty).isEmpty());
    EXPECT_TRUE(rowTexts(empty).isEmpty());
    EXPECT_TRUE(errorNumbers(seeded.execute(session, logParsingBatch("N'6'"))).contains(22004));
}

TEST_F(TsqlBatch, SpaceUsedComputesItsFiguresFromSysindexes)
{
    {
        std::lock_guard lock(engine.mutex());
        Database sales{7, "Sales", {}, {}};
        sales.indexes = {
            {100, 1, "PK_Orders", 1000, 1200, 1100, 0},
            {100, 2, "IX_Orders", 0, 300, 280, 0},     // not counted: only 0, 1 and 255 are
            {200, 0, "Lines", 500, 520, 510, 0},
            {200, 255, "tLines", 0, 80, 64, 0},
        };
        engine.state().databases.push_back(sales);
    }
    // reserved 1200+520+80 = 1800 pages; data 1000+500 + 64 = 1564; used 1100+510+64 = 1674;
    // index 1674-1564 = 110; unused 1800-1674 = 126; 8192-byte pages.
    const Reply reply = run(spaceUsedBatch("Sales"));
    EXPECT_TRUE(errorNumbers(reply).isEmpty());
    const ResultSet* result = firstResult(reply);
    ASSERT_NE(result, nullptr);
    QStringList columns;
    for (const Column& column : result->columns)
        columns << column.name;
    EXPECT_EQ(columns.join(u','), "reserved,data,index_size,unused,procen");
    ASSERT_EQ(result->rows.size(), 1u);
    const auto& row = result->rows[0];
    EXPECT_EQ(valueText(row[0]), "14.0625000");   // 1800 * 8192 / 1024 / 1024
    EXPECT_EQ(valueText(row[1]), "12.2187500");   // 1564 pages
    EXPECT_EQ(valueText(row[2]), "880 KB");
    EXPECT_EQ(valueText(row[3]), "1008 KB");
    EXPECT_TRUE(valueText(row[4]).startsWith("86.88888888")) << valueText(row[4]).toStdString();   // 156400 / 1800
    EXPECT_EQ(result->columns[4].type, SqlType::Decimal);
    EXPECT_EQ(engine.currentDatabase(spid), QStringLiteral("Sales"));
}

TEST_F(TsqlBatch, TableLeftByACutOffBatchBlocksTheNextCreation)
{
    {
        std::lock_guard lock(engine.mutex());
        engine.state().faults.slowStatement = QStringLiteral("update #spt_space set data = @pages");
        engine.state().faults.slowMs = 60000;
    }
    // The client's time-out stops the batch before its update, long before its DROP TABLE.
    const Reply cut = engine.execute(spid, spaceUsedBatch("master"), [](int waitMs) { return waitMs > 0; });
    EXPECT_TRUE(cut.cancelled);
    {
        std::lock_guard lock(engine.mutex());
        engine.state().faults = {};
        EXPECT_EQ(engine.session(spid).tempTables.count("#spt_space"), 1u);
    }
    const Reply next = run(spaceUsedBatch("master"));
    EXPECT_EQ(errorNumbers(next), QList<int>{2714});
    EXPECT_TRUE(std::any_of(next.items.begin(), next.items.end(), [](const ReplyItem& item) {
        const auto* message = std::get_if<Message>(&item);
        return message && message->text == "There is already an object named '#spt_space' in the database.";
    }));
    // That batch ended with its own DROP TABLE: the one after it runs clean.
    const Reply clean = run(spaceUsedBatch("master"));
    EXPECT_TRUE(errorNumbers(clean).isEmpty());
    EXPECT_EQ(rowTexts(clean).size(), 1);

    // The databases tab drops a left-over table before it asks again.
    {
        std::lock_guard lock(engine.mutex());
        engine.state().faults.slowStatement = QStringLiteral("update #spt_space set data = @pages");
        engine.state().faults.slowMs = 60000;
    }
    EXPECT_TRUE(engine.execute(spid, spaceUsedBatch("master"), [](int waitMs) { return waitMs > 0; }).cancelled);
    {
        std::lock_guard lock(engine.mutex());
        engine.state().faults = {};
    }
    const Reply dropped = run(velmora::dropLeftOverSpaceTable());
    EXPECT_TRUE(errorNumbers(dropped).isEmpty());
    EXPECT_TRUE(errorNumbers(run(spaceUsedBatch("master"))).isEmpty());
    EXPECT_TRUE(errorNumbers(run(velmora::dropLeftOverSpaceTable())).isEmpty());

    // Logging out takes the session's tables with it.
    run("create table #left (a int)");
    engine.logout(spid);
    std::lock_guard lock(engine.mutex());
    EXPECT_EQ(engine.session(spid).tempTables.size(), 0u);
}

TEST(TsqlBatchOnLaterServers, EntryBatchReadsTheReadersOwnSplitWithLinesJoinedToTheirEntry)
{
    Engine engine{ServerOptions{ServerVersion::Sql2016, 1, false}};
    const int spid = loginSession(engine);
    {
        std::lock_guard lock(engine.mutex());
        engine.state().errorLogs = {ErrorLogArchive{4, QDateTime(QDate(2016, 1, 15), QTime(10, 5)), {
            "no date before the first entry",
            "2016-01-15 10:00:00.12 spid51    Starting up database",
            "2016-01-15 09:59:59.98 Server      Microsoft SQL Server 2016 (SP3) ",
            "\tAug  7 2021 01:20:37 ",
            "",
            "2016-01-15 10:00:03.50 Backup    " + QString(300, u'x'),
            "2016-01-15 10:00:04.00 Logon",
            "2016-01-15 10:00:05.00 spid52    done",
        }}};
    }
    const QString entries = sent(velmora::logEntryBatch(), "N'4'");
    const Reply reply = engine.execute(spid, entries);
    EXPECT_TRUE(errorNumbers(reply).isEmpty()) << errorNumbers(reply).size();
    const QStringList expected{
        "1|<null>|<null>|no date before the first entry|0",
        "2|2016-01-15 10:00:00.120|spid51|Starting up database|0",
        // The banner's further lines, the empty one too, belong to its entry.
        "3|2016-01-15 09:59:59.980|Server|Microsoft SQL Server 2016 (SP3)\n\tAug  7 2021 01:20:37 \n|0",
        // No longer cut into rows of 255 characters.
        "4|2016-01-15 10:00:03.500|Backup|" + QString(300, u'x') + "|0",
        // A source without a message.
        "5|2016-01-15 10:00:04.000|Logon||0",
        "6|2016-01-15 10:00:05.000|spid52|done|0",
    };
    EXPECT_EQ(rowTexts(reply), expected);
    EXPECT_EQ(engine.currentDatabase(spid), QStringLiteral("master"));

    // The last-entry batch of those servers gives the last entry's text.
    const Reply last = engine.execute(spid, sent(velmora::lastEntryBatch(velmora::ServerFamily::Sql2005AndLater), "N'4'"));
    EXPECT_EQ(rowTexts(last), QStringList{"done"});

    // The 2000 batches cannot take the three columns into their two-column table.
    EXPECT_FALSE(errorNumbers(engine.execute(spid, logParsingBatch("N'4'"))).isEmpty());
}
