// The connection string of a connect attempt and the data-access layer's reading of it.
#include "ConnectText.h"
#include "ConnectionString.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(ConnectString, PlainValuesGiveTheExactOleDbForms)
{
    EXPECT_EQ(buildConnectionString({QStringLiteral("dbhost,1433"), QStringLiteral("sa"), QStringLiteral("velmora"),
                                     false, QStringLiteral("2.4.0.27")}),
              QStringLiteral("Provider=SQLOLEDB.1;Password=velmora;Persist Security Info=True;User ID=sa;"
                             "Initial Catalog=master;Data Source=dbhost,1433;Application Name=Velmora 2.4.0.27"));
    EXPECT_EQ(buildConnectionString({QStringLiteral("host\\inst"), QStringLiteral("ignored"), QStringLiteral("ignored"),
                                     true, QStringLiteral("ERROR")}),
              QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                             "Initial Catalog=master;Data Source=host\\inst;Application Name=Velmora ERROR"));
}

TEST(ConnectString, EveryValueReadsBackExactlyAsTyped)
{
    const struct {
        QString server, login, password, version;
    } cases[] = {
        {QStringLiteral("sqlsim"), QStringLiteral("sa"), QStringLiteral("x;Data Source=other"), QStringLiteral("2.4.0.27")},
        {QStringLiteral("  padded,1433 "), QStringLiteral(" sa"), QStringLiteral("pw "), QStringLiteral("1.0")},
        {QStringLiteral("srv"), QStringLiteral("O'Brien"), QStringLiteral("say \"hi\""), QStringLiteral("1.0")},
        {QStringLiteral("srv"), QStringLiteral("'quoted'"), QStringLiteral("\"\";\"\""), QStringLiteral("1.0")},
        {QStringLiteral("srv"), QStringLiteral("Иванов"), QString(), QString()},
    };
    for (const auto& c : cases) {
        const QString text = buildConnectionString({c.server, c.login, c.password, false, c.version});
        const auto keys = parseOleDbConnectionString(text);
        EXPECT_EQ(keys.size(), 7u) << text.toStdString();
        EXPECT_EQ(keys.at(QStringLiteral("data source")), c.server) << text.toStdString();
        EXPECT_EQ(keys.at(QStringLiteral("user id")), c.login) << text.toStdString();
        EXPECT_EQ(keys.at(QStringLiteral("password")), c.password) << text.toStdString();
        EXPECT_EQ(keys.at(QStringLiteral("application name")), QStringLiteral("Velmora ") + c.version) << text.toStdString();
    }
}
