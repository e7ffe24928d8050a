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
    for (const auto& [server2000, expected] : {std::pair{false, batch70}, std::pair{true, batch2000}}) {
        Query query;
        setUpProcessQuery(query, server2000);
        EXPECT_EQ(query.commandText().toUtf8().toStdString(), std::string(expected))
            << (server2000 ? "ProcQuery2" : "ProcQuery");
    }
}

TEST(ProcessQueries, VariantsDifferOnlyInPhysicalIoSidAndSuid)
{
    const std::vector<FieldDef> fields70 = processFields(false);
    const std::vector<FieldDef> fields2000 = processFields(true);
    ASSERT_EQ(fields70.size(), 30u);
    ASSERT_EQ(fields2000.size(), 30u);
    EXPECT_EQ(fields70.front().name, "spid");   // the sort keeps the current row by position 0

    QStringList differences;
    for (size_t i = 0; i < fields70.size(); ++i) {
        ASSERT_EQ(fields70[i].name, fields2000[i].name);
        if (describe(fields70[i]) != describe(fields2000[i]))
            differences << describe(fields70[i]) + " -> " + describe(fields2000[i]);
    }
    EXPECT_EQ(differences, QStringList({
        "physical_io|Integer|0|rw -> physical_io|LargeInt|0|rw",
        "sid|Bytes|85|rw -> sid|Bytes|86|rw",
        "suid|SmallInt|0|rw -> suid|Integer|0|ro",
    }));
}

TEST(ProcessQueries, FilteringIsOnWithAnEmptyFilterSoEveryRowShows)
{
    for (bool server2000 : {false, true}) {
        Query query;
        setUpProcessQuery(query, server2000);
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
