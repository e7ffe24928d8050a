// The error log viewer's batch texts as the server must receive them: their lines, the blanks
// and tabs at the ends of lines, and a digest of the whole text as it is sent.
#include "LogQueries.h"
#include "Query.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

QByteArray sentDigest(const QStringList& lines)
{
    return QCryptographicHash::hash((lines.join("\r\n") + "\r\n").toUtf8(), QCryptographicHash::Sha256).toHex();
}

} // namespace

TEST(LogQueries, BatchTextsAreSentByteForByte)
{
    struct Case {
        const char* name;
        QStringList lines;
        int lineCount;
        QByteArray digest;
        std::vector<std::pair<int, const char*>> exactLines;   // 1-based line numbers
    };
    const Case cases[] = {
        {"last entry", lastEntryBatch(), 10, "bd2ebb73fa034931c70e493e96d43f103123643914d3580619ba79df1302863d",
         {{1, "create table #EnumErrorLogs "}, {4, "  Info nvarchar (255),     "}, {5, "  i integer     "},
          {8, "exec(' Use master insert #EnumErrorLogs exec sp_readerrorlog '+:LID)"}}},
        {"parsing", logParsingBatch(), 59, "a7fbb25ea8e097a8ea7822d45a339d1c4c1e86110f25160e1a304712ddf65fe2",
         {{20, "  i integer     \t\t"}, {24, "exec('Use master insert #EnumErrorLogs exec sp_readerrorlog '+:LID)"},
          {46, "    Set @infos = Right(@info,LEN(@info)-@pos2-8) \t "}, {58, "drop table #EnumErrorLogsBest "},
          {59, ""}}},
        {"archives", logArchiveBatch(), 2, {}, {{1, "Use master"}, {2, "exec sp_enumerrorlogs"}}},
        {"raw log", rawLogBatch(), 2, {}, {{1, "Use master"}, {2, "exec sp_readerrorlog :LID"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.lines.size(), c.lineCount);
        for (auto [number, text] : c.exactLines)
            EXPECT_EQ(c.lines[number - 1], QString::fromUtf8(text)) << "line " << number;
        if (!c.digest.isEmpty()) {
            EXPECT_EQ(sentDigest(c.lines), c.digest);
        }
    }
}

TEST(LogQueries, EntryListStartsWithItsSourceFilterSwitchedOff)
{
    Query query;
    setUpLogListQuery(query);
    EXPECT_EQ(query.filter(), "spid <> ''");
    EXPECT_FALSE(query.filtered());
    EXPECT_EQ(query.fieldIndex("i"), 4);
}
