// The settings file: private-profile semantics over our own reader and writer.
#include "IniFile.h"

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
    // A directory is not a readable settings file, nor a writable one.
    writeProfileString(m_dir.path(), QStringLiteral("ServerOption"), QStringLiteral("ServerName"), QStringLiteral("x"));
    EXPECT_EQ(readProfileString(m_dir.path(), QStringLiteral("ServerOption"), QStringLiteral("ServerName")), QString());
}

TEST_F(IniFileTest, WritesKeepSectionsApartAndOtherLinesInPlace)
{
    setFileText(QStringLiteral("; kept comment\n[ServerOption]\nName=a\n\n[LoginOption]\nName=b\n"));
    writeProfileString(path(), QStringLiteral("SERVEROPTION"), QStringLiteral("name"), QStringLiteral("server"));
    writeProfileString(path(), QStringLiteral("ServerOption"), QStringLiteral("Port"), QStringLiteral("1433"));
    writeProfileString(path(), QStringLiteral("SortOption"), QStringLiteral("Sort"), QString());
    EXPECT_EQ(fileText(), QStringLiteral("; kept comment\n[ServerOption]\nname=server\nPort=1433\n\n[LoginOption]\n"
                                         "Name=b\n[SortOption]\nSort=\n"));
    EXPECT_EQ(readProfileString(path(), QStringLiteral("loginoption"), QStringLiteral("NAME")), QStringLiteral("b"));
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

TEST_F(IniFileTest, SavingOneValueKeepsEveryByteOfTheLinesItDoesNotWrite)
{
    // A login written by a Windows program in code page 1251 ("Иван"), a line ending in CR LF
    // and a stray byte in a comment: none of it is this writer's to re-encode, and the new line
    // is in the file's code page too.
    const QByteArray before = QByteArrayLiteral("; \xff kept\r\n[LoginOption]\r\nLoginName=\xc8\xe2\xe0\xed\r\n"
                                                "[SortOption]\nSort=spid\n");
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    writeProfileString(path(), QStringLiteral("SortOption"), QStringLiteral("Sort"), QStringLiteral("cpu DESC"));
    writeProfileString(path(), QStringLiteral("ServerOption"), QStringLiteral("ServerName"), QStringLiteral("сервер"));

    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArrayLiteral("; \xff kept\r\n[LoginOption]\r\nLoginName=\xc8\xe2\xe0\xed\r\n"
                                                "[SortOption]\nSort=cpu DESC\n[ServerOption]\n"
                                                "ServerName=\xf1\xe5\xf0\xe2\xe5\xf0\n"));
    // Lines ending in CR LF read as they did, without the CR.
    EXPECT_EQ(readProfileString(path(), QStringLiteral("SortOption"), QStringLiteral("Sort")), QStringLiteral("cpu DESC"));
    writeProfileString(path(), QStringLiteral("LoginOption"), QStringLiteral("Other"), QStringLiteral("x"));
    EXPECT_EQ(readProfileString(path(), QStringLiteral("LoginOption"), QStringLiteral("Other")), QStringLiteral("x"));
}

TEST_F(IniFileTest, ValuesAreReadAndWrittenInTheFileSOwnEncoding)
{
    const struct {
        const char* name;
        QByteArray before;
        QString read;        // LoginName as read from `before`
        QString written;     // then written
        QByteArray after;
    } cases[] = {
        {"code page 1251 read, saved unchanged byte for byte", "[LoginOption]\r\nLoginName =  \xc8\xe2\xe0\xed \r\n",
         QStringLiteral("Иван"), QStringLiteral("Иван"), "[LoginOption]\r\nLoginName =  \xc8\xe2\xe0\xed \r\n"},
        {"code page 1251 changed, in code page 1251", "[LoginOption]\r\nLoginName=\xc8\xe2\xe0\xed\r\n",
         QStringLiteral("Иван"), QStringLiteral("Пётр №2"), "[LoginOption]\r\nLoginName=\xcf\xb8\xf2\xf0 \xb9" "2\r\n"},
        {"the upper half of the code page, its hole at 0x98 included", "[LoginOption]\nLoginName=\x80\x96\x98\xa5\xbf\xff\n",
         QStringLiteral("Ђ–\u0098Ґїя"), QStringLiteral("Ђ–\u0098Ґїя!"), "[LoginOption]\nLoginName=\x80\x96\x98\xa5\xbf\xff!\n"},
        {"what code page 1251 cannot hold goes as UTF-8", "[LoginOption]\nLoginName=\xc8\n", QStringLiteral("И"),
         QStringLiteral("И 東"), "[LoginOption]\nLoginName=" + QStringLiteral("И 東").toUtf8() + "\n"},
        {"UTF-8 stays UTF-8", "[LoginOption]\nLoginName=" + QStringLiteral("Иван").toUtf8() + "\n", QStringLiteral("Иван"),
         QStringLiteral("Пётр"), "[LoginOption]\nLoginName=" + QStringLiteral("Пётр").toUtf8() + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            QFile file(path());
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(c.before);
        }
        EXPECT_EQ(readProfileString(path(), QStringLiteral("LoginOption"), QStringLiteral("LoginName")), c.read);
        writeProfileString(path(), QStringLiteral("LoginOption"), QStringLiteral("LoginName"), c.written);
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), c.after);
        EXPECT_EQ(readProfileString(path(), QStringLiteral("LoginOption"), QStringLiteral("LoginName")), c.written);
    }
}
