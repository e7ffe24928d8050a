// Pure pieces of the connect operation: the OLE DB connection string and what the server's
// version answers mean; the trimmed-text rule of its input checks comes with it.
#pragma once

#include "ServerFamily.h"
#include "TrimmedText.h"

#include <QString>

namespace velmora {

struct CommandResult;

/// A value as it goes into an OLE DB connection string: unchanged, or in double quotes with
/// every `"` doubled when it holds `;` or a quote or has blanks at either end, so that it reads
/// back as exactly this value and can never add a key of its own.
QString oleDbValue(const QString& value);

struct LoginInput {
    QString server;
    QString login;
    QString password;
    bool windowsAuthentication = false;
    QString versionText;   // goes into the application name "Velmora <version>"
};

/// The connection string of a connect attempt, of the Windows-authentication or the SQL-login
/// form.
QString buildConnectionString(const LoginInput& input);

/// What the answer of the version probe (xp_msver 'ProductVersion', at least one row) makes of
/// the server: 7.0 when Character_Value begins with "7"; 2005 and later when it begins with a
/// major version of 9 or more, digits followed by a dot ("9.00.5000.00", "16.0.1000.6");
/// 2000 for anything else, an empty or unreadable value included.
ServerFamily probedServerFamily(const CommandResult& probe);

/// The status bar's version line from @@VERSION: the first line, a blank, and the fourth line
/// less its first character; the first line alone when the text has fewer than four lines.
QString versionLine(const QString& versionText);

} // namespace velmora
