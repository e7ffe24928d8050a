#include "Engine.h"

#include "state/Population.h"
#include "state/ProcessTable.h"
#include "tsql/Interpreter.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace sqlsim {

namespace {

constexpr int kFirstUserSpid = 51;

} // namespace

Engine::Engine(ServerOptions options)
    : m_memory(options.serverMemoryLimit)
{
    m_state.options = options;
    m_state.random.seed(options.seed);
    // sa may end processes; operator may look but not Kill.
    m_state.logins = {{QStringLiteral("sa"), QStringLiteral("velmora"), true},
                      {QStringLiteral("operator"), QStringLiteral("velmora"), false}};
    if (options.populate)
        populate(m_state);
    seedDatabases(m_state);
    seedErrorLogs(m_state);
    if (options.trouble)
        m_trouble.emplace();
}

std::variant<int, Message> Engine::login(const LoginInfo& info,
                                         const std::function<void(int spid)>& admitted)
{
    std::lock_guard lock(m_mutex);
    QString loginName = info.windowsLogin;
    if (info.integratedSecurity) {
        if (loginName.isEmpty())
            return Message{18452, 1, 14,
                           QStringLiteral("Login failed for user '(null)'. Reason: Not associated with a "
                                          "trusted SQL Server connection."), {}, 1};
    } else {
        const auto login = std::find_if(m_state.logins.begin(), m_state.logins.end(), [&](const SqlLogin& l) {
            return l.name.compare(info.login, Qt::CaseInsensitive) == 0;
        });
        if (login == m_state.logins.end() || login->password != info.password)
            return Message{18456, 1, 14,
                           QStringLiteral("Login failed for user '%1'.").arg(info.login.left(kMaxNameInMessage)),
                           {}, 1};
        loginName = login->name;
    }

    const QString wanted = info.database.isEmpty() ? QStringLiteral("master") : info.database;
    const auto database = std::find_if(m_state.databases.begin(), m_state.databases.end(),
                                       [&](const Database& d) {
                                           return d.name.compare(wanted, Qt::CaseInsensitive) == 0;
                                       });
    if (database == m_state.databases.end())
        return Message{4060, 1, 11,
                       QStringLiteral("Cannot open database requested in login '%1'. Login fails.").arg(wanted),
                       {}, 1};

    std::set<int> taken = m_closing;
    for (const Process& process : m_state.processes)
        taken.insert(process.spid);
    int spid = kFirstUserSpid;
    while (taken.count(spid))
        ++spid;

    const QDateTime now = serverNow(m_state);
    Process process;
    process.spid = qint16(spid);
    process.kpid = qint16(1000 + spid * 4);
    process.dbid = database->dbid;
    process.database = database->name;
    process.login_time = now;
    process.last_batch = now;
    process.lastwaittype = QStringLiteral("MISCELLANEOUS");
    process.status = QStringLiteral("sleeping");
    process.cmd = QStringLiteral("AWAITING COMMAND");
    process.sid = loginName.compare(QLatin1String("sa"), Qt::CaseInsensitive) == 0
        ? QByteArray(1, '\x01') : loginName.toUtf8().left(16);
    process.hostname = info.host;
    process.program_name = info.program;
    process.hostprocess = info.hostProcess;
    process.net_address = info.netAddress;
    process.net_library = QStringLiteral("TCP/IP");
    process.loginame = loginName;
    if (info.integratedSecurity) {
        process.nt_domain = loginName.section(u'\\', 0, 0);
        process.nt_username = loginName.section(u'\\', 1);
    }
    process.hasClient = true;
    m_state.processes.push_back(process);
    tsql::SessionState& session = m_sessions[spid] = tsql::SessionState{};
    session.globalTables = m_globalTables;
    if (admitted)
        admitted(spid);
    return spid;
}

void Engine::logout(int spid)
{
    std::lock_guard lock(m_mutex);
    if (const auto session = m_sessions.find(spid); session != m_sessions.end()) {
        m_memory.give(session->second.bytesHeld);
        m_sessions.erase(session);
    }
    for (auto it = m_globalTables->begin(); it != m_globalTables->end();) {
        if (it->second.owner == spid) {
            m_memory.give(it->second.table.bytes);
            it = m_globalTables->erase(it);
        } else {
            ++it;
        }
    }
    if (m_closing.erase(spid))
        return;   // Kill already took its process and locks away
    endProcess(m_state, spid);
}

QString Engine::currentDatabase(int spid) const
{
    std::lock_guard lock(m_mutex);
    const Process* process = findProcess(m_state, spid);
    return process ? process->database : QStringLiteral("master");
}

Reply Engine::execute(int spid, const QString& batch, const std::function<bool(int waitMs)>& interrupted,
                      const tsql::BatchVariables& variables)
{
    tsql::BatchHooks hooks;
    hooks.interrupted = interrupted;
    hooks.memory = &m_memory;
    std::unique_lock lock(m_mutex);
    // The lock is fair: letting it go puts this batch behind every session waiting now.
    hooks.yield = [&] {
        if (m_mutex.contended()) {
            lock.unlock();
            lock.lock();
        }
    };
    // A slow statement leaves the server to the other sessions while it "works".
    hooks.pause = [&](int ms) {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        lock.unlock();
        bool cancelled = false;
        for (auto left = deadline - Clock::now(); !cancelled && left.count() > 0; left = deadline - Clock::now()) {
            const int waitMs = int(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()) + 1;
            if (interrupted)
                cancelled = interrupted(waitMs);
            else
                std::this_thread::sleep_for(left);
        }
        lock.lock();
        return cancelled;
    };
    ++m_state.batchCount;
    if (m_trouble)
        m_trouble->advance(m_state);
    if (Process* process = findProcess(m_state, spid)) {
        process->last_batch = serverNow(m_state);
        process->status = QStringLiteral("runnable");
        process->inputEvent = QStringLiteral("Language Event");
        process->inputParameters = 0;
        process->inputText = batch.left(255);
    }
    const auto [entry, added] = m_sessions.try_emplace(spid);
    tsql::SessionState& session = entry->second;
    if (added)
        session.globalTables = m_globalTables;
    Reply reply = tsql::runBatch(m_state, session, spid, batch, hooks, variables);
    // The results leave with the reply: their bytes are the session's no longer.
    m_memory.give(hooks.replyBytes);
    session.bytesHeld -= hooks.replyBytes;
    m_closing.insert(hooks.killedSessions.begin(), hooks.killedSessions.end());
    if (Process* process = findProcess(m_state, spid)) {
        process->status = QStringLiteral("sleeping");
        process->cmd = QStringLiteral("AWAITING COMMAND");
    }
    lock.unlock();
    if (onKill) {
        for (const int victim : hooks.killedSessions)
            onKill(victim);
    }
    return reply;
}

} // namespace sqlsim
