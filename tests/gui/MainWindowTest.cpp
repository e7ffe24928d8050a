// The main window without a server: start-up, input messages, keys, the close roads and the
// general error display.
#include "MainWindowTestSupport.h"

#include "Connection.h"
#include "ErrorDisplay.h"
#include "IniFile.h"

#include "AboutBox.h"
#include "DbError.h"
#include "ResultGrid.h"
#include "TahomaFace.h"
#include "ProcessDetailWindow.h"
#include "TabToolBar.h"
#include "WindowParts.h"

#include <QFontInfo>
#include <QStyle>
#include <QStyleOptionButton>
#include <QHeaderView>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QEvent>
#include <QTest>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

struct MainWindowTest : ::testing::Test {
    SettingsFile settings;
    RecordedMessages messages;
};

} // namespace

TEST_F(MainWindowTest, StartsDisconnectedWithAliasesAndSettingsFromBesideTheExecutable)
{
    QTemporaryDir elsewhere;
    QFile config(elsewhere.filePath(QStringLiteral("freetds.conf")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("[global]\n\tport = 1433\n[zeta]\n\thost = a\n[Alpha]\n\thost = b\n[beta]\n\thost = c\n");
    config.close();
    const QByteArray previousConfig = qgetenv("FREETDSCONF");
    qputenv("FREETDSCONF", config.fileName().toLocal8Bit());
    SettingsFile::setText(QStringLiteral("[ServerOption]\nServerName= dbhost,1433 \n[LoginOption]\nLoginName=operator\n"));
    const QString previousDir = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());
    MainWindow window;
    QDir::setCurrent(previousDir);
    qputenv("FREETDSCONF", previousConfig);

    // This test executable carries no version block.
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Процессы MS SQL. Версия: ERROR"));
    QStringList aliases;
    const QComboBox& serverBox = *part<QComboBox>(window, "serverBox");
    for (int i = 0; i < serverBox.count(); ++i)
        aliases << serverBox.itemText(i);
    EXPECT_EQ(aliases.join(u','), QStringLiteral("Alpha,beta,zeta"));
    EXPECT_EQ(serverBox.currentText(), QStringLiteral("dbhost,1433"));
    EXPECT_EQ(part<QLineEdit>(window, "loginBox")->text(), QStringLiteral("operator"));
    EXPECT_EQ(part<QLineEdit>(window, "passwordBox")->text(), QString());
    EXPECT_FALSE(part<QCheckBox>(window, "windowsAuthenticationBox")->isChecked());
    EXPECT_EQ(disabledControls(window), DisconnectedOff);
    QStringList tabs;
    const QTabWidget& tabWidget = *part<QTabWidget>(window, "tabs");
    for (int i = 0; i < tabWidget.count(); ++i)
        tabs << tabWidget.tabText(i);
    EXPECT_EQ(tabs.join(u','), QStringLiteral("Процессы,Базы,Сервер,Логи"));
    EXPECT_EQ(tabWidget.currentIndex(), 0);
    EXPECT_EQ(messages.texts(), QString());
}

TEST_F(MainWindowTest, InputMessagesStopTheAttemptAndChangeNothing)
{
    const struct {
        QString server, login;
        bool windowsAuthentication;
        QString message;
    } cases[] = {
        {QString(), QStringLiteral("sa"), false, QStringLiteral("Выберите сервер.")},
        {QStringLiteral(" \t\x01 "), QStringLiteral("sa"), false, QStringLiteral("Выберите сервер.")},
        {QString(), QString(), true, QStringLiteral("Выберите сервер.")},
        {QStringLiteral("srv"), QStringLiteral("  \x02"), false, QStringLiteral("Введите логин.")},
    };
    MainWindow window;
    for (const auto& c : cases) {
        messages.all.clear();
        fillLogin(window, c.server, c.login, QStringLiteral("pw"), c.windowsAuthentication);
        window.connectClicked();
        ASSERT_EQ(messages.all.size(), 1u);
        EXPECT_EQ(messages.texts(), QStringLiteral("Сообщение|") + c.message);
        EXPECT_EQ(messages.all[0].icon, QMessageBox::Warning);
        EXPECT_EQ(window.connection()->connectionString(), QString()) << "no attempt was made";
        EXPECT_EQ(disabledControls(window), DisconnectedOff);
    }
}

TEST_F(MainWindowTest, CtrlCConnectsFromEveryEditBoxAndEnterOnlyFromThePassword)
{
    MainWindow window;
    ASSERT_TRUE(showActive(window));
    fillLogin(window, QString(), QStringLiteral("sa"), QStringLiteral("secret"));
    const struct {
        QWidget* focus;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool connects;
    } cases[] = {
        {part<QLineEdit>(window, "passwordBox"), Qt::Key_C, Qt::ControlModifier, true},
        {part<QLineEdit>(window, "loginBox"), Qt::Key_C, Qt::ControlModifier, true},
        {part<QComboBox>(window, "serverBox"), Qt::Key_C, Qt::ControlModifier, true},
        {part<QLineEdit>(window, "passwordBox"), Qt::Key_Return, Qt::NoModifier, true},
        {part<QLineEdit>(window, "loginBox"), Qt::Key_Return, Qt::NoModifier, false},
        {part<QComboBox>(window, "serverBox"), Qt::Key_Return, Qt::NoModifier, false},
    };
    for (const auto& c : cases) {
        messages.all.clear();
        c.focus->setFocus();
        pressKey(c.key, c.modifiers);
        // With a blank server box a connect attempt shows just this message.
        EXPECT_EQ(messages.texts(), c.connects ? QStringLiteral("Сообщение|Выберите сервер.") : QString())
            << c.focus->objectName().toStdString() << ", key " << c.key;
    }
}

TEST_F(MainWindowTest, EveryCloseRoadSavesServerAndLoginAsTyped)
{
    const std::function<void(MainWindow&)> roads[] = {
        [](MainWindow& w) { click(*part<QToolButton>(w, "exitButton")); },
        [](MainWindow&) { pressKey(Qt::Key_X, Qt::AltModifier); },
        [](MainWindow& w) { w.close(); },
    };
    const QString saved = QStringLiteral("[ServerOption]\nServerName=\"  srv \"\n[LoginOption]\nLoginName=\" sa\"\n");
    for (const auto& close : roads) {
        QFile::remove(SettingsFile::path());
        MainWindow window;
        ASSERT_TRUE(showActive(window));
        part<QLineEdit>(window, "passwordBox")->setFocus();
        fillLogin(window, QStringLiteral("  srv "), QStringLiteral(" sa"), QStringLiteral("never saved"));
        close(window);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(SettingsFile::text(), saved);
    }
    MainWindow next;
    EXPECT_EQ(part<QComboBox>(next, "serverBox")->currentText(), QStringLiteral("  srv "));
    EXPECT_EQ(part<QLineEdit>(next, "loginBox")->text(), QStringLiteral(" sa"));
}

TEST_F(MainWindowTest, BlankBoxesAtCloseLeaveTheStoredValues)
{
    const QString stored = QStringLiteral("[ServerOption]\nServerName=old\n[LoginOption]\nLoginName=old\n[SortOption]\nSort=spid\n");
    SettingsFile::setText(stored);
    MainWindow window;
    fillLogin(window, QStringLiteral(" \t "), QString(), QString());
    window.close();
    EXPECT_EQ(SettingsFile::text(), stored);
}

TEST_F(MainWindowTest, AboutButtonKeepsToTheRightEdge)
{
    MainWindow window;
    window.show();
    for (int width : {971, 1400, 700}) {
        window.resize(width, 531);
        QApplication::processEvents();
        const QToolButton& about = *part<QToolButton>(window, "aboutButton");
        EXPECT_EQ(about.geometry().right() + 1, about.parentWidget()->width() - 4);
        EXPECT_EQ(part<QToolButton>(window, "exitButton")->x(), 889);
    }
}

TEST_F(MainWindowTest, DesignSizesAreOuterSizesWithTheClassicFrame)
{
    // 4 pixels of border on each side and a caption of 19 above: the client areas that remain
    // are exactly what the parts laid out inside them add up to.
    MainWindow window;
    EXPECT_EQ(window.size(), QSize(963, 504));
    ProcessDetailWindow detail;
    EXPECT_EQ(detail.size(), QSize(816, 385));
    detail.layout()->activate();
    EXPECT_EQ(part<QWidget>(detail, "detailToolBar")->height(), 29);
    EXPECT_EQ(part<QWidget>(detail, "locksBox")->height(), 230);
    EXPECT_EQ(part<QWidget>(detail, "inputBufferBox")->height(), 126);
}

TEST(ErrorDisplay, CaptionAndFullStopRules)
{
    const std::pair<const char*, const char*> titles[] = {
        {"/usr/local/bin/Velmora", "Velmora"}, {"/opt/VELMORA.EXE", "Velmora"},
        {"/opt/Velmora.2.4.bin", "Velmora"}, {"/opt/ПРОЦЕССЫ.exe", "Процессы"}, {"velmora", "velmora"},
    };
    for (const auto& [path, title] : titles)
        EXPECT_EQ(programTitle(QString::fromUtf8(path)), QString::fromUtf8(title));

    const std::pair<const char*, const char*> texts[] = {
        {"Timeout expired", "Timeout expired."}, {"Error 42", "Error 42."}, {"Нет связи", "Нет связи."},
        {"Which one?", "Which one?."}, {"Ended.", "Ended."}, {"Stop!", "Stop!"}, {"(none)", "(none)"},
        {"blank ", "blank "}, {"", ""},
    };
    for (const auto& [text, shown] : texts)
        EXPECT_EQ(withFullStop(QString::fromUtf8(text)), QString::fromUtf8(shown));

    RecordedMessages messages;
    showErrorDisplay(QStringLiteral("Field 'spid' not found"));
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_EQ(messages.texts(), ownTitle() + QStringLiteral("|Field 'spid' not found."));
    EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);
    EXPECT_EQ(messages.all[0].buttons, QMessageBox::Ok);
}

