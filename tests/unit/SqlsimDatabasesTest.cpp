// What the seeded server answers about its databases: sp_helpdb's two result sets, sp_helpfile
// run in a database, DBCC SQLPERF(LOGSPACE), sysdatabases and sysusers with the server's column
// types, and the databases that cannot be opened or are slow to read.
#include "EngineReplies.h"
#include "engine/Engine.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace sqlsim;
using namespace sqlsim::testing;

namespace {

QString text(const Value& value)
{
    if (!value.isValid())
        return QStringLiteral("<null>");
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return value.toString();
}

// "name type size nullable" for each column, as the server declares them.
QString shape(const ResultSet& result)
{
    QStringList columns;
    for (const Column& column : result.columns) {
        columns << QStringLiteral("%1 %2 %3%4").arg(column.name).arg(int(column.type)).arg(column.size)
                       .arg(column.nullable ? "" : " not null");
    }
    return columns.join(QStringLiteral(", "));
}

QString expectedShape(std::initializer_list<Column> columns)
{
    ResultSet result;
    result.columns = columns;
    return shape(result);
}

Column col(const char* name, SqlType type, int size = 0, bool nullable = true)
{
    return Column{QString::fromLatin1(name), type, size, 0, 0, nullable};
}

QStringList column(const ResultSet& result, int index)
{
    QStringList values;
    for (const auto& row : result.rows)
        values << text(row[size_t(index)]);
    return values;
}

class SqlsimDatabases : public ::testing::Test {
protected:
    Reply run(const QString& batch) { return engine.execute(spid, batch); }

    Engine engine{ServerOptions{ServerVersion::Sql2000, 1, false}};
    int spid = loginSession(engine);
};

const QString fileShape = expectedShape({
    col("name", SqlType::NChar, 128), col("fileid", SqlType::SmallInt), col("filename", SqlType::NChar, 260),
    col("filegroup", SqlType::NVarChar, 128), col("size", SqlType::NVarChar, 18),
    col("maxsize", SqlType::NVarChar, 18), col("growth", SqlType::NVarChar, 18), col("usage", SqlType::VarChar, 9)});

} // namespace

TEST_F(SqlsimDatabases, HelpDbGivesTheDatabaseAndItsFiles)
{
    const Reply reply = run("sp_helpdb N'pubs'");
    ASSERT_TRUE(errorNumbers(reply).isEmpty());
    const auto sets = results(reply);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(shape(*sets[0]), expectedShape({col("name", SqlType::NVarChar, 24), col("db_size", SqlType::NVarChar, 13),
                                              col("owner", SqlType::NVarChar, 24), col("dbid", SqlType::SmallInt),
                                              col("created", SqlType::Char, 11), col("status", SqlType::VarChar, 340),
                                              col("compatibility_level", SqlType::TinyInt)}));
    ASSERT_EQ(sets[0]->rows.size(), 1u);
    const auto& row = sets[0]->rows[0];
    // 1280 KB + 240000 KB of data and a 2040 KB log.
    EXPECT_EQ(text(row[0]) + u'|' + text(row[1]) + u'|' + text(row[2]) + u'|' + text(row[3]) + u'|' + text(row[4]),
              "pubs|    237.62 MB|sa|5|Jan 15 2004");
    EXPECT_TRUE(text(row[5]).startsWith("Status=ONLINE, Updateability=READ_WRITE")) << text(row[5]).toStdString();
    EXPECT_EQ(shape(*sets[1]), fileShape);
    EXPECT_EQ(column(*sets[1], 3), (QStringList{"PRIMARY", "<null>"}));
    EXPECT_EQ(column(*sets[1], 5), (QStringList{"Unlimited", "2048000 KB"}));
    EXPECT_EQ(column(*sets[1], 7), (QStringList{"data only", "log only"}));
    EXPECT_EQ(text(sets[1]->rows[0][0]).size(), 128);

    EXPECT_EQ(errorNumbers(run("sp_helpdb 'nosuch'")), QList<int>{15010});
    const Reply allReply = run("exec sp_helpdb");
    const auto all = results(allReply);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(column(*all[0], 0).first(), "CustomerCorrespondenceAr");   // names cut to 24
}

TEST_F(SqlsimDatabases, HelpFileRunsInTheDatabaseItIsQualifiedWith)
{
    struct Case {
        const char* batch;
        const char* firstFile;
        QList<int> errors;
    };
    const Case cases[] = {
        {"exec pubs..sp_helpfile", "pubs", {}},
        {"exec [O'Brien]..sp_helpfile", "O'Brien", {}},
        {"exec [Ledger[1]]]..sp_helpfile", "Ledger[1]", {}},
        {"exec [Sales 2003]..sp_helpfile", "Sales 2003", {}},
        {"use msdb exec sp_helpfile", "msdb", {}},
        {"exec [Legacy]..sp_helpfile", nullptr, {942}},
        {"exec nosuch..sp_helpfile", nullptr, {911}},
    };
    for (const Case& c : cases) {
        const Reply reply = run(c.batch);
        EXPECT_EQ(errorNumbers(reply), c.errors) << c.batch;
        const auto sets = results(reply);
        if (!c.firstFile) {
            EXPECT_TRUE(sets.empty()) << c.batch;
            continue;
        }
        ASSERT_EQ(sets.size(), 1u) << c.batch;
        EXPECT_EQ(shape(*sets[0]), fileShape);
        EXPECT_EQ(text(sets[0]->rows.at(0)[0]).trimmed(), c.firstFile) << c.batch;
    }
}

