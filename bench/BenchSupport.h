// What the benchmarks against the simulated server share: one in-process sqlsim without its
// default population, a process list of any size on it, and the bare ODBC client that is the
// limit every figure is held against.
#pragma once

#include "ConnectionString.h"
#include "FieldDef.h"
#include "RecordingThread.h"
#include "ServerWait.h"
#include "SimServer.h"

#include <QApplication>
#include <QDateTime>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>
#include <pthread.h>
#include <unistd.h>
#include <valgrind/callgrind.h>
#include <ctime>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace bench {

inline sqlsim::SimServer& server()
{
    static sqlsim::SimServer instance = [] {
        sqlsim::ServerOptions options;
        options.populate = false;
        return sqlsim::SimServer(options);
    }();
    if (instance.port() == 0)
        instance.start(0);
    return instance;
}

inline QString oleDbString(const QString& application, quint16 port)
{
    return QStringLiteral("Provider=SQLOLEDB.1;Password=velmora;User ID=sa;Initial Catalog=master;"
                          "Data Source=127.0.0.1,%1;Application Name=%2")
        .arg(port)
        .arg(application);
}

inline QString oleDbString(const QString& application)
{
    return oleDbString(application, server().port());
}

/// CPU time of everything the client does: the calling (GUI) thread and the worker thread its
/// server calls run on, and nothing of the simulator's threads in the same process. A benchmark
/// registered with UseManualTime() reports it per iteration through ClientCpuTimer.
class ClientCpuClock {
public:
    ClientCpuClock()
    {
        pthread_getcpuclockid(pthread_self(), &m_caller);
        m_callerThread = gettid();
        // The worker is the calling thread's own: a call run through it tells its clock.
        velmora::waitForServer(
            [this] {
                pthread_getcpuclockid(pthread_self(), &m_worker);
                m_workerThread = gettid();
            },
            {}, {});
    }

    double seconds() const { return secondsOf(m_caller) + secondsOf(m_worker); }
    /// The page faults of both threads so far, minor and major: memory the client touched anew.
    long pageFaults() const { return pageFaultsOf(m_callerThread) + pageFaultsOf(m_workerThread); }

    static double secondsOf(clockid_t clock)
    {
        timespec now{};
        clock_gettime(clock, &now);
        return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
    }

private:
    static long pageFaultsOf(pid_t thread)
    {
        std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
        std::string line;
        std::getline(stat, line);
        // The fields after the command's closing parenthesis, from the state on: minflt is the
        // eighth, majflt the tenth.
        std::istringstream fields(line.substr(line.rfind(')') + 1));
        std::string field;
        long faults = 0;
        for (int i = 1; i <= 10 && fields >> field; ++i)
            if (i == 8 || i == 10)
                faults += std::stol(field);
        return faults;
    }

    clockid_t m_caller{};
    clockid_t m_worker{};
    pid_t m_callerThread{};
    pid_t m_workerThread{};
};

/// Under callgrind started with --collect-atstart=no (bench/count.sh), counts the instructions of
/// the calling thread while it lives, and with `withWorker` those of the worker thread its server
/// calls run on as well, and of a recording's thread when given one: the measured part alone,
/// none of the set-up and none of the simulator's.
/// Natively it costs nothing beyond the worker's round trip.
class CountedSpan {
public:
    explicit CountedSpan(bool withWorker, velmora::RecordingThread* recording = nullptr)
        : m_withWorker(withWorker), m_recording(recording)
    {
        toggle();
    }
    ~CountedSpan() { toggle(); }
    CountedSpan(const CountedSpan&) = delete;
    CountedSpan& operator=(const CountedSpan&) = delete;

private:
    void toggle() const
    {
        if (RUNNING_ON_VALGRIND == 0)
            return;
        CALLGRIND_TOGGLE_COLLECT;
        if (m_withWorker)
            velmora::waitForServer([] { CALLGRIND_TOGGLE_COLLECT; }, {}, {});
        if (m_recording) {
            m_recording->post([] { CALLGRIND_TOGGLE_COLLECT; });
            m_recording->wait();
        }
    }

    bool m_withWorker;
    velmora::RecordingThread* m_recording;
};

