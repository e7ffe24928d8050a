#include "ProgramSettings.h"

#include "IniFile.h"
#include "TrimmedText.h"

namespace velmora {

namespace {

const QString SettingsFile = QStringLiteral("Velmora.ini");

} // namespace

QString ProgramSettings::server() const
{
    return ReadIniValue(SettingsFile, QStringLiteral("ServerOption"), QStringLiteral("ServerName"));
}

QString ProgramSettings::login() const
{
    return ReadIniValue(SettingsFile, QStringLiteral("LoginOption"), QStringLiteral("LoginName"));
}

QString ProgramSettings::sort() const
{
    return ReadIniValue(SettingsFile, QStringLiteral("SortOption"), QStringLiteral("Sort"));
}

void ProgramSettings::saveLogin(const QString& server, const QString& login) const
{
    if (!trimmedText(server).isEmpty())
        WriteIniValue(SettingsFile, QStringLiteral("ServerOption"), QStringLiteral("ServerName"), server);
    if (!trimmedText(login).isEmpty())
        WriteIniValue(SettingsFile, QStringLiteral("LoginOption"), QStringLiteral("LoginName"), login);
}

void ProgramSettings::saveSort(const QString& sort) const
{
    WriteIniValue(SettingsFile, QStringLiteral("SortOption"), QStringLiteral("Sort"), sort);
}

int ProgramSettings::autoRefreshInterval() const
{
    return ReadIniValue(SettingsFile, QStringLiteral("AutoRefresh"), QStringLiteral("Interval")).toInt();
}

void ProgramSettings::saveAutoRefreshInterval(int seconds) const
{
    WriteIniValue(SettingsFile, QStringLiteral("AutoRefresh"), QStringLiteral("Interval"), QString::number(seconds));
}

} // namespace velmora
