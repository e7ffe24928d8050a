// The process list batches as the server receives them, and the fields each variant declares.
#include "ProcessQueries.h"
#include "Query.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

// Written out as one text so that a changed blank, tab or line ending shows up as a difference.
const char* const batch70 =
    "Use master\r\n"
    "\r\n"
    "Select sp.spid,sp.kpid,Count(sl.spid) as block_count,sp.blocked,sp.waittype,sp.waittime,sp.lastwaittype,\r\n"
    "sp.waitresource,sp.dbid,sp.uid,sp.cpu,sp.physical_io,sp.[memusage],\r\n"
    "sp.login_time,sp.last_batch,sp.ecid,sp.open_tran,sp.status,sp.sid,\r\n"
    "sp.hostname,sp.program_name,sp.hostprocess,sp.cmd,sp.nt_domain,\r\n"
    "sp.nt_username,sp.net_address,sp.net_library,sp.loginame,sp.suid,\r\n"
    "(Select DB_Name(sp.dbid)) as DBName\r\n"
    "\r\n"
    "from\r\n"
    "  sysprocesses sp left join syslocks sl on (sp.spid=sl.spid)\r\n"
    "\t\r\n"
    "group by sp.spid,sp.kpid,sp.blocked,sp.waittype,sp.waittime,sp.lastwaittype,\r\n"
    "sp.waitresource,sp.dbid,sp.uid,sp.cpu,sp.physical_io,sp.[memusage],sp.login_time,\r\n"
    "sp.last_batch,sp.ecid,sp.open_tran,sp.status,sp.sid,sp.hostname,sp.program_name,\r\n"
    "sp.hostprocess,sp.cmd,sp.nt_domain,sp.nt_username,sp.net_address,sp.net_library,\r\n"
    "sp.loginame,sp.suid\r\n"
    "\r\n"
    " \r\n";

const char* const batch2000 =
    "Use master\r\n"
    "\r\n"
    "Select sp.spid,sp.kpid,Count(sl.spid) as block_count,sp.blocked,sp.waittype,sp.waittime,sp.lastwaittype,\r\n"
    "sp.waitresource,sp.dbid,sp.uid,sp.cpu,sp.physical_io,sp.[memusage],\r\n"
    "sp.login_time,sp.last_batch,sp.ecid,sp.open_tran,sp.status,sp.sid,\r\n"
    "sp.hostname,sp.program_name,sp.hostprocess,sp.cmd,sp.nt_domain,\r\n"
    "sp.nt_username,sp.net_address,sp.net_library,sp.loginame, 0 as suid,\r\n"
    "(Select DB_Name(sp.dbid)) as DBName\r\n"
    "\r\n"
    "from\r\n"
    "  sysprocesses sp left join syslocks sl on (sp.spid=sl.spid)\r\n"
    "\t\r\n"
    "group by sp.spid,sp.kpid,sp.blocked,sp.waittype,sp.waittime,sp.lastwaittype,\r\n"
    "sp.waitresource,sp.dbid,sp.uid,sp.cpu,sp.physical_io,sp.[memusage],sp.login_time,\r\n"
    "sp.last_batch,sp.ecid,sp.open_tran,sp.status,sp.sid,sp.hostname,sp.program_name,\r\n"
    "sp.hostprocess,sp.cmd,sp.nt_domain,sp.nt_username,sp.net_address,sp.net_library,\r\n"
    "sp.loginame\r\n"
    "\r\n"
    " \r\n";

// The 2000 batch with the lock count read from syslockinfo, the one lock view those servers keep.
const char* const batch2005 =
    "Use master\r\n"
    "\r\n"
    "Select sp.spid,sp.kpid,Count(sl.req_spid) as block_count,sp.blocked,sp.waittype,sp.waittime,sp.lastwaittype,\r\n"
    "sp.waitresource,sp.dbid,sp.uid,sp.cpu,sp.physical_io,sp.[memusage],\r\n"
    "sp.login_time,sp.last_batch,sp.ecid,sp.open_tran,sp.status,sp.sid,\r\n"
    "sp.hostname,sp.program_name,sp.hostprocess,sp.cmd,sp.nt_domain,\r\n"
    "sp.nt_username,sp.net_address,sp.net_library,sp.loginame, 0 as suid,\r\n"
    "(Select DB_Name(sp.dbid)) as DBName\r\n"
    "\r\n"
    "from\r\n"
    "  sysprocesses sp left join syslockinfo sl on (sp.spid=sl.req_spid)\r\n"
    "\t\r\n"
    "group by sp.spid,sp.kpid,sp.blocked,sp.waittype,sp.waittime,sp.lastwaittype,\r\n"
    "sp.waitresource,sp.dbid,sp.uid,sp.cpu,sp.physical_io,sp.[memusage],sp.login_time,\r\n"
    "sp.last_batch,sp.ecid,sp.open_tran,sp.status,sp.sid,sp.hostname,sp.program_name,\r\n"
    "sp.hostprocess,sp.cmd,sp.nt_domain,sp.nt_username,sp.net_address,sp.net_library,\r\n"
    "sp.loginame\r\n"
    "\r\n"
    " \r\n";

const char* variantName(ServerFamily family)
{
    switch (family) {
    case ServerFamily::Sql70: return "ProcQuery";
    case ServerFamily::Sql2000: return "ProcQuery2";
    case ServerFamily::Sql2005AndLater: return "ProcQuery2005";
    }
    return "";
}

