// Fetching 10,000 rows through Query against a bare ODBC fetch loop of the same batch from the
// same in-process sqlsim: what holding typed rows on the client costs over reading them, in the
// client's CPU time (its thread and the worker its server calls run on).
#include "BenchSupport.h"
#include "Connection.h"
#include "ConnectionString.h"
#include "Query.h"
#include "SimServer.h"

#include <QDateTime>
#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>

using namespace velmora;
using sqlsim::SqlType;

namespace {

constexpr int rowCount = 10'000;
const QString batch = QStringLiteral("Select * from FetchBench");

// Process-list-like columns: integers of three widths, padded and variable text, times, floats.
sqlsim::SimServer& server()
{
    static sqlsim::SimServer instance = [] {
        sqlsim::ServerOptions options;
        options.populate = false;
        return sqlsim::SimServer(options);
    }();
    static const bool started = [] {
        sqlsim::ResultSet table;
        table.columns = {{"spid", SqlType::SmallInt}, {"cpu", SqlType::Int}, {"physical_io", SqlType::BigInt},
                         {"loginame", SqlType::NChar, 128}, {"hostname", SqlType::NVarChar, 128},
                         {"status", SqlType::Char, 30}, {"login_time", SqlType::DateTime},
                         {"ratio", SqlType::Float}};
        const QDateTime start(QDate(2026, 12, 9), QTime(6, 0));
        for (int i = 0; i < rowCount; ++i)
            table.rows.push_back({qint64(i % 32000), qint64(i * 7), qint64(i) * 100000, QStringLiteral("sa"),
                                  QStringLiteral("WORKSTATION-%1").arg(i % 50), QStringLiteral("sleeping"),
                                  start.addMSecs(i * 3), i / 3.0});
        std::lock_guard lock(instance.engine().mutex());
        instance.engine().state().tables[QStringLiteral("FetchBench")] = table;
        return true;
    }();
    if (started && instance.port() == 0)
        instance.start(0);
    return instance;
}

QString oleDbString()
{
    return QStringLiteral("Provider=SQLOLEDB.1;Password=velmora;User ID=sa;Initial Catalog=master;"
                          "Data Source=127.0.0.1,%1;Application Name=QueryFetchBench").arg(server().port());
}

void BM_QueryOpen(benchmark::State& state)
{
    Connection connection;
    connection.setConnectionString(oleDbString());
    connection.open();
    Query query;
    query.setConnection(&connection);
    query.setSql({batch});
    query.setFields({{"spid", FieldKind::SmallInt}, {"cpu", FieldKind::Integer}, {"physical_io", FieldKind::LargeInt},
                     {"loginame", FieldKind::FixedWideChar, 128}, {"hostname", FieldKind::WideString, 128},
                     {"status", FieldKind::FixedChar, 30}, {"login_time", FieldKind::DateTime},
                     {"ratio", FieldKind::Float}});
    for (auto _ : state) {
        bench::ClientCpuTimer timer(state);
        query.close();
        query.open();
        benchmark::DoNotOptimize(query.recordCount());
    }
    state.SetItemsProcessed(state.iterations() * rowCount);
}

// The same reads a hand-written ODBC client makes, with Query's 30 s time-out: one SQLGetData per
// column into fixed buffers, nothing kept.
void BM_BareOdbcFetch(benchmark::State& state)
{
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::u16string connect = toOdbcConnectionString(oleDbString(), {}).toStdU16String();
    if (!SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(connect.data()), SQL_NTS,
                                         nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
        state.SkipWithError("connect failed");
        return;
    }
    std::u16string text = batch.toStdU16String();
    for (auto _ : state) {
        bench::ClientCpuTimer timer(state);
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(30), 0);
        SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
        int rows = 0;
        while (SQL_SUCCEEDED(SQLFetch(stmt))) {
            SQLSMALLINT spid;
            SQLINTEGER cpu;
            SQLBIGINT io;
            SQLWCHAR wide[2][256];
            char8_t narrow[64];
            SQL_TIMESTAMP_STRUCT stamp;
            double ratio;
            SQLLEN indicator;
            SQLGetData(stmt, 1, SQL_C_SSHORT, &spid, 0, &indicator);
            SQLGetData(stmt, 2, SQL_C_SLONG, &cpu, 0, &indicator);
            SQLGetData(stmt, 3, SQL_C_SBIGINT, &io, 0, &indicator);
            SQLGetData(stmt, 4, SQL_C_WCHAR, wide[0], sizeof wide[0], &indicator);
            SQLGetData(stmt, 5, SQL_C_WCHAR, wide[1], sizeof wide[1], &indicator);
            SQLGetData(stmt, 6, SQL_C_WCHAR, narrow, sizeof narrow, &indicator);
            SQLGetData(stmt, 7, SQL_C_TYPE_TIMESTAMP, &stamp, sizeof stamp, &indicator);
            SQLGetData(stmt, 8, SQL_C_DOUBLE, &ratio, 0, &indicator);
            benchmark::DoNotOptimize(spid + cpu + io + ratio + stamp.year + wide[0][0] + wide[1][0] + narrow[0]);
            ++rows;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        if (rows != rowCount)
            state.SkipWithError("short fetch");
    }
    state.SetItemsProcessed(state.iterations() * rowCount);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
}

} // namespace

BENCHMARK(BM_QueryOpen)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareOdbcFetch)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
