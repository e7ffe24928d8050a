// The process grid's layout file through the main window: written at every close, loaded at
// start, refused whole when bad, and a failed write that costs neither settings nor the close.
#include "MainWindowTestSupport.h"

#include "LayoutFixture.h"
#include "ProcessGridColumns.h"
#include "ResultGrid.h"
#include "WindowParts.h"

#include <QHeaderView>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QString LayoutFile = QStringLiteral("ColReg.dat");

struct ColumnLayoutWindow : ::testing::Test {
    static QByteArray layoutBytes()
    {
        QFile file(LayoutFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void setLayoutBytes(const QByteArray& bytes)
    {
        QFile file(LayoutFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray name(const char* text) { return char(qstrlen(text)) + QByteArray(text); }
    /// The bytes of the column's item in a layout file, from its FieldName to its end.
    static QByteArray itemOf(const QByteArray& layout, const char* field)
    {
        const qsizetype start = layout.indexOf(name("FieldName") + '\x06' + name(field));
        return start < 0 ? QByteArray() : layout.mid(start, layout.indexOf(QByteArray("\0\x01", 2), start) - start);
    }

    SettingsFile settings;   // also a working directory of the test's own
    RecordedMessages messages;
};

ResultGrid& grid(MainWindow& window)
{
    return *part<ResultGrid>(window, "processGrid");
}

} // namespace

TEST_F(ColumnLayoutWindow, FirstRunShowsBuiltInColumnsAndClosingWritesThem)
{
    ASSERT_FALSE(QFile::exists(LayoutFile));
    MainWindow window;
    EXPECT_EQ(describeColumns(grid(window).columns()), describeColumns(processGridColumns()));
    window.close();
    EXPECT_EQ(layoutBytes().toHex(' '), builtinLayoutFixture().toHex(' '));
    EXPECT_EQ(messages.texts(), QString());
}

TEST_F(ColumnLayoutWindow, MovedAndWidenedColumnsSurviveARestart)
{
    {
        MainWindow window;
        window.show();
        QHeaderView* header = grid(window).horizontalHeader();
        header->moveSection(header->visualIndex(grid(window).columnIndex(QStringLiteral("cmd"))), 0);
        header->resizeSection(grid(window).columnIndex(QStringLiteral("hostname")), 150);
        window.close();
    }
    EXPECT_EQ(itemOf(layoutBytes(), "hostname"),
              name("FieldName") + '\x06' + name("hostname") + name("Footers") + QByteArray("\x0e\0", 2)
                  + name("Title.Alignment") + '\x07' + name("taCenter") + name("Title.TitleButton") + '\x09'
                  + name("Width") + "\x03\x96" + '\0');

    MainWindow restarted;
    restarted.show();
    const GridColumns& columns = grid(restarted).columns();
    ASSERT_EQ(columns.size(), 30u);
    EXPECT_EQ(columns[0].fieldName, QStringLiteral("cmd"));
    EXPECT_EQ(columns[1].fieldName, QStringLiteral("spid"));
    const int hostname = grid(restarted).columnIndex(QStringLiteral("hostname"));
    EXPECT_EQ(columns[size_t(hostname)].width, 150);
    EXPECT_EQ(grid(restarted).horizontalHeader()->sectionSize(hostname), 150);
    EXPECT_EQ(messages.texts(), QString());
}

TEST_F(ColumnLayoutWindow, SortMarksComeBackWithoutNumbersAndOutsideTheSort)
{
    {
        MainWindow window;
        ResultGrid& g = grid(window);
        g.setSortMarker(g.columnIndex(QStringLiteral("cpu")), SortMarker::Up);
        g.setSortMarker(g.columnIndex(QStringLiteral("spid")), SortMarker::Down);
        window.close();
    }
    EXPECT_TRUE(itemOf(layoutBytes(), "cpu").contains(name("Title.SortIndex") + "\x02\x01" + name("Title.SortMarker")
                                                       + '\x07' + name("smUpEh")));
    EXPECT_TRUE(itemOf(layoutBytes(), "spid").contains(name("Title.SortIndex") + "\x02\x02" + name("Title.SortMarker")
                                                        + '\x07' + name("smDownEh")));

    MainWindow restarted;
    ResultGrid& g = grid(restarted);
    const GridColumn& cpu = g.columns()[size_t(g.columnIndex(QStringLiteral("cpu")))];
    const GridColumn& spid = g.columns()[size_t(g.columnIndex(QStringLiteral("spid")))];
    EXPECT_EQ(cpu.sortMarker, SortMarker::Up);
    EXPECT_EQ(spid.sortMarker, SortMarker::Down);
    EXPECT_EQ(cpu.sortIndex + spid.sortIndex, 0);
    EXPECT_TRUE(g.sortMarkedColumns().empty());
    // A Ctrl+click starts the sort-marked list afresh; the loaded marks stay visible outside it.
    const int kpid = g.columnIndex(QStringLiteral("kpid"));
    g.setSortMarker(kpid, SortMarker::Down);
    EXPECT_EQ(g.sortMarkedColumns(), std::vector<int>{kpid});
    EXPECT_EQ(g.columns()[size_t(kpid)].sortIndex, 1);
    EXPECT_EQ(cpu.sortMarker, SortMarker::Up);
}

TEST_F(ColumnLayoutWindow, FilterSettingsAreWrittenButNotLoaded)
{
    {
        MainWindow window;
        // What building the filter value lists leaves on every column.
        for (int i = 0; i < 30; ++i) {
            GridColumn& column = grid(window).column(i);
            column.filter.dataField = column.filter.listField = column.fieldName;
        }
        window.close();
    }
    EXPECT_TRUE(itemOf(layoutBytes(), "waittime").contains(name("STFilter.DataField") + '\x06' + name("waittime")
                                                            + name("STFilter.ListField") + '\x06' + name("waittime")));
    MainWindow restarted;
    EXPECT_EQ(describeColumns(grid(restarted).columns()), describeColumns(processGridColumns()));
}

TEST_F(ColumnLayoutWindow, BadFileIsShownAndTheRestOfStartUpSkipped)
{
    QByteArray unknownProperty = builtinLayoutFixture();
    const QByteArray kpidTitle = name("Title.TitleButton") + '\x09' + name("Width") + "\x02\x34";
    unknownProperty.replace(kpidTitle, name("Title.Tooltip") + '\x09' + name("Width") + "\x02\x34");
    QByteArray noSignature = builtinLayoutFixture();
    noSignature[0] = 'X';
    const struct {
        QByteArray file;
        QString message;
    } cases[] = {
        {unknownProperty, QStringLiteral("Error reading Columns[1].Title.Tooltip: Property Title.Tooltip does not exist.")},
        {builtinLayoutFixture().left(700), QStringLiteral("Error reading Columns: Stream read error.")},
        {builtinLayoutFixture().left(710), QStringLiteral("Error reading Columns[7].FieldName: Stream read error.")},
        {noSignature, QStringLiteral("Invalid stream format.")},
        {QByteArray(), QStringLiteral("Stream read error.")},
    };
    SettingsFile::setText(QStringLiteral("[ServerOption]\nServerName=srv\n[LoginOption]\nLoginName=sa\n"));
    for (const auto& c : cases) {
        setLayoutBytes(c.file);
        messages.all.clear();
        MainWindow window;
        ASSERT_EQ(messages.all.size(), 1u);
        EXPECT_EQ(messages.all[0].text, c.message);
        EXPECT_EQ(messages.all[0].caption, ownTitle());
        EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);
        EXPECT_EQ(describeColumns(grid(window).columns()), describeColumns(processGridColumns()));
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Процессы MS SQL"));
        EXPECT_EQ(part<QComboBox>(window, "serverBox")->currentText(), QString());
        EXPECT_EQ(part<QLineEdit>(window, "loginBox")->text(), QString());
        EXPECT_TRUE(showActive(window));
    }
}

TEST_F(ColumnLayoutWindow, UnwritableLayoutIsShownAndTheCloseGoesOn)
{
    MainWindow window;
    ASSERT_TRUE(showActive(window));
    ASSERT_TRUE(QDir().mkdir(LayoutFile));   // a directory where the file should be
    fillLogin(window, QStringLiteral("srv"), QStringLiteral("sa"), QString());
    window.close();
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_TRUE(messages.all[0].text.startsWith(QStringLiteral("Cannot create file \"ColReg.dat\". ")))
        << messages.all[0].text.toStdString();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(SettingsFile::text(), QStringLiteral("[ServerOption]\nServerName=srv\n[LoginOption]\nLoginName=sa\n"));
}
