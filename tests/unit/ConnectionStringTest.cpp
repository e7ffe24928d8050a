// The OLE DB connection string the main window builds, read by its own quoting rules and
// turned into an ODBC string that no value can extend with keys of its own.
#include "ConnectionString.h"
#include "DbError.h"

#include <gtest/gtest.h>
#include <map>

using namespace velmora;

namespace {

const QString kSqlLogin = QStringLiteral(
    "Provider=SQLOLEDB.1;Password=velmora;Persist Security Info=True;User ID=sa;"
    "Initial Catalog=master;Data Source=%1;Application Name=Velmora 2.4.0.27");

bool knownAlias(const QString& name)
{
    return name.compare(u"prod", Qt::CaseInsensitive) == 0 || name == u"legacy";
}

QString aliasVersion(const QString& name)
{
    return name == u"legacy" ? QStringLiteral("7.0") : QString();
}

} // namespace

TEST(ConnectionString, ParsesQuotedAndUnquotedValuesByOleDbRules)
{
    struct Case {
        const char* text;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"User ID=sa", "user id", "sa"},
        {"  USER id =sa", "user id", "sa"},                               // keys: case and blanks
        {"Data Source= host ;x=1", "data source", " host "},              // unquoted kept as typed
        {"Password=\"x;Data Source=other\"", "password", "x;Data Source=other"},
        {"Password=\"say \"\"hi\"\"\"", "password", "say \"hi\""},
        {"Password='it''s'", "password", "it's"},
        {"Password=\"  padded  \"  ;User ID=sa", "password", "  padded  "},
        {"Password=a\"b", "password", "a\"b"},                            // a quote inside is text
        {"Password=;User ID=sa", "password", ""},
        {"Password=first;Password=second", "password", "second"},          // later keys win
        {"a==b=c", "a=b", "c"},                                            // "==" in a key
        {"User ID=sa;", "user id", "sa"},
    };
    for (const Case& c : cases) {
        const auto parsed = parseOleDbConnectionString(QString::fromUtf8(c.text));
        const auto it = parsed.find(QString::fromUtf8(c.key));
        ASSERT_NE(it, parsed.end()) << c.text;
        EXPECT_EQ(it->second, QString::fromUtf8(c.value)) << c.text;
    }
}

TEST(ConnectionString, RejectsMalformedText)
{
    for (const char* text : {"Password=\"open", "Password=\"a\"b;User ID=sa", "JustAKey", "=value"}) {
        try {
            parseOleDbConnectionString(QString::fromUtf8(text));
            ADD_FAILURE() << "accepted " << text;
        } catch (const DbError& e) {
            EXPECT_EQ(e.cause(), DbError::Cause::Usage) << text;
        }
    }
}

TEST(ConnectionString, TranslatesEveryFormOfDataSource)
{
    struct Case {
        QString dataSource;
        QString expectedServerPart;
        QString expectedVersionPart;
    };
    const Case cases[] = {
        {QStringLiteral("db01"), QStringLiteral("SERVER={db01};"), QStringLiteral("TDS_Version={7.1};")},
        {QStringLiteral("127.0.0.1,14330"), QStringLiteral("SERVER={127.0.0.1};PORT={14330};"),
         QStringLiteral("TDS_Version={7.1};")},
        {QStringLiteral("db01\\SALES"), QStringLiteral("SERVER={db01\\SALES};"), QStringLiteral("TDS_Version={7.1};")},
        {QStringLiteral("PROD"), QStringLiteral("SERVERNAME={PROD};"), QStringLiteral("TDS_Version={7.1};")},
        // An alias with its own tds version keeps it: the connection string would override it.
        {QStringLiteral("legacy"), QStringLiteral("SERVERNAME={legacy};"), QString()},
        {QStringLiteral(" db01 "), QStringLiteral("SERVER={ db01 };"), QStringLiteral("TDS_Version={7.1};")},
    };
    for (const Case& c : cases) {
        const QString odbc = toOdbcConnectionString(kSqlLogin.arg(c.dataSource), knownAlias, aliasVersion);
        EXPECT_EQ(odbc, QStringLiteral("DRIVER={FreeTDS};") + c.expectedServerPart
                            + QStringLiteral("UID={sa};PWD={velmora};DATABASE={master};APP={Velmora 2.4.0.27};")
                            + c.expectedVersionPart)
            << c.dataSource.toStdString();
    }
}

