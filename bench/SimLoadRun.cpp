// Load on the simulator: many ODBC clients (FreeTDS) each looping a few statements for a while,
// then the throughput, the failures and the server's memory.
//   SimLoadRun [--clients N] [--seconds S] [--port P --server-pid PID]
// Without --port the server runs in this process and the memory reported is this process's.
#include "SimServer.h"

#include <QString>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sql.h>
#include <sqlext.h>

namespace {

// Statements an operator's console sends over and over: a scalar, the process list, a catalog.
const char* const kStatements[] = {
    "SELECT @@SPID",
    "SELECT spid, status, loginame, hostname, program_name, cmd FROM master..sysprocesses",
    "SELECT name FROM master..sysdatabases",
};

struct Tally {
    std::atomic<long> statements{0};
    std::atomic<long> failures{0};
    std::atomic<long> connectFailures{0};
};

bool runStatement(SQLHSTMT statement, const char* text)
{
    SQLFreeStmt(statement, SQL_CLOSE);
    if (!SQL_SUCCEEDED(SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text)), SQL_NTS)))
        return false;
    SQLRETURN rc;
    while (SQL_SUCCEEDED(rc = SQLFetch(statement))) {
    }
    return rc == SQL_NO_DATA;
}

void client(const std::string& connection, std::chrono::steady_clock::time_point until, Tally& tally)
{
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT statement = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(10), 0);
    const SQLRETURN rc = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connection.c_str())),
                                          SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (SQL_SUCCEEDED(rc)) {
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &statement);
        for (size_t i = 0; std::chrono::steady_clock::now() < until; ++i) {
            if (runStatement(statement, kStatements[i % std::size(kStatements)]))
                ++tally.statements;
            else
                ++tally.failures;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        SQLDisconnect(dbc);
    } else {
        ++tally.connectFailures;
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
}

// "VmRSS" and "VmHWM" of a process, in kB.
long memoryField(const std::string& pid, const std::string& field)
{
    std::ifstream status("/proc/" + pid + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0)
            return std::atol(line.c_str() + field.size() + 1);
    }
    return -1;
}

int usage()
{
    std::fprintf(stderr, "usage: SimLoadRun [--clients N] [--seconds S] [--port P --server-pid PID]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    int clients = 200;
    int seconds = 60;
    int port = 0;
    std::string serverPid = "self";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const char* value = argv[i + 1];
        if (arg == "--clients")
            clients = std::atoi(value);
        else if (arg == "--seconds")
            seconds = std::atoi(value);
        else if (arg == "--port")
            port = std::atoi(value);
        else if (arg == "--server-pid")
            serverPid = value;
        else
            return usage();
    }
    if (argc % 2 == 0 || clients <= 0 || seconds <= 0 || (port == 0) != (serverPid == "self"))
        return usage();

    std::unique_ptr<sqlsim::SimServer> server;
    if (port == 0) {
        sqlsim::ServerOptions options;
        options.maxConnections = clients;
        server = std::make_unique<sqlsim::SimServer>(options);
        server->start(0);
        port = server->port();
    }
    const std::string connection = QStringLiteral("DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=%1;UID=sa;PWD=velmora;"
                                                  "DATABASE=master;TDS_Version=7.1").arg(port).toStdString();

    Tally tally;
    const auto started = std::chrono::steady_clock::now();
    const auto until = started + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    long peakRss = 0;
    for (int i = 0; i < clients; ++i)
        threads.emplace_back(client, connection, until, std::ref(tally));
    while (std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        peakRss = std::max(peakRss, memoryField(serverPid, "VmRSS"));
    }
    for (std::thread& thread : threads)
        thread.join();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf("clients            %d\n", clients);
    std::printf("seconds            %.1f\n", elapsed);
    std::printf("statements         %ld\n", tally.statements.load());
    std::printf("statements/s       %.0f\n", double(tally.statements) / elapsed);
    std::printf("failed statements  %ld\n", tally.failures.load());
    std::printf("failed connects    %ld\n", tally.connectFailures.load());
    std::printf("server RSS peak kB %ld (sampled every 0.5 s)\n", peakRss);
    std::printf("server RSS end kB  %ld\n", memoryField(serverPid, "VmRSS"));
    return tally.failures == 0 && tally.connectFailures == 0 ? 0 : 1;
}
