#include "SimFixture.h"

SimFixture::SimFixture(sqlsim::ServerVersion version, bool populate, const sqlsim::SecurityOptions& security)
    : m_server([&] {
        sqlsim::ServerOptions options{version, 1, populate};
        options.security = security;
        return options;
    }())
{
    m_server.start(0);
}

SimFixture::SimFixture(const sqlsim::ServerOptions& options)
    : m_server(options)
{
    m_server.start(0);
}

QString SimFixture::odbcConnectionString() const
{
    return QStringLiteral("DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=%1;UID=sa;PWD=velmora;"
                          "DATABASE=master;TDS_Version=7.1").arg(port());
}

QString SimFixture::oledbConnectionString() const
{
    return QStringLiteral("Provider=SQLOLEDB.1;Password=velmora;Persist Security Info=True;User ID=sa;"
                          "Initial Catalog=master;Data Source=127.0.0.1,%1;"
                          "Application Name=Velmora 2.4.0.27").arg(port());
}

QString SimFixture::clientDatabase()
{
    std::lock_guard lock(engine().mutex());
    for (const sqlsim::Process& process : engine().state().processes)
        if (process.hasClient)
            return process.database;
    return {};
}

void SimFixture::freezeClock(const QDateTime& now)
{
    std::lock_guard lock(engine().mutex());
    engine().state().frozenNow = now;
}