/// Times one iteration of a UseManualTime() benchmark in the client's CPU time, counts its page
/// faults (the counter page_faults, per iteration), and counts its instructions under
/// bench/count.sh. With `recording`, the iteration ends once what it handed to that thread has
/// run, and the thread's CPU time and instructions are the client's too.
class ClientCpuTimer {
public:
    explicit ClientCpuTimer(benchmark::State& state, velmora::RecordingThread* recording = nullptr)
        : m_state(state), m_recording(recording), m_faults(clock().pageFaults()), m_start(seconds())
    {
        m_counted.emplace(true, m_recording);
    }
    ~ClientCpuTimer()
    {
        if (m_recording)
            m_recording->wait();
        m_state.SetIterationTime(seconds() - m_start);
        m_counted.reset();
        benchmark::Counter& faults = m_state.counters["page_faults"];
        faults = benchmark::Counter(faults.value + double(clock().pageFaults() - m_faults),
                                    benchmark::Counter::kAvgIterations);
    }
    ClientCpuTimer(const ClientCpuTimer&) = delete;
    ClientCpuTimer& operator=(const ClientCpuTimer&) = delete;

private:
    static const ClientCpuClock& clock()
    {
        thread_local const ClientCpuClock instance;
        return instance;
    }
    double seconds() const
    {
        return clock().seconds() + (m_recording ? ClientCpuClock::secondsOf(m_recording->cpuClock()) : 0.0);
    }

    benchmark::State& m_state;
    velmora::RecordingThread* m_recording;
    long m_faults;
    double m_start;
    std::optional<CountedSpan> m_counted;   // made after the first reading, ended after the time's last
};

/// The main of a benchmark program that paints or holds widgets: the benchmarks named on the
/// command line run inside an offscreen application; `beforeExit` frees what must go before it.
inline int runInApplication(int argc, char** argv, const std::function<void()>& beforeExit = {})
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (beforeExit)
        beforeExit();
    return 0;
}