namespace {

// An object whose own event handler fails on the first of its events. The error leaves the
// handler straight into the application's last resort, not through Qt's signal code, which makes
// no promise to be left whole by it (and leaks the click it was delivering).
class FailingReceiver : public QObject {
public:
    int events = 0;

    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        if (++events == 1)
            throw DbError(DbError::Cause::Server, QStringLiteral("[FreeTDS][SQL Server]Timeout expired"));
        return true;
    }
};

} // namespace

TEST(ErrorDisplay, AnErrorLeavingAnEventHandlerIsShownAndEventsGoOn)
{
    RecordedMessages messages;
    FailingReceiver receiver;

    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&receiver);
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_EQ(messages.texts(), ownTitle() + QStringLiteral("|[FreeTDS][SQL Server]Timeout expired."));
    EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);

    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&receiver);
    EXPECT_EQ(receiver.events, 2);
    EXPECT_EQ(messages.all.size(), 1u);
}

TEST_F(MainWindowTest, StatusPaneShrinksAndElidesALongVersionLine)
{
    MainWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const int narrowest = window.minimumSizeHint().width();
    const QString line = QStringLiteral("Microsoft SQL Server  2000 - 8.00.2039 (Intel X86)  Enterprise Edition on "
                                        "Windows NT 5.2 (Build 3790: Service Pack 2) and a good deal more")
                             .repeated(2);
    StatusPane& pane = *part<StatusPane>(window, "versionPane");
    pane.setText(line);
    QApplication::processEvents();
    EXPECT_EQ(window.minimumSizeHint().width(), narrowest) << "a version line holds the window no wider";

    window.resize(300, 531);
    QApplication::processEvents();
    EXPECT_EQ(window.width(), narrowest);
    const QString shown = pane.shownText();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(line.startsWith(shown.chopped(1)));
    EXPECT_LE(pane.fontMetrics().horizontalAdvance(shown), pane.width());
    EXPECT_EQ(pane.text(), line) << "the pane keeps the whole line";

    window.resize(2600, 531);
    QApplication::processEvents();
    EXPECT_EQ(pane.shownText(), line);
}

