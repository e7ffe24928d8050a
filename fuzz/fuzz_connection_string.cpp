// The connection-string translation on arbitrary text. A malformed string or a value the
// driver cannot receive intact is refused with a usage error. Otherwise the ODBC string, read
// the way FreeTDS reads it (a braced value runs to the first "};"), holds only the keys the
// translation writes, each once, with the values of the OLE DB string; and the OLE DB string
// written back out from its parsed keys parses to the same keys.
#include "ConnectionString.h"
#include "DbError.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <map>

using namespace velmora;

namespace {

std::map<QString, QString> readOdbc(const QString& odbc)
{
    std::map<QString, QString> pairs;
    qsizetype i = 0;
    while (i < odbc.size()) {
        const qsizetype equals = odbc.indexOf(u'=', i);
        if (equals < 0 || odbc.indexOf(u';', i) < equals || equals + 1 >= odbc.size() || odbc[equals + 1] != u'{')
            std::abort();   // every pair is key={value};
        const qsizetype close = odbc.indexOf(QStringLiteral("};"), equals);
        if (close < 0)
            std::abort();
        const QString key = odbc.mid(i, equals - i);
        if (!pairs.emplace(key, odbc.mid(equals + 2, close - equals - 2)).second)
            std::abort();   // a key given twice
        i = close + 2;
    }
    return pairs;
}

QString quotedOleDb(const QString& text, QChar quote)
{
    QString doubled = text;
    doubled.replace(quote, QString(2, quote));
    return quote + doubled + quote;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool alias = input.ConsumeBool();
    const bool aliasSetsVersion = input.ConsumeBool();
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));

    std::map<QString, QString> keys;
    QString odbc;
    try {
        keys = parseOleDbConnectionString(text);
        odbc = toOdbcConnectionString(
            text, [alias](const QString&) { return alias; },
            [aliasSetsVersion](const QString&) { return aliasSetsVersion ? QStringLiteral("7.1") : QString(); });
    } catch (const DbError& error) {
        if (error.cause() != DbError::Cause::Usage)
            std::abort();
        return 0;
    }

    const std::map<QString, QString> pairs = readOdbc(odbc);
    static const QStringList written = {
        QStringLiteral("DRIVER"), QStringLiteral("SERVERNAME"), QStringLiteral("SERVER"),
        QStringLiteral("PORT"), QStringLiteral("Trusted_Connection"), QStringLiteral("UID"),
        QStringLiteral("PWD"), QStringLiteral("DATABASE"), QStringLiteral("APP"),
        QStringLiteral("TDS_Version"),
    };
    for (const auto& [key, value] : pairs)
        if (!written.contains(key))
            std::abort();
    const auto same = [&](const char* odbcKey, const char* oleDbKey) {
        const auto from = keys.find(QString::fromLatin1(oleDbKey));
        const auto to = pairs.find(QString::fromLatin1(odbcKey));
        if (from != keys.end() && to != pairs.end() && from->second != to->second)
            std::abort();
    };
    same("UID", "user id");
    same("PWD", "password");
    same("DATABASE", "initial catalog");
    same("APP", "application name");
    const auto source = keys.find(QStringLiteral("data source"));
    if (alias || source == keys.end() || !source->second.contains(u',')) {
        same(alias ? "SERVERNAME" : "SERVER", "data source");
    } else {
        // "host,port" is split at its last comma.
        const qsizetype comma = source->second.lastIndexOf(u',');
        if (pairs.at(QStringLiteral("SERVER")) != source->second.left(comma)
            || pairs.at(QStringLiteral("PORT")) != source->second.mid(comma + 1).trimmed())
            std::abort();
    }

    // Written back: keys with '=' doubled, values in quotes with the quote doubled.
    QString rewritten;
    for (const auto& [key, value] : keys)
        rewritten += QString(key).replace(u'=', QStringLiteral("==")) + u'=' + quotedOleDb(value, u'"') + u';';
    try {
        if (parseOleDbConnectionString(rewritten) != keys)
            std::abort();
    } catch (const DbError&) {
        std::abort();
    }
    return 0;
}
