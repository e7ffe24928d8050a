#include "ConnectText.h"

#include "Connection.h"

#include <QRegularExpression>

namespace velmora {

QString oleDbValue(const QString& value)
{
    const bool needsQuotes = value.contains(u';') || value.contains(u'"') || value.contains(u'\'')
                             || (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!needsQuotes)
        return value;
    QString quoted = value;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString buildConnectionString(const LoginInput& input)
{
    const QString applicationName = oleDbValue(QStringLiteral("Velmora ") + input.versionText);
    if (input.windowsAuthentication) {
        return QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                              "Initial Catalog=master;Data Source=")
               + oleDbValue(input.server) + QStringLiteral(";Application Name=") + applicationName;
    }
    return QStringLiteral("Provider=SQLOLEDB.1;Password=") + oleDbValue(input.password)
           + QStringLiteral(";Persist Security Info=True;User ID=") + oleDbValue(input.login)
           + QStringLiteral(";Initial Catalog=master;Data Source=") + oleDbValue(input.server)
           + QStringLiteral(";Application Name=") + applicationName;
}

ServerFamily probedServerFamily(const CommandResult& probe)
{
    // Character_Value is the fourth column; a null reads as empty text.
    const QString version = probe.text(3);
    if (version.startsWith(u'7'))
        return ServerFamily::Sql70;
    static const QRegularExpression majorVersion(QStringLiteral("^([0-9]{1,4})\\.[0-9]"));
    const QRegularExpressionMatch match = majorVersion.match(version);
    if (match.hasMatch() && match.captured(1).toInt() >= 9)
        return ServerFamily::Sql2005AndLater;
    return ServerFamily::Sql2000;
}

QString versionLine(const QString& versionText)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = trimmedText(versionText).split(lineBreak);
    if (lines.size() < 4)
        return lines.front();
    return lines[0] + u' ' + lines[3].mid(1);
}

} // namespace velmora