namespace {

// The mean length of the horizontal runs of dark pixels: how wide the strokes are drawn.
double meanDarkRun(const QImage& image)
{
    int runs = 0;
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        bool inRun = false;
        for (int x = 0; x < image.width(); ++x) {
            const bool isDark = qGray(image.pixel(x, y)) < 128;
            dark += isDark;
            runs += isDark && !inRun;
            inRun = isDark;
        }
    }
    return runs ? double(dark) / runs : 0;
}

} // namespace

TEST(TahomaFace, TheWindowsResolveTahomaWhenThePackageIsInstalled)
{
    if (!QFile::exists(wineTahomaFiles().front()))
        GTEST_SKIP() << "fonts-wine is not installed";
    // The application object provided it at start; asking again changes nothing.
    EXPECT_TRUE(provideTahoma());
    SettingsFile settings;
    MainWindow window;
    for (const QWidget* widget : {static_cast<QWidget*>(part<QCheckBox>(window, "windowsAuthenticationBox")), static_cast<QWidget*>(part<QTabWidget>(window, "tabs")),
                                  static_cast<QWidget*>(part<ResultGrid>(window, "processGrid"))})
        EXPECT_EQ(QFontInfo(widget->font()).family(), QStringLiteral("Tahoma")) << widget->objectName().toStdString();
    const QFontInfo label(part<QLabel>(window, "serverLabel")->font());
    EXPECT_EQ(label.family(), QStringLiteral("Tahoma"));
    EXPECT_TRUE(label.bold());
    const QFontInfo title(part<ResultGrid>(window, "processGrid")->horizontalHeader()->font());
    EXPECT_EQ(title.family(), QStringLiteral("Tahoma"));
    EXPECT_TRUE(title.bold());
    // Bold is drawn bold, at 8 points and at 10: each label beside the same text in the regular
    // weight of the same face.
    AboutBox about(&window);
    for (QLabel* bold : {part<QLabel>(window, "serverLabel"), part<QLabel>(about, "productNameLabel")}) {
        SCOPED_TRACE(bold->text().toStdString());
        QLabel regular(bold->text());
        QFont regularFont = bold->font();
        regularFont.setBold(false);
        regular.setFont(regularFont);
        regular.resize(bold->size());
        const double boldRun = meanDarkRun(bold->grab().toImage());
        const double regularRun = meanDarkRun(regular.grab().toImage());
        EXPECT_GT(regularRun, 1.0);
        EXPECT_GT(boldRun, regularRun * 1.35) << boldRun << " against " << regularRun;
    }
    // "Windows authentication" fits its 134 pixels: box, gap and caption.
    const QCheckBox& box = *part<QCheckBox>(window, "windowsAuthenticationBox");
    QStyleOptionButton option;
    option.initFrom(&box);
    option.text = box.text();
    const QRect caption = box.style()->subElementRect(QStyle::SE_CheckBoxContents, &option, &box);
    EXPECT_LE(caption.left() + box.fontMetrics().horizontalAdvance(option.text), box.width());
}