namespace {

// Reads an ODBC connection string as a driver does: KEY=value or KEY={value with }} for }.
std::map<QString, QString> readOdbc(const QString& text)
{
    std::map<QString, QString> keys;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype equals = text.indexOf(u'=', i);
        const QString key = text.mid(i, equals - i).toUpper();
        QString value;
        i = equals + 1;
        if (text[i] == u'{') {
            for (++i; i < text.size(); ++i) {
                if (text[i] == u'}') {
                    if (i + 1 < text.size() && text[i + 1] == u'}') {
                        value += u'}';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i];
            }
        } else {
            const qsizetype end = text.indexOf(u';', i);
            value = text.mid(i, end < 0 ? -1 : end - i);
            i = end < 0 ? text.size() : end;
        }
        keys[key] = value;
        if (i < text.size() && text[i] == u';')
            ++i;
    }
    return keys;
}

} // namespace

TEST(ConnectionString, NoPasswordCanAddAKey)
{
    // The window quotes a value holding ';' or quotes in the OLE DB way.
    struct Case {
        const char* oleDbPassword;
        const char* password;
    };
    const Case cases[] = {
        {"\"x;Data Source=other\"", "x;Data Source=other"},
        {"\";DRIVER={evil\"", ";DRIVER={evil"},
        {"\"p\"\"w;d=\"", "p\"w;d="},
        {"'{x'", "{x"},
        {"\" padded \"", " padded "},
    };
    for (const Case& c : cases) {
        const QString oleDb = QStringLiteral("Provider=SQLOLEDB.1;Password=%1;User ID=sa;Data Source=db01")
                                  .arg(QString::fromUtf8(c.oleDbPassword));
        const auto keys = readOdbc(toOdbcConnectionString(oleDb, knownAlias));
        const std::map<QString, QString> expected{{"DRIVER", "FreeTDS"}, {"SERVER", "db01"}, {"UID", "sa"},
                                                  {"PWD", QString::fromUtf8(c.password)}, {"TDS_VERSION", "7.1"}};
        EXPECT_EQ(keys, expected) << c.oleDbPassword;
    }
}

TEST(ConnectionString, ValueWithAClosingBraceIsRefusedRatherThanMangled)
{
    for (const char* password : {"a}b", "x};SERVER=evil", "}"}) {
        const QString oleDb = QStringLiteral("Password=\"%1\";User ID=sa;Data Source=db01").arg(QString::fromUtf8(password));
        try {
            toOdbcConnectionString(oleDb, knownAlias);
            ADD_FAILURE() << "translated " << password;
        } catch (const DbError& e) {
            EXPECT_EQ(e.cause(), DbError::Cause::Usage);
            EXPECT_TRUE(e.text().startsWith(QStringLiteral("Password cannot contain the character '}'"))) << e.what();
        }
    }
    EXPECT_EQ(odbcQuote(QStringLiteral("a}b")), QStringLiteral("{a}}b}"));
}

TEST(ConnectionString, IntegratedSecurityAsksForATrustedConnectionWithoutCredentials)
{
    const QString oleDb = QStringLiteral(
        "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=master;"
        "Data Source=db01;Application Name=Velmora 2.4.0.27;User ID=ignored");
    EXPECT_EQ(toOdbcConnectionString(oleDb, knownAlias),
              QStringLiteral("DRIVER={FreeTDS};SERVER={db01};Trusted_Connection={Yes};DATABASE={master};"
                             "APP={Velmora 2.4.0.27};TDS_Version={7.1};"));
}
