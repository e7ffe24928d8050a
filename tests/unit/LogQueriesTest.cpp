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
        {"last entry", lastEntryBatch(ServerFamily::Sql2000), 10, "bd2ebb73fa034931c70e493e96d43f103123643914d3580619ba79df1302863d",
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
    for (ServerFamily family : {ServerFamily::Sql70, ServerFamily::Sql2000, ServerFamily::Sql2005AndLater}) {
        Query query;
        setUpLogListQuery(query, family);
        EXPECT_EQ(query.filter(), "spid <> ''");
        EXPECT_FALSE(query.filtered());
        EXPECT_EQ(query.fieldIndex("i"), 4);
    }
}

TEST(LogQueries, LaterServersReadTheLogReadersOwnColumnsIntoTheSameFields)
{
    // 7.0 and 2000 have the server split the lines; 2005 and later get them split already.
    for (ServerFamily family : {ServerFamily::Sql70, ServerFamily::Sql2000}) {
        Query list;
        setUpLogListQuery(list, family);
        EXPECT_EQ(list.sql(), logParsingBatch());
        Query last;
        setUpLastEntryQuery(last, family);
        EXPECT_EQ(last.sql(), lastEntryBatch(ServerFamily::Sql2000));
    }

    Query list;
    setUpLogListQuery(list, ServerFamily::Sql2005AndLater);
    const QString sent = list.sql().join("\r\n");
    EXPECT_TRUE(sent.contains("exec('Use master insert #EnumErrorLogs exec sp_readerrorlog '+:LID)")) << sent.toStdString();
    EXPECT_FALSE(sent.contains("CURSOR"));
    QStringList fields;
    for (const FieldDef& field : list.fields())
        fields << QStringLiteral("%1|%2|%3").arg(field.name, fieldKindName(field.kind)).arg(field.size);
    // Same names in the same order as the split lines, so the grid binds them alike; an entry's
    // text is no longer cut at 255 characters.
    EXPECT_EQ(fields.join(u' ').toStdString(),
              "id|Integer|0 Dates|DateTime|0 spid|WideString|50 Info|WideString|4000 i|Integer|0");

    Query last;
    setUpLastEntryQuery(last, ServerFamily::Sql2005AndLater);
    EXPECT_TRUE(last.sql().contains("  Info nvarchar (4000)"));
    EXPECT_EQ(last.fields().at(0).size, 4000);
}
