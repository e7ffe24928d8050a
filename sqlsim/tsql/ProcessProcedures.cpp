#include "ProcessProcedures.h"

#include "state/ProcessTable.h"
#include "state/SystemTables.h"

#include <algorithm>

namespace sqlsim::tsql {

namespace {

TableColumn column(const char* name, const TypeInfo& type)
{
    return TableColumn{QString::fromLatin1(name), type, true};
}

std::optional<int> spidArgument(const ProcedureCall& call, const char* name)
{
    const SqlValue* argument = call.argument(0, name);
    if (!argument || argument->isNull())
        return std::nullopt;
    return int(implicitConvert(*argument, TypeInfo::integer()).toInteger());
}

// Another process's input is shown to sysadmins only; a login the server does not keep
// (Windows logins of the population) is taken as one.
bool maySeeOthers(const ServerState& state, int spid)
{
    const Process* caller = findProcess(state, spid);
    if (!caller)
        return true;
    const auto login = std::find_if(state.logins.begin(), state.logins.end(), [&](const SqlLogin& l) {
        return l.name.compare(caller->loginame.trimmed(), Qt::CaseInsensitive) == 0;
    });
    return login == state.logins.end() || login->mayKill;
}

} // namespace

void spLock(ProcedureCall& call)
{
    const std::optional<int> spid = spidArgument(call, "@spid1");
    ProcedureResult result;
    const TypeInfo type = TypeInfo::text(SqlType::NChar, 4);
    const TypeInfo resource = TypeInfo::text(SqlType::NChar, 16);
    const TypeInfo mode = TypeInfo::text(SqlType::NVarChar, 8);
    const TypeInfo status = TypeInfo::text(SqlType::NVarChar, 5);
    result.columns = {column("spid", TypeInfo::integer(SqlType::SmallInt)),
                      column("dbid", TypeInfo::integer(SqlType::SmallInt)),
                      column("ObjId", TypeInfo::integer(SqlType::Int)),
                      column("IndId", TypeInfo::integer(SqlType::SmallInt)),
                      column("Type", type), column("Resource", resource), column("Mode", mode),
                      column("Status", status)};
    for (const Lock& lock : call.state.locks) {
        if (spid && lock.spid != *spid)
            continue;
        const LockDetail detail = lockDetail(lock);
        result.rows.push_back({
            SqlValue::integer(lock.spid, SqlType::SmallInt),
            SqlValue::integer(lock.dbid, SqlType::SmallInt),
            SqlValue::integer(lock.id),
            SqlValue::integer(lock.indid, SqlType::SmallInt),
            SqlValue::text(detail.type.leftJustified(4, u' ', true), type),
            SqlValue::text(detail.resource.leftJustified(16, u' ', true), resource),
            SqlValue::text(detail.mode, mode),
            SqlValue::text(lock.waiting ? QStringLiteral("WAIT") : QStringLiteral("GRANT"), status),
        });
    }
    call.output.push_back(std::move(result));
}

void dbccInputbuffer(ProcedureCall& call)
{
    const std::optional<int> spid = spidArgument(call, "@spid");
    const Process* process = spid ? findProcess(call.state, *spid) : nullptr;
    if (!process || process->system) {
        call.output.push_back(Message{7940, 1, 16,
                                      QStringLiteral("Invalid SPID %1 specified.").arg(spid.value_or(0)), {}, 1});
        return;
    }
    if (*spid != call.spid && !maySeeOthers(call.state, call.spid)) {
        const Process* caller = findProcess(call.state, call.spid);
        call.output.push_back(Message{2571, 1, 14,
                                      QStringLiteral("User '%1' does not have permission to run DBCC inputbuffer.")
                                          .arg(caller ? caller->loginame.trimmed() : QString()),
                                      {}, 1});
        return;
    }
    ProcedureResult result;
    const TypeInfo eventType = TypeInfo::text(SqlType::NVarChar, 30);
    const TypeInfo eventInfo = TypeInfo::text(SqlType::NVarChar, 255);
    result.columns = {column("EventType", eventType), column("Parameters", TypeInfo::integer(SqlType::Int)),
                      column("EventInfo", eventInfo)};
    result.rows.push_back({SqlValue::text(process->inputEvent, eventType),
                           SqlValue::integer(process->inputParameters),
                           SqlValue::text(process->inputText.left(255), eventInfo)});
    call.output.push_back(std::move(result));
}

} // namespace sqlsim::tsql
