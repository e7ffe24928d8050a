// The texts the databases tab sends and filters with: bracket quoting of database names, the
// log-space filter, the left-over table's drop, the batches' shapes, the percentage as the
// field holds it, and the users' sort string built from the grid's marks.
#include "DatabaseGridColumns.h"
#include "DatabaseQueries.h"
#include "UserSort.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>

using namespace velmora;

TEST(DatabaseQueries, NamesAreQuotedSoNoneCanAddAStatement)
{
    struct Case {
        const char* name;
        const char* use;
        const char* helpFile;
        const char* filter;
    };
    const Case cases[] = {
        {"pubs", "Use [pubs]", "exec [pubs]..sp_helpfile", "[Database Name] = 'pubs'"},
        {"O'Brien", "Use [O'Brien]", "exec [O'Brien]..sp_helpfile", "[Database Name] = 'O''Brien'"},
        {"Sales 2003", "Use [Sales 2003]", "exec [Sales 2003]..sp_helpfile", "[Database Name] = 'Sales 2003'"},
        {"a]; drop table x --", "Use [a]]; drop table x --]", "exec [a]]; drop table x --]..sp_helpfile",
         "[Database Name] = 'a]; drop table x --'"},
        {"[x]", "Use [[x]]]", "exec [[x]]]..sp_helpfile", "[Database Name] = '[x]'"},
    };
    for (const Case& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        EXPECT_EQ(useDatabaseLine(name), QString::fromLatin1(c.use)) << c.name;
        EXPECT_EQ(helpFileLine(name), QString::fromLatin1(c.helpFile)) << c.name;
        EXPECT_EQ(logSpaceFilter(name), QString::fromLatin1(c.filter)) << c.name;
    }
}

TEST(DatabaseQueries, TextsAreSentAsTheyStand)
{
    EXPECT_EQ(dropLeftOverSpaceTable(),
              "Use tempdb if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[#spt_space]')) "
              "drop table [dbo].[#spt_space]");
    const QStringList space = spaceUsedBatch();
    ASSERT_EQ(space.size(), 59);
    EXPECT_TRUE(space[0].isEmpty());
    EXPECT_EQ(space[1], "declare @id\tint\t\t\t");
    EXPECT_EQ(space[37], "\t\t\t    - data");
    EXPECT_EQ(space[56], "");
    EXPECT_EQ(space[57], "drop table #spt_space");
    EXPECT_EQ(space[58], " ");
    EXPECT_EQ(usersBatch(), (QStringList{"", "select * from sysusers  order by altuid, [name]"}));

    Query databaseList, properties, spaceUsed;
    setUpDatabaseListQuery(databaseList);
    setUpPropertiesQuery(properties);
    setUpSpaceUsedQuery(spaceUsed);
    EXPECT_EQ(databaseList.commandText(), "Select dbid, [name] from sysdatabases order by [name]\r\n");
    properties.setParameter("BD", QStringLiteral("O'Brien"));
    EXPECT_EQ(properties.commandText(), "sp_helpdb N'O''Brien'\r\n");
    EXPECT_EQ(spaceUsed.commandTimeout(), 10);

    // The space-used batch as the server receives it for pubs, every tab and blank included: its
    // length and digest, taken from the published text of the batch.
    QStringList lines = spaceUsed.sql();
    lines[0] = useDatabaseLine("pubs");
    spaceUsed.setSql(lines);
    const QByteArray sent = spaceUsed.commandText().toUtf8();
    EXPECT_EQ(sent.size(), 1447);
    EXPECT_EQ(QCryptographicHash::hash(sent, QCryptographicHash::Sha256).toHex(),
              "1985ac0d42c93f5cbd6e2ce9ea8de0ec5f348d9ad97d4cdee07ec5649e095028");

    Query files, logSpace, users;
    setUpFilesQuery(files);
    setUpLogSpaceQuery(logSpace);
    setUpUserQuery(users);
    EXPECT_EQ(files.commandText(), "exec tempdb..sp_helpfile\r\n");
    EXPECT_EQ(logSpace.commandText(), "DBCC SQLPERF(LOGSPACE)\r\n");
    EXPECT_EQ(users.commandText(), "\r\nselect * from sysusers  order by altuid, [name]\r\n");
}

TEST(DatabaseQueries, PercentKeepsFourDecimalsWithoutTrailingZeros)
{
    const std::pair<const char*, const char*> cases[] = {
        {"98.669900060802", "98.6699"}, {"86.888888888888", "86.8889"}, {"50.000000", "50"},
        {"12.340000", "12.34"},         {"99.999990000", "100"},        {"0.000040", "0"},
        {"0.000050", "0.0001"},         {"100", "100"},                 {"", ""},
    };
    for (const auto& [exact, held] : cases)
        EXPECT_EQ(percentWithFourDecimals(QString::fromLatin1(exact)), QString::fromLatin1(held)) << exact;
}

TEST(DatabaseQueries, UserSortStringFollowsTheMarksInIndexOrder)
{
    GridColumns columns = userColumns();
    const auto at = [&](const char* name) {
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i].fieldName == QLatin1String(name))
                return int(i);
        return -1;
    };
    EXPECT_EQ(userSortString(columns, {at("name")}), "name DESC ");   // the initial mark
    columns[size_t(at("name"))].sortMarker = SortMarker::Down;
    columns[size_t(at("uid"))].sortMarker = SortMarker::Down;
    EXPECT_EQ(userSortString(columns, {at("uid")}), "uid");
    columns[size_t(at("name"))].sortMarker = SortMarker::Up;
    EXPECT_EQ(userSortString(columns, {at("altuid"), at("name")}), "altuid, name DESC ");
    EXPECT_EQ(userSortString(columns, {at("name"), at("uid")}), "name DESC , uid");
    EXPECT_EQ(userSortString(columns, {}), "");
}
