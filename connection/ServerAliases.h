// The client's list of server aliases: the server sections of the FreeTDS configuration file.
#pragma once

#include <QString>
#include <QStringList>

namespace velmora {

/// The configuration file FreeTDS itself reads: $FREETDSCONF, else ~/.freetds.conf when it
/// exists, else the system file.
QString freeTdsConfigPath();

/// Section names of the file other than [global], in file order; empty when the file is missing
/// or unreadable. Never throws.
QStringList serverAliases(const QString& configPath = freeTdsConfigPath());

/// Whether `name` (compared case-insensitively) is one of the aliases; for the connection string.
bool isServerAlias(const QString& name, const QString& configPath = freeTdsConfigPath());

/// The `tds version` an alias section sets, empty when it sets none.
QString aliasTdsVersion(const QString& name, const QString& configPath = freeTdsConfigPath());

} // namespace velmora