TEST_F(SqlsimDatabases, LogSpaceHasARowPerDatabaseButOne)
{
    const Reply reply = run("DBCC SQLPERF(LOGSPACE)");
    ASSERT_TRUE(errorNumbers(reply).isEmpty());
    const auto sets = results(reply);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(shape(*sets[0]), expectedShape({col("Database Name", SqlType::NVarChar, 128), col("Log Size (MB)", SqlType::Float),
                                              col("Log Space Used (%)", SqlType::Float), col("Status", SqlType::Int)}));
    const QStringList names = column(*sets[0], 0);
    EXPECT_TRUE(names.contains("O'Brien"));
    EXPECT_FALSE(names.contains("Staging"));
    EXPECT_EQ(names.size(), 12);
    EXPECT_EQ(column(*sets[0], 2).mid(1, 2), (QStringList{"62.5", "63.5"}));   // tempdb, model
    EXPECT_EQ(errorNumbers(run("DBCC SQLPERF(NOSUCH)")), QList<int>{2526});
}

TEST_F(SqlsimDatabases, SystemTablesHaveTheServersColumnTypes)
{
    const Reply databasesReply = run("Select dbid, [name] from sysdatabases order by [name]");
    const auto databases = results(databasesReply);
    ASSERT_EQ(databases.size(), 1u);
    EXPECT_EQ(shape(*databases[0]), expectedShape({col("dbid", SqlType::SmallInt, 0, false),
                                                   col("name", SqlType::NVarChar, 128, false)}));
    EXPECT_EQ(column(*databases[0], 1).mid(0, 4), (QStringList{"CustomerCorrespondenceArchive", "Ledger[1]", "Legacy", "master"}));

    const Reply usersReply = run("Use [O'Brien]\r\nselect * from sysusers  order by altuid, [name]\r\n");
    const auto users = results(usersReply);
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(shape(*users[0]),
              expectedShape({col("uid", SqlType::SmallInt, 0, false), col("status", SqlType::SmallInt, 0, false),
                             col("name", SqlType::NVarChar, 128, false), col("sid", SqlType::VarBinary, 85),
                             col("roles", SqlType::VarBinary, 2048), col("createdate", SqlType::DateTime, 0, false),
                             col("updatedate", SqlType::DateTime, 0, false), col("altuid", SqlType::SmallInt),
                             col("password", SqlType::VarBinary, 256), col("gid", SqlType::SmallInt, 0, false),
                             col("environ", SqlType::VarChar, 255), col("hasdbaccess", SqlType::Int),
                             col("islogin", SqlType::Int), col("isntname", SqlType::Int), col("isntgroup", SqlType::Int),
                             col("isntuser", SqlType::Int), col("issqluser", SqlType::Int), col("isaliased", SqlType::Int),
                             col("issqlrole", SqlType::Int), col("isapprole", SqlType::Int)}));
    // Users (no altuid) first by name, then the roles.
    EXPECT_EQ(column(*users[0], 2).mid(0, 7),
              (QStringList{"CORP\\ivanov", "dbo", "guest", "INFORMATION_SCHEMA", "system_function_schema", "web_app",
                           "db_accessadmin"}));
    EXPECT_EQ(column(*users[0], 15).mid(0, 2), (QStringList{"1", "0"}));   // isntuser
}

TEST_F(SqlsimDatabases, OfflineAndSlowDatabases)
{
    EXPECT_EQ(errorNumbers(run("Use [Legacy]")), QList<int>{942});
    const Reply help = run("sp_helpdb N'Legacy'");
    EXPECT_EQ(errorNumbers(help), QList<int>{942});
    EXPECT_EQ(results(help).size(), 1u);

    // Reading Warehouse's figures outlasts a client's time-out: the batch stops there.
    const Reply cut = engine.execute(spid, "Use Warehouse\r\ncreate table #t (a int)\r\nselect count(*) from sysindexes\r\n",
                                     [](int waitMs) { return waitMs > 0; });
    EXPECT_TRUE(cut.cancelled);
    std::lock_guard lock(engine.mutex());
    EXPECT_EQ(engine.session(spid).tempTables.count("#t"), 1u);
}

TEST(SqlsimDatabasesByVersion, HelpDbGivesEachVersionsCompatibilityLevelAndNameWidth)
{
    struct Case {
        ServerVersion version;
        int level;
        int nameWidth;
    };
    for (const auto& [version, level, nameWidth] : {Case{ServerVersion::Sql2000, 80, 24}, Case{ServerVersion::Sql2005, 90, 128},
                                                    Case{ServerVersion::Sql2008R2, 100, 128}, Case{ServerVersion::Sql2016, 130, 128},
                                                    Case{ServerVersion::Sql2022, 160, 128}}) {
        SCOPED_TRACE(level);
        Engine engine{ServerOptions{version, 1, false}};
        const int spid = loginSession(engine);
        const Reply reply = engine.execute(spid, "exec sp_helpdb");
        const auto sets = results(reply);
        ASSERT_EQ(sets.size(), 1u);
        EXPECT_EQ(sets[0]->columns[0].size, nameWidth);
        EXPECT_EQ(column(*sets[0], 6).first(), QString::number(level));
        EXPECT_EQ(column(*sets[0], 0).first(), QStringLiteral("CustomerCorrespondenceArchive").left(nameWidth));
    }
}
