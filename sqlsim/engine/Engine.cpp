#include "Engine.h"

#include "BatchSplitter.h"
#include "CoreStatements.h"
#include "ProcessTable.h"
#include "Statement.h"

#include <algorithm>

namespace sqlsim {

namespace {

constexpr int kFirstUserSpid = 51;

bool sameStatement(const QString& text, const QString& pattern)
{
    return !pattern.isEmpty()
        && text.simplified().compare(pattern.simplified(), Qt::CaseInsensitive) == 0;
}

bool isError(const ReplyItem& item)
{
    const Message* message = std::get_if<Message>(&item);
    return message && message->severity > 10;
}

// What sysprocesses.cmd shows while a statement runs.
QString commandName(const Token& first)
{
    if (first.is("exec"))
        return QStringLiteral("EXECUTE");
    return first.kind == Token::Kind::Word ? first.text.toUpper().left(16) : QStringLiteral("SELECT");
}

// The handlers in the order they are asked; the first that knows the statement answers it.
using Handler = bool (*)(const StatementTokens&, StatementContext&);
constexpr Handler kHandlers[] = {
    answerProcessSelect, answerKill, answerUse, answerSet, answerGlobalVariables, answerMsver,
    answerTableSelect,
};

// Applies the faults aimed at this statement (or at the whole batch); true when the statement
// is answered by the fault instead of running.
bool applyFaults(const Faults& faults, const QString& statementText, const QString& batch, Reply& reply)
{
    auto aimed = [&](const QString& pattern) {
        return sameStatement(statementText, pattern) || sameStatement(batch, pattern);
    };
    if (aimed(faults.slowStatement))
        reply.delayMs = std::max(reply.delayMs, faults.slowMs);
    if (aimed(faults.dropOnStatement)) {
        reply.dropConnection = true;
        reply.dropAfterRows = faults.dropAfterRows;
    }
    if (aimed(faults.errorOnStatement)) {
        reply.items.push_back(faults.errorMessage);
        return true;
    }
    return false;
}

void runBatch(ServerState& state, int spid, const QString& batch, Reply& reply, std::vector<int>& killed)
{
    const Lexed lexed = lex(batch);
    if (lexed.errorNumber != 0) {
        reply.items.push_back(Message{lexed.errorNumber, 1, 15, lexed.error, {}, 1});
        return;
    }
    const std::vector<StatementTokens> statements = splitStatements(lexed.tokens);
    for (size_t i = 0; i < statements.size(); ++i) {
        const StatementTokens& statement = statements[i];
        const int end = i + 1 < statements.size() ? statements[i + 1].offset : int(batch.size());
        const QString text = batch.mid(statement.offset, end - statement.offset);
        const size_t before = reply.items.size();
        // The handlers may add and remove processes: the session's own is looked up each time.
        if (Process* process = findProcess(state, spid))
            process->cmd = commandName(statement.tokens.front());
        if (!applyFaults(state.faults, text, batch, reply)) {
            StatementContext context{state, spid, reply, killed};
            const bool answered = std::any_of(std::begin(kHandlers), std::end(kHandlers),
                                              [&](Handler handler) { return handler(statement, context); });
            if (!answered)
                reply.items.push_back(syntaxError(statement.tokens.front()));
        }
        // A failed statement ends the batch; what came before it stands.
        if (std::any_of(reply.items.begin() + qsizetype(before), reply.items.end(), isError))
            return;
    }
}

} // namespace

Engine::Engine(ServerOptions options)
{
    m_state.options = options;
    m_state.random.seed(options.seed);
    m_state.logins = {{QStringLiteral("sa"), QStringLiteral("velmora")}};
    if (options.populate)
        populate(m_state);
    if (m_state.databases.empty()) {
        const char* const names[] = {"master", "tempdb", "model", "msdb", "pubs", "Northwind"};
        qint16 dbid = 1;
        for (const char* name : names)
            m_state.databases.push_back({dbid++, QString::fromLatin1(name)});
    }
}

std::variant<int, Message> Engine::login(const LoginInfo& info,
                                         const std::function<void(int spid)>& admitted)
{
    std::lock_guard lock(m_mutex);
    if (info.integratedSecurity)
        return Message{18452, 1, 14,
                       QStringLiteral("Login failed for user '(null)'. Reason: Not associated with a "
                                      "trusted SQL Server connection."), {}, 1};
    const auto login = std::find_if(m_state.logins.begin(), m_state.logins.end(), [&](const SqlLogin& l) {
        return l.name.compare(info.login, Qt::CaseInsensitive) == 0;
    });
    if (login == m_state.logins.end() || login->password != info.password)
        return Message{18456, 1, 14, QStringLiteral("Login failed for user '%1'.").arg(info.login), {}, 1};

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
    process.sid = login->name.compare(QLatin1String("sa"), Qt::CaseInsensitive) == 0
        ? QByteArray(1, '\x01') : login->name.toUtf8().left(16);
    process.hostname = info.host;
    process.program_name = info.program;
    process.hostprocess = info.hostProcess;
    process.net_address = info.netAddress;
    process.net_library = QStringLiteral("TCP/IP");
    process.loginame = login->name;
    process.hasClient = true;
    m_state.processes.push_back(process);
    if (admitted)
        admitted(spid);
    return spid;
}

void Engine::logout(int spid)
{
    std::lock_guard lock(m_mutex);
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

Reply Engine::execute(int spid, const QString& batch)
{
    Reply reply;
    std::vector<int> killed;
    {
        std::lock_guard lock(m_mutex);
        if (Process* process = findProcess(m_state, spid)) {
            process->last_batch = serverNow(m_state);
            process->status = QStringLiteral("runnable");
        }
        runBatch(m_state, spid, batch, reply, killed);
        m_closing.insert(killed.begin(), killed.end());
        if (Process* process = findProcess(m_state, spid)) {
            process->status = QStringLiteral("sleeping");
            process->cmd = QStringLiteral("AWAITING COMMAND");
        }
    }
    if (onKill) {
        for (const int victim : killed)
            onKill(victim);
    }
    return reply;
}

} // namespace sqlsim
