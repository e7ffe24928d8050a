// The settings file: private-profile semantics over our own reader and writer.
#include "IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

    QString fileText() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    void setFileText(const QString& text) const
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(IniFileTest, ValuesReadBackAsWritten)
{
    const QString values[] = {
        QStringLiteral("srv01"),
        QStringLiteral(""),
        QStringLiteral("  padded server  "),
        QStringLiteral("\"quoted\""),
        QStringLiteral("'single'"),
        QStringLiteral("Логин Иванов"),
        QStringLiteral("a=b;c=[d]"),
        QStringLiteral("spid ASC, login DESC"),
    };
    for (const QString& value : values) {
        writeProfileString(path(), QStringLiteral("ServerOption"), QStringLiteral("ServerName"), value);
        EXPECT_EQ(readProfileString(path(), QStringLiteral("ServerOption"), QStringLiteral("ServerName")), value)
            << value.toStdString();
    }
}

TEST_F(IniFileTest, AnythingMissingReadsAsEmptyText)
{
    EXPECT_EQ(readProfileString(path(), QStringLiteral("ServerOption"), QStringLiteral("ServerName")), QString());
    writeProfileString(path(), QStringLiteral("ServerOption"), QStringLiteral("ServerName"), QStringLiteral("x"));
    EXPECT_EQ(readProfileString(path(), QStringLiteral("LoginOption"), QStringLiteral("ServerName")), QString());
    EXPECT_EQ(readProfileString(path(), QStringLiteral("ServerOption"), QStringLiteral("LoginName")), QString());
    // A directory is not a readable settings file.
    EXPECT_EQ(readProfileString(m_dir.path(), QStringLiteral("ServerOption"), QStringLiteral("ServerName")), QString());
}

TEST_F(IniFileTest, SectionsAndKeysIgnoreCaseAndStayApart)
{
    writeProfileString(path(), QStringLiteral("ServerOption"), QStringLiteral("Name"), QStringLiteral("server"));
    writeProfileString(path(), QStringLiteral("LoginOption"), QStringLiteral("Name"), QStringLiteral("login"));
    writeProfileString(path(), QStringLiteral("SERVEROPTION"), QStringLiteral("name"), QStringLiteral("server2"));

    EXPECT_EQ(readProfileString(path(), QStringLiteral("serveroption"), QStringLiteral("NAME")), QStringLiteral("server2"));
    EXPECT_EQ(readProfileString(path(), QStringLiteral("LoginOption"), QStringLiteral("Name")), QStringLiteral("login"));
    EXPECT_EQ(fileText(), QStringLiteral("[ServerOption]\nname=server2\n[LoginOption]\nName=login\n"));
}

TEST_F(IniFileTest, EmptyValueIsWrittenAsKeyAndEquals)
{
    writeProfileString(path(), QStringLiteral("SortOption"), QStringLiteral("Sort"), QString());
    EXPECT_EQ(fileText(), QStringLiteral("[SortOption]\nSort=\n"));
}

TEST_F(IniFileTest, NewKeyJoinsItsSectionAndOtherLinesStay)
{
    setFileText(QStringLiteral("; kept comment\n[A]\nx=1\n\n[B]\ny=2\n"));
    writeProfileString(path(), QStringLiteral("A"), QStringLiteral("z"), QStringLiteral("3"));
    writeProfileString(path(), QStringLiteral("B"), QStringLiteral("y"), QStringLiteral("4"));
    EXPECT_EQ(fileText(), QStringLiteral("; kept comment\n[A]\nx=1\nz=3\n\n[B]\ny=4\n"));
}

TEST_F(IniFileTest, HandWrittenFileIsReadLikeTheProfileFunctions)
{
    setFileText(QStringLiteral("[ServerOption]\r\n  ServerName =  main-db  \r\nnot a key line\r\n"
                               "[ LoginOption ]\r\nLoginName=\"  sa  \"\r\nLoginName=second\r\n"));
    EXPECT_EQ(readProfileString(path(), QStringLiteral("ServerOption"), QStringLiteral("ServerName")),
              QStringLiteral("main-db"));
    EXPECT_EQ(readProfileString(path(), QStringLiteral("LoginOption"), QStringLiteral("LoginName")),
              QStringLiteral("  sa  "));
}

TEST_F(IniFileTest, LongValueIsReadAsItsFirst255Characters)
{
    const QString value = QString(300, u'ж');
    writeProfileString(path(), QStringLiteral("SortOption"), QStringLiteral("Sort"), value);
    EXPECT_EQ(readProfileString(path(), QStringLiteral("SortOption"), QStringLiteral("Sort")), value.left(255));
}

TEST_F(IniFileTest, LineBreakInAValueCannotAddKeysOrSections)
{
    writeProfileString(path(), QStringLiteral("LoginOption"), QStringLiteral("LoginName"), QStringLiteral("sa"));
    writeProfileString(path(), QStringLiteral("LoginOption"), QStringLiteral("LoginName"),
                       QStringLiteral("x\n[ServerOption]\nServerName=elsewhere"));
    EXPECT_EQ(readProfileString(path(), QStringLiteral("ServerOption"), QStringLiteral("ServerName")), QString());
    EXPECT_EQ(readProfileString(path(), QStringLiteral("LoginOption"), QStringLiteral("LoginName")), QStringLiteral("sa"));
}

TEST_F(IniFileTest, UnwritablePlaceFailsSilently)
{
    const QString inMissingDir = m_dir.filePath(QStringLiteral("missing/settings.ini"));
    writeProfileString(inMissingDir, QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v"));
    EXPECT_FALSE(QFile::exists(inMissingDir));
    EXPECT_EQ(readProfileString(inMissingDir, QStringLiteral("A"), QStringLiteral("k")), QString());
}

TEST(IniFileBesideExecutable, WorkingDirectoryPlaysNoPart)
{
    const QString fileName = QStringLiteral("IniFileTest-%1.ini").arg(QCoreApplication::applicationPid());
    const QString besideExecutable = QDir(QCoreApplication::applicationDirPath()).filePath(fileName);
    QTemporaryDir elsewhere;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));

    WriteIniValue(fileName, QStringLiteral("ServerOption"), QStringLiteral("ServerName"), QStringLiteral("srv"));
    const QString read = ReadIniValue(fileName, QStringLiteral("ServerOption"), QStringLiteral("ServerName"));
    const bool inWorkingDirectory = QFile::exists(QDir(elsewhere.path()).filePath(fileName));
    const bool inExecutableDirectory = QFile::exists(besideExecutable);

    QDir::setCurrent(previous);
    QFile::remove(besideExecutable);
    EXPECT_EQ(read, QStringLiteral("srv"));
    EXPECT_TRUE(inExecutableDirectory);
    EXPECT_FALSE(inWorkingDirectory);
}
