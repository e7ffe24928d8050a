#include "ProcessTable.h"
#include "Population.h"

#include <QCryptographicHash>
#include <algorithm>

namespace sqlsim {

namespace {

// A fixed mapping from the generator's output, so that one seed gives the same server on every
// standard library (the distributions of <random> are free to differ between them).
int draw(std::mt19937& random, int low, int high)
{
    return low + int(random() % quint32(high - low + 1));
}

QByteArray waitType(int code)
{
    QByteArray bytes(2, '\0');
    bytes[1] = char(code);
    return bytes;
}

struct Account {
    const char* login;
    qint16 suid;   // 7.0's short login id
    qint16 uid;    // user id in the databases the population uses
};

constexpr Account accounts[] = {
    {"sa", 1, 1},
    {"buh", 11, 5},
    {"sklad", 12, 6},
    {"web_app", 13, 7},
    {"etl_loader", 14, 8},
    {"report_user", 15, 9},
    {"OFFICE\\petrov", 16, 10},
    {"OFFICE\\sqlsvc", 17, 1},
    {"OFFICE\\ivanova", 18, 11},
};

struct CastMember {
    qint16 spid;
    Client client;
    const char* status;
    const char* cmd;
    qint16 openTran;
};

constexpr const char* tcp = "TCP/IP";
constexpr const char* pipes = "Named Pipes";

// The user processes the server starts with. 53 heads a blocking chain 53 <- 55 <- 58, and 60
// also waits for 53; 57 is a long load job whose io passes 2^31 on a 2000 server.
constexpr CastMember cast[] = {
    {51, {"SQLSRV01", "SQLAgent - Generic Refresher", "OFFICE\\sqlsvc", "LPC", 1}, "sleeping", "AWAITING COMMAND", 0},
    {52, {"SQLSRV01", "SQLAgent - Alert Engine", "OFFICE\\sqlsvc", "LPC", 4}, "sleeping", "AWAITING COMMAND", 0},
    {53, {"DEV-PETROV", "SQL Query Analyzer", "OFFICE\\petrov", tcp, 6}, "sleeping", "AWAITING COMMAND", 1},
    {54, {"SQLADMIN-PC", "MS SQLEM", "sa", pipes, 1}, "sleeping", "AWAITING COMMAND", 0},
    {55, {"WEB-FRONT", "Orders Web Service", "web_app", tcp, 6}, "sleeping", "UPDATE", 2},
    {56, {"СКЛАД-02", "Учёт склада 3.1", "sklad", tcp, 5}, "sleeping", "AWAITING COMMAND", 0},
    {57, {"ETL-NODE01", "Nightly load (DTS)", "etl_loader", tcp, 5}, "runnable", "INSERT", 1},
    {58, {"BUH-01", "Бухгалтерия: расчёт зарплаты", "buh", tcp, 6}, "sleeping", "SELECT", 0},
    {59, {"BUH-01",
          "Система управления складом «Восход»: модуль отчётности по остаткам, движению товаров "
          "и инвентаризации (сборка 4.12.7)",
          "buh", tcp, 6},
     "sleeping", "AWAITING COMMAND", 1},
    {60, {"SQLADMIN-PC", "OSQL-32", "sa", pipes, 6}, "sleeping", "SELECT", 0},
    {61, {"MANAGER-03", "Microsoft Office XP", "OFFICE\\ivanova", tcp, 6}, "sleeping", "AWAITING COMMAND", 0},
    {62, {"MANAGER-07", "Отчёты продаж", "report_user", tcp, 6}, "sleeping", "AWAITING COMMAND", 0},
};

struct Wait {
    qint16 spid;
    qint16 blocker;
    int code;
    const char* type;
    const char* resource;
    qint32 waittime;
};

constexpr Wait waits[] = {
    {55, 53, 0x05, "LCK_M_X", "TAB: 6:21575115 []", 183421},
    {58, 55, 0x03, "LCK_M_S", "PAG: 6:1:88", 95130},
    {60, 53, 0x03, "LCK_M_S", "TAB: 6:21575115 []", 41002},
};

// Object ids: Orders 21575115, Products 53575229, Order Details 117575457, Customers
// 2073058421 (Northwind); titles 2121058592, sales 2009058193 (pubs); a #temp table in tempdb.
// Types as syslocks codes them: 1 exclusive table, 2 shared table, 3 exclusive intent,
// 4 shared intent, 5 exclusive page, 8 exclusive extent.
const Lock locks[] = {
    {53, 21575115, 6, 1, 0}, {53, 21575115, 6, 5, 312}, {53, 21575115, 6, 5, 313},
    {53, 2073058421, 6, 4, 0},
    {55, 117575457, 6, 3, 0}, {55, 117575457, 6, 5, 88}, {55, 117575457, 6, 5, 89},
    {56, 2121058592, 5, 2, 0},
    {58, 53575229, 6, 4, 0},
    {59, 1525580473, 2, 1, 0}, {59, 1525580473, 2, 8, 96},
};

// What sp_lock adds: the database locks of the sessions, key and row locks, and the requests
// of the blocking chain still waiting on the resources 53 and 55 hold.
const Lock detailedLocks[] = {
    {53, 0, 6, 2, 0, 0, "DB", "", "S", false},
    {53, 21575115, 6, 1, 0, 1, "KEY", "(0a0087c006b1)", "X", false},
    {55, 0, 6, 2, 0, 0, "DB", "", "S", false},
    {55, 21575115, 6, 1, 0, 0, "TAB", "", "X", true},
    {56, 0, 5, 2, 0, 0, "DB", "", "S", false},
    {56, 2121058592, 5, 2, 0, 0, "RID", "1:204:3", "S", false},
    {57, 0, 5, 2, 0, 0, "DB", "", "S", false},
    {57, 2009058193, 5, 3, 0, 2, "KEY", "(3c00d8a2b5f1)", "X", false},
    {58, 0, 6, 2, 0, 0, "DB", "", "S", false},
    {58, 117575457, 6, 5, 88, 1, "PAG", "1:88", "S", true},
    {60, 21575115, 6, 2, 0, 0, "TAB", "", "S", true},
};

struct LastInput {
    qint16 spid;
    const char* event;
    qint32 parameters;
    const char* text;
};

// The last input of the population's user processes: what dbcc inputbuffer shows.
constexpr LastInput lastInputs[] = {
    {51, "RPC Event", 0, "msdb.dbo.sp_sqlagent_get_perf_counters;1"},
    {52, "RPC Event", 0, "msdb.dbo.sp_sqlagent_get_startup_info;1"},
    {53, "Language Event", 0,
     "begin tran\r\nupdate Orders set ShippedDate = getdate() where OrderID between 10248 and 10300\r\n"},
    {54, "Language Event", 0, "select name from master..sysdatabases order by name"},
    {55, "RPC Event", 0, "sp_executesql;1"},
    {56, "Language Event", 0, "select title_id, title, price from titles where type = 'business'"},
    {57, "Language Event", 0,
     "insert into OrderLines (OrderID, ProductID, Quantity, UnitPrice, Discount, LoadedAt) select s.OrderID, "
     "s.ProductID, s.Quantity, s.UnitPrice, s.Discount, getdate() from stage_OrderLines s left join OrderLines o "
     "on o.OrderID = s.OrderID and o.ProductID = s.ProductID where o.OrderID is null order by s.OrderID"},
    {58, "Language Event", 0, "select sum(Quantity * UnitPrice) from [Order Details] where OrderID = 10255"},
    {59, "Language Event", 0, "exec rpt_StockBalance @from = '20261201', @to = '20261208'"},
    {60, "Language Event", 0, "select count(*) from Orders"},
    {61, "Language Event", 0, "SET NO_BROWSETABLE ON"},
    {62, "RPC Event", 0, "sp_cursorfetch;1"},
};

// Clients that log in and out while the server runs.
constexpr Client visitors[] = {
    {"MANAGER-01", "Отчёты продаж", "report_user", tcp, 6},
    {"MANAGER-05", "Microsoft Office XP", "OFFICE\\ivanova", tcp, 6},
    {"КАССА-1", "Касса: смена", "sklad", tcp, 5},
    {"WEB-FRONT", "Orders Web Service", "web_app", tcp, 6},
    {"SQLADMIN-PC", "MS SQLEM", "sa", pipes, 1},
    {"BUH-02", "Бухгалтерия: расчёт зарплаты", "buh", tcp, 6},
};

constexpr const char* systemTasks[] = {
    "LAZY WRITER", "LOG WRITER", "LOCK MONITOR", "SIGNAL HANDLER", "TASK MANAGER",
    "TASK MANAGER", "CHECKPOINT SLEEP", "TASK MANAGER", "TASK MANAGER", "TASK MANAGER",
};

QByteArray sidOf(const QString& login)
{
    if (login == u"sa")
        return QByteArray(1, '\x01');
    const QByteArray digest = QCryptographicHash::hash(login.toLower().toUtf8(), QCryptographicHash::Md5);
    if (!login.contains(u'\\'))
        return digest;   // SQL logins: a 16-byte id
    // Windows logins: a domain SID, S-1-5-21-x-y-z-rid, 28 bytes.
    return QByteArray::fromHex("010500000000000515000000") + digest;
}

QString netAddressOf(const QString& host)
{
    return QString::fromLatin1(QCryptographicHash::hash(host.toUtf8(), QCryptographicHash::Md5).toHex().left(12)).toUpper();
}

Process systemProcess(ServerState& state, int spid, const QDateTime& started)
{
    Process p;
    p.spid = qint16(spid);
    p.kpid = qint16(draw(state.random, 1000, 4000));
    p.cmd = QString::fromLatin1(systemTasks[spid - 1]);
    p.status = p.cmd == u"TASK MANAGER" ? QStringLiteral("sleeping") : QStringLiteral("background");
    p.lastwaittype = p.cmd == u"LOG WRITER" ? QStringLiteral("LOGMGR") : QStringLiteral("RESOURCE_QUEUE");
    p.cpu = draw(state.random, 0, 500);
    p.physical_io = p.cmd == u"LAZY WRITER" ? draw(state.random, 20000, 60000) : draw(state.random, 0, 40);
    p.login_time = started;   // a system task never sends a batch: its last_batch stays unset
    p.loginame = QStringLiteral("sa");
    p.sid = sidOf(p.loginame);
    p.suid = 1;
    p.system = true;
    p.simulated = true;
    return p;
}

bool blocksSomeone(const ServerState& state, const Process& p)
{
    return std::any_of(state.processes.begin(), state.processes.end(),
                       [&p](const Process& other) { return other.blocked == p.spid; });
}

bool holdsLocks(const ServerState& state, const Process& p)
{
    return std::any_of(state.locks.begin(), state.locks.end(),
                       [&p](const Lock& lock) { return lock.spid == p.spid; });
}

// Idle population processes may log out; the blocking chains and the lock holders stay until
// someone kills them.
std::vector<qint16> idleVisitors(const ServerState& state)
{
    std::vector<qint16> idle;
    for (const Process& p : state.processes) {
        if (p.simulated && !p.system && p.blocked == 0 && p.open_tran == 0 && !blocksSomeone(state, p)
            && !holdsLocks(state, p))
            idle.push_back(p.spid);
    }
    return idle;
}

void advance(ServerState& state, Process& p, const QDateTime& now)
{
    std::mt19937& random = state.random;
    if (p.system) {
        p.cpu += draw(random, 0, 3);
        p.physical_io += p.cmd == u"LAZY WRITER" ? draw(random, 0, 60) : draw(random, 0, 1);
    } else if (p.blocked != 0) {
        p.waittime += draw(random, 900, 3500);
    } else if (p.status == u"runnable") {
        p.cpu += draw(random, 50, 900);
        p.physical_io += draw(random, 100, 8000);
        p.memusage = std::max(2, p.memusage + draw(random, -3, 8));
        p.last_batch = now;
    } else if (draw(random, 0, 3) == 0) {
        // An idle session that sent a batch since the last look.
        p.cpu += draw(random, 0, 40);
        p.physical_io += draw(random, 0, 60);
        p.last_batch = now.addMSecs(-draw(random, 0, 2000));
    }
}

} // namespace

Process userProcess(ServerState& state, int spid, const Client& client, const QDateTime& now)
{
    Process p;
    p.spid = qint16(spid);
    p.dbid = client.dbid;
    p.hostname = QString::fromUtf8(client.host);
    p.program_name = QString::fromUtf8(client.program);
    p.loginame = QString::fromUtf8(client.login);
    p.net_library = QString::fromLatin1(client.netLibrary);
    p.net_address = netAddressOf(p.hostname);
    p.hostprocess = QString::number(draw(state.random, 300, 4000));
    p.sid = sidOf(p.loginame);
    const auto account = std::find_if(std::begin(accounts), std::end(accounts), [&p](const Account& a) {
        return p.loginame == QString::fromLatin1(a.login);
    });
    if (account != std::end(accounts)) {
        p.suid = account->suid;
        p.uid = account->uid;
    }
    if (p.loginame.contains(u'\\')) {
        p.nt_domain = p.loginame.section(u'\\', 0, 0);
        p.nt_username = p.loginame.section(u'\\', 1);
    }
    p.status = QStringLiteral("sleeping");
    p.cmd = QStringLiteral("AWAITING COMMAND");
    p.lastwaittype = QStringLiteral("NETWORKIO");
    p.login_time = now;
    p.last_batch = now;
    p.memusage = draw(state.random, 2, 40);
    p.simulated = true;
    return p;
}

int freeUserSpid(const ServerState& state)
{
    int spid = 51;
    while (findProcess(state, spid))
        ++spid;
    return spid;
}

void populate(ServerState& state)
{
    state.random.seed(state.options.seed);
    const QDateTime now = serverNow(state);
    const QDateTime started = now.addSecs(-(3 * 86400 + 4 * 3600 + 12 * 60 + 7));
    for (int spid = 1; spid <= 10; ++spid)
        state.processes.push_back(systemProcess(state, spid, started));

    for (const CastMember& member : cast) {
        Process p = userProcess(state, member.spid, member.client, now);
        p.status = QString::fromLatin1(member.status);
        p.cmd = QString::fromLatin1(member.cmd);
        p.open_tran = member.openTran;
        p.login_time = now.addSecs(-draw(state.random, 600, 250000));
        p.last_batch = now.addSecs(-draw(state.random, 1, 600));
        p.cpu = draw(state.random, 0, 20000);
        p.physical_io = draw(state.random, 0, 5000);
        p.memusage = draw(state.random, 2, 300);
        if (p.status == u"runnable")
            p.kpid = qint16(draw(state.random, 1000, 4000));
        state.processes.push_back(p);
    }

    Process& load = *findProcess(state, 57);
    // A 7.0 counter stays within 32 bits; later versions count beyond.
    const bool is2000 = state.options.version != ServerVersion::Sql70;
    load.physical_io = (is2000 ? 3456789012LL : 1456789012LL) + draw(state.random, 0, 100000);
    load.cpu = 2345678 + draw(state.random, 0, 10000);
    load.memusage = 5400;
    load.lastwaittype = QStringLiteral("PAGEIOLATCH_SH");
    for (int page = 0; page < 8; ++page)
        state.locks.push_back(Lock{57, 2009058193, 5, 5, 1200 + page});
    state.locks.push_back(Lock{57, 2009058193, 5, 3, 0});

    for (const Wait& wait : waits) {
        Process& p = *findProcess(state, wait.spid);
        p.blocked = wait.blocker;
        p.waittype = waitType(wait.code);
        p.lastwaittype = QString::fromLatin1(wait.type);
        p.waitresource = QString::fromLatin1(wait.resource);
        p.waittime = wait.waittime;
        p.kpid = qint16(draw(state.random, 1000, 4000));
        p.last_batch = now.addMSecs(-wait.waittime);
    }
    state.locks.insert(state.locks.end(), std::begin(locks), std::end(locks));
    state.locks.insert(state.locks.end(), std::begin(detailedLocks), std::end(detailedLocks));
    for (const LastInput& input : lastInputs) {
        Process& p = *findProcess(state, input.spid);
        p.inputEvent = QString::fromLatin1(input.event);
        p.inputParameters = input.parameters;
        p.inputText = QString::fromLatin1(input.text);
    }
}

void evolve(ServerState& state)
{
    if (!state.options.populate)
        return;
    const QDateTime now = serverNow(state);
    for (Process& p : state.processes) {
        if (p.simulated)
            advance(state, p, now);
    }
    const std::vector<qint16> idle = idleVisitors(state);
    switch (draw(state.random, 0, 5)) {
    case 0:
    case 1:
        if (idle.size() > 4)
            endProcess(state, idle[draw(state.random, 0, int(idle.size()) - 1)]);
        break;
    case 2:
    case 3:
        if (idle.size() < 12) {
            const Client& client = visitors[draw(state.random, 0, int(std::size(visitors)) - 1)];
            state.processes.push_back(userProcess(state, freeUserSpid(state), client, now));
        }
        break;
    default:
        break;
    }
}

} // namespace sqlsim
