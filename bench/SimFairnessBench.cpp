// The simulator's fairness: 50 clients each sending the process-list batch, first alone, then
// while one more client runs a loop without end. The time per batch of one client, loaded
// against unloaded, is the figure to hold (the goal: at most twice).
#include "BenchSupport.h"
#include "ProcessQueries.h"

#include <memory>
#include <thread>

namespace {

constexpr int clients = 50;

const QString processBatch = bench::sentBatch(velmora::processBatch(velmora::ServerFamily::Sql2000));

// One more client on its own connection, looping until the benchmark cancels it.
class Runaway {
public:
    Runaway()
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
        std::u16string connect = velmora::toOdbcConnectionString(bench::oleDbString(QStringLiteral("Runaway")), {})
                                     .toStdU16String();
        SQLDriverConnectW(m_dbc, nullptr, reinterpret_cast<SQLWCHAR*>(connect.data()), SQL_NTS, nullptr, 0, nullptr,
                          SQL_DRIVER_NOPROMPT);
        SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &m_stmt);
        m_loop = std::thread([this] {
            std::u16string loop = u"declare @i int set @i = 0 while 1 = 1 set @i = @i + 1";
            SQLExecDirectW(m_stmt, reinterpret_cast<SQLWCHAR*>(loop.data()), SQL_NTS);
        });
    }
    ~Runaway()
    {
        SQLCancel(m_stmt);
        m_loop.join();
        SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }
    Runaway(const Runaway&) = delete;
    Runaway& operator=(const Runaway&) = delete;

private:
    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    SQLHSTMT m_stmt = SQL_NULL_HSTMT;
    std::thread m_loop;
};

void processBatchPerClient(benchmark::State& state)
{
    static std::unique_ptr<Runaway> runaway;
    if (state.thread_index() == 0 && state.range(0) != 0)
        runaway = std::make_unique<Runaway>();
    bench::BareOdbc client;
    for (auto _ : state) {
        if (client.fetch(processBatch) < 0) {
            state.SkipWithError("the process batch failed");
            break;
        }
    }
    if (state.thread_index() == 0)
        runaway.reset();
}
BENCHMARK(processBatchPerClient)->ArgName("runaway")->Arg(0)->Arg(1)->Threads(clients)->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // Started here, before the clients' threads race to start it.
    bench::setUserProcesses(100);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
