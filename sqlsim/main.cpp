// The demo server: sqlsim [--port N] [--version 7.0|2000|2005|2008R2|2016|2022]
// [--keytab FILE [--spn PRINCIPAL]] [--certificate PEM --key PEM [--require-encryption]]
// [--trouble]. Serves until interrupted.
#include "SimServer.h"
#include "tds/TlsChannel.h"

#include <algorithm>
#include <csignal>
#include <iterator>
#include <cstdlib>
#include <pthread.h>
#include <cstdio>
#include <string>

namespace {

struct VersionName {
    const char* name;
    sqlsim::ServerVersion version;
};

constexpr VersionName versionNames[] = {
    {"7.0", sqlsim::ServerVersion::Sql70},       {"2000", sqlsim::ServerVersion::Sql2000},
    {"2005", sqlsim::ServerVersion::Sql2005},    {"2008R2", sqlsim::ServerVersion::Sql2008R2},
    {"2016", sqlsim::ServerVersion::Sql2016},    {"2022", sqlsim::ServerVersion::Sql2022},
};

int usage()
{
    std::fprintf(stderr, "usage: sqlsim [--port N] [--version 7.0|2000|2005|2008R2|2016|2022]\n"
                         "              [--keytab FILE [--spn MSSQLSvc/host:port]]\n"
                         "              [--certificate PEM --key PEM [--require-encryption]]\n"
                         "              [--trouble]\n");
    return 2;
}

const char* versionName(sqlsim::ServerVersion version)
{
    for (const VersionName& entry : versionNames) {
        if (entry.version == version)
            return entry.name;
    }
    return "";
}

} // namespace

int main(int argc, char** argv)
{
    quint16 port = 1433;
    sqlsim::ServerOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--require-encryption") {
            options.security.requireEncryption = true;
            continue;
        }
        if (arg == "--trouble") {
            options.trouble = true;
            continue;
        }
        if (i + 1 >= argc)
            return usage();
        const std::string value = argv[++i];
        if (arg == "--port") {
            char* end = nullptr;
            const unsigned long number = std::strtoul(value.c_str(), &end, 10);
            if (*end != '\0' || number > 65535)
                return usage();
            port = quint16(number);
        } else if (arg == "--version") {
            const auto* entry = std::find_if(std::begin(versionNames), std::end(versionNames),
                                             [&](const VersionName& v) { return value == v.name; });
            if (entry == std::end(versionNames))
                return usage();
            options.version = entry->version;
        } else if (arg == "--keytab") {
            options.security.keytab = QString::fromLocal8Bit(value);
        } else if (arg == "--spn") {
            options.security.servicePrincipal = QString::fromStdString(value);
        } else if (arg == "--certificate") {
            options.security.certificateFile = QString::fromLocal8Bit(value);
        } else if (arg == "--key") {
            options.security.keyFile = QString::fromLocal8Bit(value);
        } else {
            return usage();
        }
    }

    if (options.security.certificateFile.isEmpty() != options.security.keyFile.isEmpty()
        || (options.security.requireEncryption && !options.security.offersEncryption()))
        return usage();
    // A certificate that does not load would end every encrypted session: say so at once.
    if (options.security.offersEncryption()) {
        try {
            const sqlsim::tds::TlsChannel check(-1, options.security);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "sqlsim: %s\n", e.what());
            return 1;
        }
    }

    // The session threads do the work; the main thread only waits for a signal to stop.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sqlsim::SimServer server(options);
    try {
        server.start(port);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sqlsim: %s\n", e.what());
        return 1;
    }
    std::printf("sqlsim %s listening on 127.0.0.1:%u\n",
                versionName(options.version), unsigned(server.port()));
    std::fflush(stdout);
    int received = 0;
    sigwait(&stopSignals, &received);
    return 0;
}