TEST_F(MainWindowTest, TabsChangeByTheirKeysFromAnywhereAndByArrowsOnTheTabRow)
{
    MainWindow window;
    ASSERT_TRUE(showActive(window));
    QTabWidget& tabs = *part<QTabWidget>(window, "tabs");
    part<QLineEdit>(window, "loginBox")->setFocus();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int tab;
    } steps[] = {
        {Qt::Key_Tab, Qt::ControlModifier, 1},
        {Qt::Key_PageDown, Qt::ControlModifier, 2},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 1},
        {Qt::Key_PageUp, Qt::ControlModifier, 0},
        {Qt::Key_PageUp, Qt::ControlModifier, 3},   // round from the first to the last
        {Qt::Key_Tab, Qt::ControlModifier, 0},
    };
    for (const auto& step : steps) {
        pressKey(step.key, step.modifiers);
        EXPECT_EQ(tabs.currentIndex(), step.tab) << "key " << step.key;
    }

    QTabBar& bar = *tabs.tabBar();
    click(bar, bar.tabRect(2).center());
    EXPECT_EQ(tabs.currentIndex(), 2);
    EXPECT_EQ(QApplication::focusWidget(), &bar);
    pressKey(Qt::Key_Right);
    EXPECT_EQ(tabs.currentIndex(), 3);
    EXPECT_TRUE(messages.texts().isEmpty());
}

TEST_F(MainWindowTest, AtItsNarrowestTheTopPanelKeepsEveryControlApartAndInReach)
{
    MainWindow window;
    ASSERT_TRUE(showActive(window));
    window.resize(200, window.height());
    QTest::qWait(0);
    const QWidget& panel = *part<QWidget>(window, "topPanel");
    const QToolButton* aboutButton = part<QToolButton>(window, "aboutButton");
    const QRect about = aboutButton->geometry();
    EXPECT_FALSE(about.intersects(part<QLineEdit>(window, "passwordBox")->geometry()));
    for (const char* name : {"connectButton", "disconnectButton", "exitButton", "aboutButton"}) {
        const QToolButton* button = part<QToolButton>(window, name);
        EXPECT_TRUE(panel.rect().contains(button->geometry())) << name;
        EXPECT_FALSE(button->geometry().intersects(about) && button != aboutButton) << name;
    }
}
