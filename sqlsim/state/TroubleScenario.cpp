#include "TroubleScenario.h"

#include "Population.h"
#include "ProcessTable.h"

#include <algorithm>
#include <iterator>

namespace sqlsim {

namespace {

enum class Kind {
    Chain,   // takes part in the blocking chain of each cycle
    Busy,    // works all the time
    Idle,    // logged in, doing nothing
};

struct Part {
    Kind kind;
    Client client;
    const char* command;   // cmd while it works or waits
    const char* input;     // its batch, as dbcc inputbuffer shows it
    int beginS;            // Chain: when its transaction begins, seconds into the cycle
    int blocker;           // Chain: the part whose locks it waits for; -1: none
    int workS;             // Chain: how long it works once it has its locks
    int holdS;             // Chain: how long it then sits in its open transaction
    int cpuPerS;           // growth while it works
    int ioPerS;
    qint32 cpu;            // its figures and age when it logs in
    qint64 io;
    int loggedInMinutes;
};

constexpr const char* tcpLibrary = "TCP/IP";
constexpr qint16 northwind = 6;
constexpr qint16 sales = 8;

// The head (0) updates a product and leaves its transaction open for over a minute. 1 and 3 wait
// for it, 2 for 1 and 4 for 2, each joining ten seconds after the one before: a chain four deep
// at its height, which clears from the head down once the head commits. The cycle ends calm.
constexpr Part parts[] = {
    {Kind::Chain, {"BUH-03", "Бухгалтерия: закрытие месяца", "buh", tcpLibrary, northwind}, "UPDATE",
     "begin tran\r\nupdate Products set UnitsInStock = UnitsInStock - 12 where ProductID = 11\r\n",
     10, -1, 2, 68, 400, 150, 1200, 340, 95},
    {Kind::Chain, {"WEB-FRONT", "Orders Web Service", "web_app", tcpLibrary, northwind}, "UPDATE",
     "update [Order Details] set Quantity = 5 where OrderID = 10262 and ProductID = 11\r\n"
     "update Products set UnitsOnOrder = UnitsOnOrder + 5 where ProductID = 11",
     20, 0, 10, 0, 250, 40, 860, 95, 210},
    {Kind::Chain, {"КАССА-2", "Касса: смена", "sklad", tcpLibrary, northwind}, "SELECT",
     "begin tran\r\nupdate Orders set Freight = 32.38 where OrderID = 10262\r\n"
     "select Quantity from [Order Details] where OrderID = 10262",
     30, 1, 5, 0, 120, 60, 410, 52, 380},
    {Kind::Chain, {"MANAGER-04", "Отчёты продаж", "report_user", tcpLibrary, northwind}, "SELECT",
     "select sum(UnitsInStock * UnitPrice) from Products", 40, 0, 5, 0, 300, 900, 2300, 1800, 47},
    {Kind::Chain, {"КАССА-3", "Касса: смена", "sklad", tcpLibrary, northwind}, "UPDATE",
     "update Orders set ShipVia = 2 where OrderID = 10262", 50, 2, 5, 0, 100, 30, 150, 20, 33},
    {Kind::Busy, {"ANALYTICS-01", "Прогноз спроса", "report_user", tcpLibrary, northwind}, "SELECT",
     "select ProductID, sum(Quantity) from [Order Details] group by ProductID order by 2 desc",
     0, -1, 0, 0, 900, 30, 5400, 210, 12},
    {Kind::Busy, {"ETL-NODE02", "Nightly load (DTS)", "etl_loader", tcpLibrary, sales}, "INSERT",
     "insert into OrderLines select * from stage_OrderLines", 0, -1, 0, 0, 60, 2400, 31000, 640000, 95},
    // Two hours of cpu burnt yesterday, nothing since.
    {Kind::Idle, {"MANAGER-09", "Microsoft Office XP", "OFFICE\\ivanova", tcpLibrary, northwind}, "",
     "", 0, -1, 0, 0, 0, 0, 7200000, 48000, 1500},
    {Kind::Idle, {"SQLADMIN-PC", "MS SQLEM", "sa", "Named Pipes", 1}, "", "", 0, -1, 0, 0, 0, 0, 120, 15, 40},
};

struct PartLock {
    size_t part;
    bool wanted;   // Chain: requested at its transaction's start, granted when its wait ends
    Lock lock;
};

// Northwind's Products 53575229, Order Details 117575457, Orders 21575115; OrderLines
// 2009058193 of Sales 2003. Type codes as syslocks has them, the rest as sp_lock shows it.
const PartLock partLocks[] = {
    {0, false, {0, 0, northwind, 2, 0, 0, "DB", "", "S"}},
    {0, false, {0, 53575229, northwind, 3, 0, 0, "TAB", "", "IX"}},
    {0, false, {0, 53575229, northwind, 3, 176, 1, "PAG", "1:176", "IX"}},
    {0, false, {0, 53575229, northwind, 1, 0, 1, "KEY", "(0b00d9e1a2c3)", "X"}},
    {1, false, {0, 0, northwind, 2, 0, 0, "DB", "", "S"}},
    {1, false, {0, 117575457, northwind, 3, 0, 0, "TAB", "", "IX"}},
    {1, false, {0, 117575457, northwind, 1, 0, 1, "KEY", "(5b00a1c2d3e4)", "X"}},
    {1, false, {0, 53575229, northwind, 3, 0, 0, "TAB", "", "IX"}},
    {1, true, {0, 53575229, northwind, 7, 0, 1, "KEY", "(0b00d9e1a2c3)", "U"}},
    {2, false, {0, 0, northwind, 2, 0, 0, "DB", "", "S"}},
    {2, false, {0, 21575115, northwind, 3, 0, 0, "TAB", "", "IX"}},
    {2, false, {0, 21575115, northwind, 1, 0, 1, "KEY", "(7c00e4f5a6b7)", "X"}},
    {2, false, {0, 117575457, northwind, 4, 0, 0, "TAB", "", "IS"}},
    {2, true, {0, 117575457, northwind, 6, 0, 1, "KEY", "(5b00a1c2d3e4)", "S"}},
    {3, false, {0, 0, northwind, 2, 0, 0, "DB", "", "S"}},
    {3, true, {0, 53575229, northwind, 2, 0, 0, "TAB", "", "S"}},
    {4, false, {0, 0, northwind, 2, 0, 0, "DB", "", "S"}},
    {4, false, {0, 21575115, northwind, 3, 0, 0, "TAB", "", "IX"}},
    {4, true, {0, 21575115, northwind, 1, 0, 1, "KEY", "(7c00e4f5a6b7)", "X"}},
    {5, false, {0, 0, northwind, 2, 0, 0, "DB", "", "S"}},
    {5, false, {0, 117575457, northwind, 4, 0, 0, "TAB", "", "IS"}},
    {6, false, {0, 0, sales, 2, 0, 0, "DB", "", "S"}},
    {6, false, {0, 2009058193, sales, 3, 0, 0, "TAB", "", "IX"}},
    {6, false, {0, 2009058193, sales, 8, 1208, 0, "EXT", "1:1208", "X"}},
    {7, false, {0, 0, northwind, 2, 0, 0, "DB", "", "S"}},
};

const Lock& wantedLock(size_t part)
{
    return std::find_if(std::begin(partLocks), std::end(partLocks),
                        [part](const PartLock& entry) { return entry.part == part && entry.wanted; })
        ->lock;
}

// The wait for a lock as sysprocesses shows it: waittype, lastwaittype, waitresource.
void showWaitFor(Process& p, const Lock& lock)
{
    const int code = lock.mode == u"S" ? 0x03 : lock.mode == u"U" ? 0x04 : 0x05;
    p.waittype = QByteArray(2, '\0');
    p.waittype[1] = char(code);
    p.lastwaittype = QStringLiteral("LCK_M_") + lock.mode;
    p.waitresource = lock.rscType == u"KEY"
        ? QStringLiteral("KEY: %1:%2:%3 %4").arg(lock.dbid).arg(lock.id).arg(lock.indid).arg(lock.resource)
        : QStringLiteral("TAB: %1:%2 []").arg(lock.dbid).arg(lock.id);
}

qint64 overlap(qint64 from, qint64 to, qint64 begin, qint64 end)
{
    return std::max<qint64>(0, std::min(to, end) - std::max(from, begin));
}

} // namespace

void TroubleScenario::advance(ServerState& state)
{
    const QDateTime now = serverNow(state);
    const bool first = m_members.empty();
    // A clock set back (a test freezing it) moves nothing.
    const qint64 stepMs = first ? 0 : std::max<qint64>(0, m_lastSeen.msecsTo(now));
    m_lastSeen = now;
    const qint64 before = m_elapsedMs;
    m_elapsedMs += stepMs;
    if (first)
        m_members.resize(std::size(parts));
    if (first || before / kCycleMs != m_elapsedMs / kCycleMs) {
        for (size_t part = 0; part < std::size(parts); ++part) {
            if (!present(state, part))
                seat(state, part, now);
        }
    }
    std::erase_if(state.locks, [&](const Lock& lock) {
        const auto member = std::find_if(m_members.begin(), m_members.end(),
                                         [&lock](const Member& m) { return m.spid == lock.spid; });
        return member != m_members.end() && present(state, size_t(member - m_members.begin()));
    });
    for (size_t part = 0; part < std::size(parts); ++part)
        show(state, part, m_elapsedMs % kCycleMs, stepMs, now);
}

Process* TroubleScenario::present(ServerState& state, size_t part) const
{
    Process* process = findProcess(state, m_members[part].spid);
    return process && process->login_time == m_members[part].loginTime ? process : nullptr;
}

void TroubleScenario::seat(ServerState& state, size_t part, const QDateTime& now)
{
    const Part& cast = parts[part];
    Member& member = m_members[part];
    const int spid = member.spid != 0 && !findProcess(state, member.spid) ? member.spid : freeUserSpid(state);
    Process p = userProcess(state, spid, cast.client, now);
    p.simulated = false;   // the population's random moves leave it alone
    p.login_time = now.addSecs(-60 * cast.loggedInMinutes);
    p.cpu = cast.cpu;
    p.physical_io = cast.io;
    p.inputText = QString::fromUtf8(cast.input);
    member = Member{p.spid, p.login_time, 0};
    state.processes.push_back(p);
}

qint64 TroubleScenario::waitEndMs(ServerState& state, size_t part) const
{
    const Part& cast = parts[part];
    const qint64 begin = cast.beginS * 1000LL;
    if (cast.blocker < 0 || !present(state, size_t(cast.blocker)))
        return begin;
    return std::max(begin, endMs(state, size_t(cast.blocker)));
}

qint64 TroubleScenario::endMs(ServerState& state, size_t part) const
{
    return waitEndMs(state, part) + (parts[part].workS + parts[part].holdS) * 1000LL;
}

void TroubleScenario::show(ServerState& state, size_t part, qint64 cycleMs, qint64 stepMs, const QDateTime& now)
{
    Process* p = present(state, part);
    if (!p)
        return;
    const Part& cast = parts[part];
    Member& member = m_members[part];
    const qint64 begin = cast.beginS * 1000LL;
    const qint64 waitEnd = cast.kind == Kind::Chain ? waitEndMs(state, part) : 0;
    const qint64 workEnd = waitEnd + cast.workS * 1000LL;
    const qint64 end = cast.kind == Kind::Chain ? endMs(state, part) : kCycleMs;
    const bool inTransaction = cast.kind != Kind::Idle && begin <= cycleMs && cycleMs < end;
    const bool waiting = cast.kind == Kind::Chain && inTransaction && cycleMs < waitEnd;
    const bool working = cast.kind == Kind::Busy || (inTransaction && !waiting && cycleMs < workEnd);

    // What it worked since the previous call; after a jump past the cycle's start, only this
    // cycle's share counts.
    const qint64 worked = cast.kind == Kind::Busy
        ? stepMs
        : cast.kind == Kind::Chain ? overlap(std::max<qint64>(0, cycleMs - stepMs), cycleMs, waitEnd, workEnd) : 0;
    const auto grown = [&](qint64 perS) { return perS * (member.workedMs + worked) / 1000 - perS * member.workedMs / 1000; };
    p->cpu += qint32(grown(cast.cpuPerS));
    p->physical_io += grown(cast.ioPerS);
    member.workedMs += worked;

    p->status = working ? QStringLiteral("runnable") : QStringLiteral("sleeping");
    p->cmd = working || waiting ? QString::fromLatin1(cast.command) : QStringLiteral("AWAITING COMMAND");
    p->open_tran = inTransaction ? 1 : 0;
    p->kpid = working || waiting ? qint16(1000 + p->spid * 4) : 0;
    if (cast.kind == Kind::Chain && inTransaction)
        p->last_batch = now.addMSecs(begin - cycleMs);
    p->blocked = waiting ? m_members[size_t(cast.blocker)].spid : 0;
    p->waittime = waiting ? qint32(cycleMs - begin) : 0;
    if (waiting) {
        showWaitFor(*p, wantedLock(part));
    } else {
        p->waittype = QByteArray(2, '\0');
        p->waitresource.clear();
    }

    if (cast.kind == Kind::Chain && !inTransaction)
        return;
    for (const PartLock& entry : partLocks) {
        if (entry.part != part)
            continue;
        Lock lock = entry.lock;
        lock.spid = p->spid;
        lock.waiting = entry.wanted && waiting;
        state.locks.push_back(lock);
    }
}

} // namespace sqlsim
