// The settings file and the layout file found damaged, cut short, read-only or missing: the
// window starts with what can be read (the defaults otherwise), closes without losing what the
// files held, and never crashes.
#include "MainWindowTestSupport.h"

#include "LayoutFixture.h"
#include "ProcessGridColumns.h"
#include "ResultGrid.h"
#include "WindowParts.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QString LayoutFile = QStringLiteral("ColReg.dat");

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void setBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// A file this process cannot change while the object lives: its write bits cleared and, as
// permissions do not stop root, the file made immutable when the process runs as root.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(QString path) : m_path(std::move(path))
    {
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        if (::geteuid() == 0)
            m_immutable = setImmutable(true);
    }
    ~ReadOnlyFile()
    {
        if (m_immutable)
            setImmutable(false);
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool holds() const { return !QFileInfo(m_path).isWritable(); }

private:
    bool setImmutable(bool on) const
    {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    QString m_path;
    bool m_immutable = false;
};

ResultGrid& processGrid(const MainWindow& window)
{
    return *part<ResultGrid>(window, "processGrid");
}

struct DamagedFiles : ::testing::Test {
    SettingsFile settings;   // also a working directory of the test's own
    RecordedMessages messages;
};

} // namespace

TEST_F(DamagedFiles, DamagedSettingsGiveWhatCanBeReadAndKeepEveryByteAtClose)
{
    const QByteArray garbage = QByteArray("\xff\xfe\0\x01[\x80]=\0\n=value\n[[[\n", 22) + QByteArray(3000, '\x7f');
    const struct {
        const char* what;
        QByteArray file;
        QString server, login;
    } cases[] = {
        {"binary garbage", garbage, {}, {}},
        {"cut after the server", "[ServerOption]\nServerName=db1", "db1", {}},
        {"cut in a key", "[ServerOption]\nServerName=db1\n[LoginOption]\nLogin", "db1", {}},
        {"cut in a section line", "[LoginOption]\nLoginName=op\n[ServerOpt", {}, "op"},
        // No longer UTF-8, so read in code page 1251 as the original platform would; kept as it is.
        {"cut in a character", "[LoginOption]\nLoginName=\xd0\xbe\xd0", {}, QStringLiteral("РѕР")},
        {"one long line", QByteArray("[ServerOption]\nServerName=") + QByteArray(1 << 20, 'x'), QString(255, u'x'), {}},
        {"garbage around the values", garbage + "\n[ServerOption]\nServerName=db2\n" + garbage + "\n[LoginOption]\nLoginName=op\n",
         "db2", "op"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        messages.all.clear();
        SettingsFile::setText(QString());
        setBytes(SettingsFile::path(), c.file);
        {
            MainWindow window;
            EXPECT_EQ(part<QComboBox>(window, "serverBox")->currentText(), c.server);
            EXPECT_EQ(part<QLineEdit>(window, "loginBox")->text(), c.login);
            fillLogin(window, QStringLiteral("srv"), QStringLiteral("sa"), QString());
            window.close();
        }
        EXPECT_EQ(messages.texts(), QString()) << "the settings file never causes a message";
        // Every line the close did not write comes back byte for byte.
        const QByteArray after = bytesOf(SettingsFile::path());
        for (const QByteArray& line : c.file.split('\n')) {
            const bool written = line.startsWith("ServerName") || line.startsWith("Login");
            EXPECT_TRUE(written || after.contains(line)) << line.left(40).toHex().toStdString();
        }
        MainWindow restarted;
        EXPECT_EQ(part<QComboBox>(restarted, "serverBox")->currentText(), QStringLiteral("srv"));
        EXPECT_EQ(part<QLineEdit>(restarted, "loginBox")->text(), QStringLiteral("sa"));
    }
}

TEST_F(DamagedFiles, ReadOnlySettingsAreReadAndLeftAsTheyWere)
{
    const QByteArray stored = "[ServerOption]\nServerName=old\n[LoginOption]\nLoginName=former\n";
    setBytes(SettingsFile::path(), stored);
    ReadOnlyFile readOnly(SettingsFile::path());
    if (!readOnly.holds())
        GTEST_SKIP() << "the file cannot be made read-only here";
    {
        MainWindow window;
        EXPECT_EQ(part<QComboBox>(window, "serverBox")->currentText(), QStringLiteral("old"));
        EXPECT_EQ(part<QLineEdit>(window, "loginBox")->text(), QStringLiteral("former"));
        fillLogin(window, QStringLiteral("new"), QStringLiteral("newer"), QString());
        window.close();
        EXPECT_FALSE(window.isVisible());
    }
    EXPECT_EQ(messages.texts(), QString());
    EXPECT_EQ(bytesOf(SettingsFile::path()), stored);
    // The layout file was written all the same.
    EXPECT_EQ(bytesOf(LayoutFile), builtinLayoutFixture());
}

TEST_F(DamagedFiles, ReadOnlyLayoutIsLoadedAndKeptAndTheSettingsAreStillWritten)
{
    QByteArray layout;
    {
        MainWindow window;
        ResultGrid& grid = processGrid(window);
        grid.column(grid.columnIndex(QStringLiteral("hostname"))).width = 150;
        window.close();
        layout = bytesOf(LayoutFile);
    }
    ASSERT_NE(layout, builtinLayoutFixture());
    ReadOnlyFile readOnly(LayoutFile);
    if (!readOnly.holds())
        GTEST_SKIP() << "the file cannot be made read-only here";
    {
        MainWindow window;
        ResultGrid& grid = processGrid(window);
        EXPECT_EQ(grid.columns()[size_t(grid.columnIndex(QStringLiteral("hostname")))].width, 150);
        grid.column(grid.columnIndex(QStringLiteral("hostname"))).width = 90;
        fillLogin(window, QStringLiteral("srv"), QStringLiteral("sa"), QString());
        window.close();
        EXPECT_FALSE(window.isVisible());
    }
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_TRUE(messages.all[0].text.startsWith(QStringLiteral("Cannot create file \"ColReg.dat\". ")))
        << messages.all[0].text.toStdString();
    EXPECT_EQ(bytesOf(LayoutFile), layout);
    EXPECT_EQ(SettingsFile::text(), QStringLiteral("[ServerOption]\nServerName=srv\n[LoginOption]\nLoginName=sa\n"));
}

TEST_F(DamagedFiles, UnreadableLayoutIsShownAndReplacedOnlyByAWholeLayout)
{
    QByteArray deepNesting("TPF0\x0fTColumnsWrapper\0", 20);
    deepNesting += QByteArray(7, '\x0e') + QByteArray(100000, '\x01');
    const struct {
        const char* what;
        QByteArray file;
    } cases[] = {
        {"signature then noise", QByteArray("TPF0") + QByteArray(5000, '\xff')},
        {"nested lists without end", deepNesting},
        {"zeros", QByteArray(1 << 20, '\0')},
        {"the settings file's text", "[ServerOption]\nServerName=srv\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        setBytes(LayoutFile, c.file);
        messages.all.clear();
        {
            MainWindow window;
            ASSERT_EQ(messages.all.size(), 1u);
            EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);
            EXPECT_EQ(describeColumns(processGrid(window).columns()), describeColumns(processGridColumns()));
            EXPECT_TRUE(showActive(window));
            window.close();
        }
        // The close writes the columns the window showed: a layout that loads again; the
        // damaged file is kept beside it.
        EXPECT_EQ(bytesOf(LayoutFile), builtinLayoutFixture());
        EXPECT_EQ(bytesOf(LayoutFile + QStringLiteral(".bad")), c.file);
        QFile::remove(LayoutFile + QStringLiteral(".bad"));
    }
    // A layout that loads is simply replaced.
    MainWindow().close();
    EXPECT_EQ(bytesOf(LayoutFile), builtinLayoutFixture());
    EXPECT_FALSE(QFileInfo::exists(LayoutFile + QStringLiteral(".bad")));
}

TEST_F(DamagedFiles, ALayoutPathThatIsADirectoryIsShownAtStartAndAtClose)
{
    ASSERT_TRUE(QDir().mkdir(LayoutFile));
    SettingsFile::setText(QStringLiteral("[ServerOption]\nServerName=srv\n"));
    {
        MainWindow window;
        ASSERT_EQ(messages.all.size(), 1u);
        EXPECT_TRUE(messages.all[0].text.startsWith(QStringLiteral("Cannot open file \"ColReg.dat\". ")))
            << messages.all[0].text.toStdString();
        EXPECT_EQ(describeColumns(processGrid(window).columns()), describeColumns(processGridColumns()));
        fillLogin(window, QStringLiteral("other"), QStringLiteral("sa"), QString());
        window.close();
    }
    ASSERT_EQ(messages.all.size(), 2u);
    EXPECT_TRUE(messages.all[1].text.startsWith(QStringLiteral("Cannot create file \"ColReg.dat\". ")))
        << messages.all[1].text.toStdString();
    EXPECT_TRUE(QFileInfo(LayoutFile).isDir());
    EXPECT_EQ(SettingsFile::text(), QStringLiteral("[ServerOption]\nServerName=other\n[LoginOption]\nLoginName=sa\n"));
}
