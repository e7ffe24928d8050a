#include "ConnectionString.h"

#include "DbError.h"

namespace velmora {

namespace {

DbError malformed(const QString& text, const QString& why)
{
    return DbError(DbError::Cause::Usage,
                   QStringLiteral("Malformed connection string (%1): %2").arg(why, text));
}

// A key runs to the first single '='; "==" inside a key stands for one '='.
QString readKey(const QString& text, qsizetype& i)
{
    QString key;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == u'=') {
            if (i + 1 < text.size() && text[i + 1] == u'=') {
                key += u'=';
                i += 2;
                continue;
            }
            ++i;
            return key;
        }
        if (c == u';')
            break;
        key += c;
        ++i;
    }
    throw malformed(text, QStringLiteral("a key without '='"));
}

// A quoted value: the doubled quote stands for one; only blanks may follow the closing quote.
QString readQuotedValue(const QString& text, qsizetype& i)
{
    const QChar quote = text[i++];
    QString value;
    for (;;) {
        if (i >= text.size())
            throw malformed(text, QStringLiteral("an unterminated quote"));
        const QChar c = text[i++];
        if (c != quote) {
            value += c;
            continue;
        }
        if (i < text.size() && text[i] == quote) {
            value += quote;
            ++i;
            continue;
        }
        break;
    }
    while (i < text.size() && text[i].isSpace())
        ++i;
    if (i < text.size() && text[i] != u';')
        throw malformed(text, QStringLiteral("text after a closing quote"));
    return value;
}

} // namespace

std::map<QString, QString> parseOleDbConnectionString(const QString& text)
{
    std::map<QString, QString> result;
    qsizetype i = 0;
    while (i < text.size()) {
        // Empty segments (";;", a trailing ';') carry nothing.
        if (text[i] == u';' || text[i].isSpace()) {
            ++i;
            continue;
        }
        const QString key = readKey(text, i).trimmed().toLower();
        if (key.isEmpty())
            throw malformed(text, QStringLiteral("an empty key"));

        // Blanks between '=' and an opening quote do not belong to the value; an unquoted value
        // is kept exactly as typed, blanks included (a server name is passed as typed).
        qsizetype start = i;
        while (start < text.size() && text[start].isSpace())
            ++start;
        QString value;
        if (start < text.size() && (text[start] == u'"' || text[start] == u'\'')) {
            i = start;
            value = readQuotedValue(text, i);
        } else {
            const qsizetype end = text.indexOf(u';', i);
            const qsizetype stop = end < 0 ? text.size() : end;
            value = text.mid(i, stop - i);
            i = stop;
        }
        result[key] = value;
    }
    return result;
}

QString odbcQuote(const QString& value)
{
    QString quoted = value;
    quoted.replace(u'}', QStringLiteral("}}"));
    return u'{' + quoted + u'}';
}

QString toOdbcConnectionString(const QString& oleDb, const std::function<bool(const QString&)>& isAlias,
                               const std::function<QString(const QString&)>& aliasTdsVersion)
{
    const std::map<QString, QString> keys = parseOleDbConnectionString(oleDb);
    auto valueOf = [&keys](const char* key) -> const QString* {
        const auto it = keys.find(QString::fromLatin1(key));
        return it == keys.end() ? nullptr : &it->second;
    };
    QString odbc = QStringLiteral("DRIVER={FreeTDS};");
    // `from` names the OLE DB key the value came from, for the operator's message.
    auto add = [&odbc](const char* key, const QString& value, const char* from = "") {
        // The driver manager reads "}}" inside braces as one '}', but FreeTDS takes the braced
        // text verbatim up to the first "};". No spelling of a '}' satisfies both: doubled, the
        // server gets "}}" and a "};" ends the value early; single, the driver manager ends the
        // value there and reads the rest as keys. So such a value is refused, never mangled.
        if (value.contains(u'}'))
            throw DbError(DbError::Cause::Usage,
                          QStringLiteral("%1 cannot contain the character '}': the ODBC driver would not "
                                         "receive it intact.").arg(QString::fromLatin1(from)));
        // Every value, the last included, ends with "};": FreeTDS keeps a final '}' otherwise.
        odbc += QString::fromLatin1(key) + u'=' + odbcQuote(value) + u';';
    };

    bool aliasSetsVersion = false;
    if (const QString* source = valueOf("data source")) {
        const QString& dataSource = *source;
        const qsizetype comma = dataSource.lastIndexOf(u',');
        if (isAlias && isAlias(dataSource)) {
            // Only SERVERNAME makes the driver read the alias section (host, port, tds version).
            add("SERVERNAME", dataSource, "Data Source");
            aliasSetsVersion = aliasTdsVersion && !aliasTdsVersion(dataSource).isEmpty();
        } else if (comma >= 0) {
            // "host,port" must not reach the driver as a server name (it ends up in the login).
            add("SERVER", dataSource.left(comma), "Data Source");
            add("PORT", dataSource.mid(comma + 1).trimmed(), "Data Source");
        } else {
            add("SERVER", dataSource, "Data Source");   // a host or host\instance
        }
    }

    const QString* security = valueOf("integrated security");
    const bool integrated = security && security->trimmed().compare(u"SSPI", Qt::CaseInsensitive) == 0;
    if (integrated) {
        add("Trusted_Connection", QStringLiteral("Yes"));
    } else {
        if (const QString* user = valueOf("user id"))
            add("UID", *user, "User ID");
        if (const QString* password = valueOf("password"))
            add("PWD", *password, "Password");
    }
    if (const QString* catalog = valueOf("initial catalog"))
        add("DATABASE", *catalog, "Initial Catalog");
    if (const QString* application = valueOf("application name"))
        add("APP", *application, "Application Name");
    if (!aliasSetsVersion)
        add("TDS_Version", QStringLiteral("7.1"));
    return odbc;
}

} // namespace velmora
