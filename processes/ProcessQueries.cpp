#include "ProcessQueries.h"

namespace velmora {

QStringList processBatch(ServerFamily family)
{
    const bool server2000 = family != ServerFamily::Sql70;
    const bool lockInfo = family == ServerFamily::Sql2005AndLater;
    // The blank, tab and single-space lines are part of the text the server receives; the
    // batches are compared byte for byte, so they stay exactly as they are.
    return {
        QStringLiteral("Use master"),
        QString(),
        lockInfo ? QStringLiteral("Select sp.spid,sp.kpid,Count(sl.req_spid) as block_count,sp.blocked,"
                                  "sp.waittype,sp.waittime,sp.lastwaittype,")
                 : QStringLiteral("Select sp.spid,sp.kpid,Count(sl.spid) as block_count,sp.blocked,"
                                  "sp.waittype,sp.waittime,sp.lastwaittype,"),
        QStringLiteral("sp.waitresource,sp.dbid,sp.uid,sp.cpu,sp.physical_io,sp.[memusage],"),
        QStringLiteral("sp.login_time,sp.last_batch,sp.ecid,sp.open_tran,sp.status,sp.sid,"),
        QStringLiteral("sp.hostname,sp.program_name,sp.hostprocess,sp.cmd,sp.nt_domain,"),
        server2000
            ? QStringLiteral("sp.nt_username,sp.net_address,sp.net_library,sp.loginame, 0 as suid,")
            : QStringLiteral("sp.nt_username,sp.net_address,sp.net_library,sp.loginame,sp.suid,"),
        QStringLiteral("(Select DB_Name(sp.dbid)) as DBName"),
        QString(),
        QStringLiteral("from"),
        lockInfo ? QStringLiteral("  sysprocesses sp left join syslockinfo sl on (sp.spid=sl.req_spid)")
                 : QStringLiteral("  sysprocesses sp left join syslocks sl on (sp.spid=sl.spid)"),
        QStringLiteral("\t"),
        QStringLiteral("group by sp.spid,sp.kpid,sp.blocked,sp.waittype,sp.waittime,"
                       "sp.lastwaittype,"),
        QStringLiteral("sp.waitresource,sp.dbid,sp.uid,sp.cpu,sp.physical_io,sp.[memusage],"
                       "sp.login_time,"),
        QStringLiteral("sp.last_batch,sp.ecid,sp.open_tran,sp.status,sp.sid,sp.hostname,"
                       "sp.program_name,"),
        QStringLiteral("sp.hostprocess,sp.cmd,sp.nt_domain,sp.nt_username,sp.net_address,"
                       "sp.net_library,"),
        server2000 ? QStringLiteral("sp.loginame") : QStringLiteral("sp.loginame,sp.suid"),
        QString(),
        QStringLiteral(" "),
    };
}

std::vector<FieldDef> processFields(ServerFamily family)
{
    const bool server2000 = family != ServerFamily::Sql70;
    // 2005 and later count the wait in 64 bits, and give the host's process number and the
    // command more room.
    const bool server2005 = family == ServerFamily::Sql2005AndLater;
    const auto text = [](const char* name, int size) {
        return FieldDef{QString::fromLatin1(name), FieldKind::FixedWideChar, size};
    };
    const auto field = [](const char* name, FieldKind kind) {
        return FieldDef{QString::fromLatin1(name), kind};
    };
    return {
        field("spid", FieldKind::SmallInt),
        field("kpid", FieldKind::SmallInt),
        FieldDef{QStringLiteral("block_count"), FieldKind::Integer, 0, true},
        field("blocked", FieldKind::SmallInt),
        FieldDef{QStringLiteral("waittype"), FieldKind::Bytes, 2},
        field("waittime", server2005 ? FieldKind::LargeInt : FieldKind::Integer),
        text("lastwaittype", 32),
        text("waitresource", 256),
        field("dbid", FieldKind::SmallInt),
        field("uid", FieldKind::SmallInt),
        field("cpu", FieldKind::Integer),
        field("physical_io", server2000 ? FieldKind::LargeInt : FieldKind::Integer),
        field("memusage", FieldKind::Integer),
        field("login_time", FieldKind::DateTime),
        field("last_batch", FieldKind::DateTime),
        field("ecid", FieldKind::SmallInt),
        field("open_tran", FieldKind::SmallInt),
        text("status", 30),
        FieldDef{QStringLiteral("sid"), FieldKind::Bytes, server2000 ? 86 : 85},
        text("hostname", 128),
        text("program_name", 128),
        text("hostprocess", server2005 ? 10 : 8),
        text("cmd", server2005 ? 26 : 16),
        text("nt_domain", 128),
        text("nt_username", 128),
        text("net_address", 12),
        text("net_library", 12),
        text("loginame", 128),
        FieldDef{QStringLiteral("DBName"), FieldKind::WideString, 128, true},
        server2000 ? FieldDef{QStringLiteral("suid"), FieldKind::Integer, 0, true}
                   : field("suid", FieldKind::SmallInt),
    };
}

void setUpProcessQuery(Query& query, ServerFamily family)
{
    query.setSql(processBatch(family));
    query.setFields(processFields(family));
    query.setFilter(QString());
    query.setFiltered(true);
}

} // namespace velmora
