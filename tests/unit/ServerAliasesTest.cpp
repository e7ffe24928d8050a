// The server box's aliases come from the FreeTDS configuration file the driver itself reads.
#include "ServerAliases.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

QString writeConfig(const QTemporaryDir& dir, const QByteArray& text)
{
    const QString path = dir.filePath(QStringLiteral("freetds.conf"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return path;
}

const QByteArray kConfig =
    "; comment\n"
    "[global]\n"
    "\ttds version = auto\n"
    "[Prod]\n"
    "\thost = db01.example.com\n"
    "\tport = 1433\n"
    "#\t[Commented]\n"
    "[legacy]\n"
    "\thost = old\n"
    "\tTDS   Version = 7.0\n"
    "[ spaced ]\n"
    "[PROD]\n"
    "\ttds version = 7.4\n";

} // namespace

TEST(ServerAliases, ListsSectionsInFileOrderWithoutGlobalOrDuplicates)
{
    QTemporaryDir dir;
    const QString path = writeConfig(dir, kConfig);
    EXPECT_EQ(serverAliases(path), (QStringList{"Prod", "legacy", "spaced"}));
    EXPECT_TRUE(isServerAlias(QStringLiteral("prod"), path));
    EXPECT_FALSE(isServerAlias(QStringLiteral("global"), path));
    EXPECT_FALSE(isServerAlias(QStringLiteral("db01.example.com"), path));
}

TEST(ServerAliases, ReadsTheTdsVersionAnAliasSets)
{
    QTemporaryDir dir;
    const QString path = writeConfig(dir, kConfig);
    EXPECT_EQ(aliasTdsVersion(QStringLiteral("LEGACY"), path), QStringLiteral("7.0"));
    // A section named twice is one alias; its later part still counts.
    EXPECT_EQ(aliasTdsVersion(QStringLiteral("prod"), path), QStringLiteral("7.4"));
    // [global]'s version is not the alias's own.
    EXPECT_EQ(aliasTdsVersion(QStringLiteral("spaced"), path), QString());
}

TEST(ServerAliases, MissingFileGivesNoAliases)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("absent.conf"));
    EXPECT_TRUE(serverAliases(path).isEmpty());
    EXPECT_FALSE(isServerAlias(QStringLiteral("prod"), path));
}