QString describe(const FieldDef& field)
{
    return QStringLiteral("%1|%2|%3|%4")
        .arg(field.name, fieldKindName(field.kind))
        .arg(field.size)
        .arg(field.readOnly ? "ro" : "rw");
}

} // namespace

TEST(ProcessQueries, BatchReachesTheServerByteForByte)
{
    for (const auto& [family, expected] : {std::pair{ServerFamily::Sql70, batch70}, std::pair{ServerFamily::Sql2000, batch2000},
                                           std::pair{ServerFamily::Sql2005AndLater, batch2005}}) {
        Query query;
        setUpProcessQuery(query, family);
        EXPECT_EQ(query.commandText().toUtf8().toStdString(), std::string(expected)) << variantName(family);
    }
}

TEST(ProcessQueries, DeclaredFieldListsAreTheWholeTablesOfEveryVariant)
{
    // In declared order: spid first, as the local sort keeps the current row by position 0.
    const QStringList expected70 = {
        "spid|SmallInt|0|rw",
        "kpid|SmallInt|0|rw",
        "block_count|Integer|0|ro",
        "blocked|SmallInt|0|rw",
        "waittype|Bytes|2|rw",
        "waittime|Integer|0|rw",
        "lastwaittype|FixedWideChar|32|rw",
        "waitresource|FixedWideChar|256|rw",
        "dbid|SmallInt|0|rw",
        "uid|SmallInt|0|rw",
        "cpu|Integer|0|rw",
        "physical_io|Integer|0|rw",
        "memusage|Integer|0|rw",
        "login_time|DateTime|0|rw",
        "last_batch|DateTime|0|rw",
        "ecid|SmallInt|0|rw",
        "open_tran|SmallInt|0|rw",
        "status|FixedWideChar|30|rw",
        "sid|Bytes|85|rw",
        "hostname|FixedWideChar|128|rw",
        "program_name|FixedWideChar|128|rw",
        "hostprocess|FixedWideChar|8|rw",
        "cmd|FixedWideChar|16|rw",
        "nt_domain|FixedWideChar|128|rw",
        "nt_username|FixedWideChar|128|rw",
        "net_address|FixedWideChar|12|rw",
        "net_library|FixedWideChar|12|rw",
        "loginame|FixedWideChar|128|rw",
        "DBName|WideString|128|ro",
        "suid|SmallInt|0|rw",
    };
    const QStringList expected2000 = {
        "spid|SmallInt|0|rw",
        "kpid|SmallInt|0|rw",
        "block_count|Integer|0|ro",
        "blocked|SmallInt|0|rw",
        "waittype|Bytes|2|rw",
        "waittime|Integer|0|rw",
        "lastwaittype|FixedWideChar|32|rw",
        "waitresource|FixedWideChar|256|rw",
        "dbid|SmallInt|0|rw",
        "uid|SmallInt|0|rw",
        "cpu|Integer|0|rw",
        "physical_io|LargeInt|0|rw",
        "memusage|Integer|0|rw",
        "login_time|DateTime|0|rw",
        "last_batch|DateTime|0|rw",
        "ecid|SmallInt|0|rw",
        "open_tran|SmallInt|0|rw",
        "status|FixedWideChar|30|rw",
        "sid|Bytes|86|rw",
        "hostname|FixedWideChar|128|rw",
        "program_name|FixedWideChar|128|rw",
        "hostprocess|FixedWideChar|8|rw",
        "cmd|FixedWideChar|16|rw",
        "nt_domain|FixedWideChar|128|rw",
        "nt_username|FixedWideChar|128|rw",
        "net_address|FixedWideChar|12|rw",
        "net_library|FixedWideChar|12|rw",
        "loginame|FixedWideChar|128|rw",
        "DBName|WideString|128|ro",
        "suid|Integer|0|ro",
    };
    // 2005 and later as 2000, but with a 64-bit waittime and the longer hostprocess and cmd.
    QStringList expected2005 = expected2000;
    expected2005[5] = "waittime|LargeInt|0|rw";
    expected2005[21] = "hostprocess|FixedWideChar|10|rw";
    expected2005[22] = "cmd|FixedWideChar|26|rw";
    for (const auto& [family, expected] : {std::pair{ServerFamily::Sql70, expected70}, std::pair{ServerFamily::Sql2000, expected2000},
                                           std::pair{ServerFamily::Sql2005AndLater, expected2005}}) {
        QStringList fields;
        for (const FieldDef& field : processFields(family))
            fields << describe(field);
        EXPECT_EQ(fields.join(u'\n').toStdString(), expected.join(u'\n').toStdString()) << variantName(family);
    }
}

TEST(ProcessQueries, FilteringIsOnWithAnEmptyFilterSoEveryRowShows)
{
    for (ServerFamily family : {ServerFamily::Sql70, ServerFamily::Sql2000, ServerFamily::Sql2005AndLater}) {
        Query query;
        setUpProcessQuery(query, family);
        EXPECT_TRUE(query.filtered());
        EXPECT_TRUE(query.filter().isEmpty());

        query.createDataSet();
        Row row(query.fields().size());
        for (int spid : {1, 52, 57}) {
            row[0] = spid;
            query.appendRow(row);
        }
        EXPECT_EQ(query.recordCount(), 3);
    }
}
