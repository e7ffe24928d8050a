// The OLE DB style connection string the main window builds, and its ODBC counterpart for the
// FreeTDS driver.
#pragma once

#include <QString>
#include <map>
#include <functional>

namespace velmora {

/// Parses "Key=Value;Key2=\"quoted;value\"" by the OLE DB rules: keys case-insensitive, values
/// optionally in double or single quotes (a doubled quote inside stands for one), blanks around
/// keys ignored, blanks inside unquoted values kept. Later keys win. Keys come back in lower case.
/// Throws DbError (Usage) for a key without '=', an unterminated quote or text after a closing quote.
std::map<QString, QString> parseOleDbConnectionString(const QString& text);

/// Translates an OLE DB style connection string to an ODBC connection string for FreeTDS.
/// `Data Source` may be `host`, `host,port`, `host\instance` or an alias (a section of the
/// FreeTDS configuration file, passed as SERVERNAME). Every value is wrapped in braces with
/// `}` doubled, so no value can add a key. `isAlias` tells whether a name is a configured alias;
/// `aliasTdsVersion` gives the `tds version` an alias sets (then TDS_Version=7.1 is not added).
/// Every pair ends with ';'. Throws DbError (Usage) when the OLE DB string is malformed or a value
/// holds '}', which the driver manager and FreeTDS read differently inside braces.
QString toOdbcConnectionString(const QString& oleDb, const std::function<bool(const QString&)>& isAlias,
                               const std::function<QString(const QString&)>& aliasTdsVersion = {});

/// Wraps an ODBC attribute value in braces, doubling every `}` inside.
QString odbcQuote(const QString& value);

} // namespace velmora
