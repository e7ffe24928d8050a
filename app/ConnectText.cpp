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

bool probeMeansServer2000(const CommandResult& probe)
{
    // Character_Value is the fourth column; a null reads as empty text.
    return !probe.text(3).startsWith(u'7');
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