/// A batch as the client sends it: its lines, each ended by CR LF.
inline QString sentBatch(const QStringList& lines)
{
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

/// The first number of the made-up processes: far above the numbers the server gives its real
/// sessions, whose logout takes away every process of their number.
constexpr int firstUserSpid = 1'000;

/// Replaces every process without a client with `count` user processes of a busy server: a few
/// hundred hosts, dozens of programs and logins, distinct times and figures, one in fifty blocked.
inline void setUserProcesses(int count)
{
    sqlsim::Engine& engine = server().engine();
    std::lock_guard lock(engine.mutex());
    auto& processes = engine.state().processes;
    std::erase_if(processes, [](const sqlsim::Process& p) { return !p.hasClient; });
    const QDateTime start(QDate(2026, 12, 9), QTime(6, 0));
    static const char* const statuses[] = {"sleeping", "runnable", "background", "sleeping"};
    static const char* const commands[] = {"AWAITING COMMAND", "SELECT", "UPDATE", "INSERT", "DELETE"};
    static const char* const waits[] = {"MISCELLANEOUS", "LCK_M_S", "WRITELOG", "NETWORKIO"};
    for (int i = 0; i < count; ++i) {
        sqlsim::Process p;
        p.spid = qint16(firstUserSpid + i % 31'000);
        p.kpid = qint16((i * 7'919) % 32'000);
        p.blocked = i % 50 == 49 ? qint16(p.spid - 1) : qint16(0);
        p.waittype = QByteArray(2, '\0');
        p.waittype[1] = char(p.blocked ? 3 : 0);
        p.waittime = p.blocked ? 1'000 + i : 0;
        p.lastwaittype = QString::fromLatin1(waits[i % 4]);
        p.waitresource = p.blocked ? QStringLiteral("TAB: 6:%1 []").arg(21'575'115 + i % 7) : QString();
        p.dbid = qint16(1 + i % 8);
        p.uid = qint16(1 + i % 10);
        p.cpu = (i * 37) % 100'000;
        p.physical_io = qint64(i) * 1'234'567;
        p.memusage = i % 500;
        p.login_time = start.addSecs(i);
        p.last_batch = start.addSecs(i + i % 3'600);
        p.status = QString::fromLatin1(statuses[i % 4]);
        p.sid = QByteArray::number(i % 30).leftJustified(16, '\x01');
        p.hostname = QStringLiteral("WS-%1").arg(i % 300);
        p.program_name = QStringLiteral("Program %1").arg(i % 40);
        p.hostprocess = QString::number(1'000 + i % 5'000);
        p.cmd = QString::fromLatin1(commands[i % 5]);
        p.nt_domain = QStringLiteral("OFFICE");
        p.nt_username = QStringLiteral("user%1").arg(i % 30);
        p.net_address = QStringLiteral("00AA%1").arg(i % 300, 8, 10, QLatin1Char('0'));
        p.net_library = QStringLiteral("TCP/IP");
        p.loginame = QStringLiteral("OFFICE\\user%1").arg(i % 30);
        processes.push_back(p);
    }
}

/// The statement time-out of both sides: the simulator needs tens of seconds for a list of
/// 100,000 processes on a busy machine, longer than the product's 30 s.
constexpr int statementTimeout = 600;

/// A hand-written ODBC client on its own connection: statements sent with the wide functions and
/// read with one SQLGetData per column into fixed buffers, nothing kept.
class BareOdbc {
public:
    BareOdbc()
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
        std::u16string connect
            = velmora::toOdbcConnectionString(oleDbString(QStringLiteral("BareOdbc")), {}).toStdU16String();
        m_connected = SQL_SUCCEEDED(SQLDriverConnectW(m_dbc, nullptr, reinterpret_cast<SQLWCHAR*>(connect.data()),
                                                      SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT));
    }
    ~BareOdbc()
    {
        if (m_connected)
            SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }
    BareOdbc(const BareOdbc&) = delete;
    BareOdbc& operator=(const BareOdbc&) = delete;

    bool connected() const { return m_connected; }

    /// Sends `batch` and reads every row of its first result with columns, the columns named by
    /// `fields` (those not calculated; all columns when empty) by their described types. Returns
    /// the rows read, -1 when the batch fails.
    int fetch(const QString& batch, const std::vector<velmora::FieldDef>& fields = {})
    {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt);
        SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(statementTimeout)), 0);
        std::u16string text = batch.toStdU16String();
        SQLRETURN rc = SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
        SQLSMALLINT columns = 0;
        while (SQL_SUCCEEDED(rc) && SQL_SUCCEEDED(SQLNumResultCols(stmt, &columns)) && columns == 0)
            rc = SQLMoreResults(stmt);
        int rows = -1;
        if (SQL_SUCCEEDED(rc) && columns > 0) {
            const std::vector<std::pair<SQLUSMALLINT, SQLSMALLINT>> reads = readsOf(stmt, columns, fields);
            rows = 0;
            while (SQL_SUCCEEDED(SQLFetch(stmt))) {
                for (const auto& [column, cType] : reads)
                    SQLGetData(stmt, column, cType, m_buffer, sizeof m_buffer, &m_indicator);
                benchmark::DoNotOptimize(m_buffer[0]);
                ++rows;
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return rows;
    }

private:
    static std::vector<std::pair<SQLUSMALLINT, SQLSMALLINT>> readsOf(SQLHSTMT stmt, SQLSMALLINT columns,
                                                                     const std::vector<velmora::FieldDef>& fields)
    {
        std::vector<std::pair<SQLUSMALLINT, SQLSMALLINT>> reads;
        for (SQLUSMALLINT column = 1; column <= SQLUSMALLINT(columns); ++column) {
            SQLWCHAR name[256];
            SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            SQLDescribeColW(stmt, column, name, 256, &nameLength, &sqlType, &size, &digits, &nullable);
            const QString columnName = QString::fromUtf16(reinterpret_cast<const char16_t*>(name), nameLength);
            const bool wanted = fields.empty() || std::any_of(fields.begin(), fields.end(), [&](const auto& f) {
                                    return !f.calculated && f.name.compare(columnName, Qt::CaseInsensitive) == 0;
                                });
            if (wanted)
                reads.emplace_back(column, cTypeOf(sqlType));
        }
        return reads;
    }

    static SQLSMALLINT cTypeOf(SQLSMALLINT sqlType)
    {
        switch (sqlType) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
            return SQL_C_SSHORT;
        case SQL_INTEGER:
            return SQL_C_SLONG;
        case SQL_BIGINT:
            return SQL_C_SBIGINT;
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return SQL_C_DOUBLE;
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATETIME:
            return SQL_C_TYPE_TIMESTAMP;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return SQL_C_BINARY;
        default:
            return SQL_C_WCHAR;
        }
    }

    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    bool m_connected = false;
    alignas(8) char m_buffer[8'192];
    SQLLEN m_indicator = 0;
};

} // namespace bench
