// The main window without a server: start-up, input messages, keys, the close roads and the
// general error display.
#include "MainWindowTestSupport.h"

#include "ErrorDisplay.h"
#include "IniFile.h"
#include "Query.h"

#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    SettingsFile m_settings;
    RecordedMessages m_messages;
};

QString messageTexts(const std::vector<MessageRequest>& messages)
{
    QStringList texts;
    for (const MessageRequest& message : messages)
        texts << message.caption + u'|' + message.text;
    return texts.join(u'\n');
}

} // namespace

TEST_F(MainWindowTest, StartsDisconnectedWithSettingsFromBesideTheExecutable)
{
    SettingsFile::setText(QStringLiteral("[ServerOption]\nServerName= dbhost,1433 \n"
                                         "[LoginOption]\nLoginName=operator\n"));
    QTemporaryDir elsewhere;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());
    MainWindow window;
    QDir::setCurrent(previous);

    // This test executable carries no version block.
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Процессы MS SQL. Версия: ERROR"));
    EXPECT_EQ(window.RzLineComboBox1->currentText(), QStringLiteral("dbhost,1433"));
    EXPECT_EQ(window.RzLineEdit1->text(), QStringLiteral("operator"));
    EXPECT_EQ(window.RzLineEdit2->text(), QString());
    EXPECT_FALSE(window.RzCheckBox1->isChecked());
    EXPECT_EQ(enabledStates(window), DisconnectedStates);
    EXPECT_FALSE(window.Connect->isOpen());
    EXPECT_TRUE(window.RzStatusPane1->text().isEmpty());

    QStringList tabs;
    for (int i = 0; i < window.RzPageControl1->count(); ++i)
        tabs << window.RzPageControl1->tabText(i);
    EXPECT_EQ(tabs.join(u','), QStringLiteral("Процессы,Базы,Сервер,Логи"));
    EXPECT_EQ(window.RzPageControl1->currentIndex(), 0);
    EXPECT_TRUE(m_messages.all.empty());
}

TEST_F(MainWindowTest, ServerListHoldsTheAliasesSortedAndTheBoxKeepsTheStoredText)
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("freetds.conf"));
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[global]\n\ttds version = 7.1\n[zeta]\n\thost = 10.0.0.2\n[Alpha]\n\thost = 10.0.0.1\n"
               "[beta]\n\thost = 10.0.0.3\n");
    file.close();
    const QByteArray previous = qgetenv("FREETDSCONF");
    qputenv("FREETDSCONF", config.toLocal8Bit());
    SettingsFile::setText(QStringLiteral("[ServerOption]\nServerName=typed-server\n"));

    MainWindow window;
    qputenv("FREETDSCONF", previous);

    QStringList items;
    for (int i = 0; i < window.RzLineComboBox1->count(); ++i)
        items << window.RzLineComboBox1->itemText(i);
    EXPECT_EQ(items.join(u','), QStringLiteral("Alpha,beta,zeta"));
    EXPECT_EQ(window.RzLineComboBox1->currentText(), QStringLiteral("typed-server"));
}

TEST_F(MainWindowTest, InputMessagesStopTheAttemptAndChangeNothing)
{
    const struct {
        QString server;
        QString login;
        bool windowsAuthentication;
        QString message;
    } cases[] = {
        {QString(), QStringLiteral("sa"), false, QStringLiteral("Выберите сервер.")},
        {QStringLiteral(" \t\x01 "), QStringLiteral("sa"), false, QStringLiteral("Выберите сервер.")},
        {QString(), QString(), true, QStringLiteral("Выберите сервер.")},
        {QStringLiteral("srv"), QString(), false, QStringLiteral("Введите логин.")},
        {QStringLiteral("srv"), QStringLiteral("  \x02"), false, QStringLiteral("Введите логин.")},
    };
    MainWindow window;
    for (const auto& c : cases) {
        m_messages.all.clear();
        fillLogin(window, c.server, c.login, QStringLiteral("pw"), c.windowsAuthentication);
        window.RzToolbarButton1Click();

        ASSERT_EQ(m_messages.all.size(), 1u) << c.message.toStdString();
        EXPECT_EQ(m_messages.all[0].caption, QStringLiteral("Сообщение"));
        EXPECT_EQ(m_messages.all[0].text, c.message);
        EXPECT_EQ(m_messages.all[0].icon, QMessageBox::Warning);
        EXPECT_EQ(m_messages.all[0].buttons, QMessageBox::Ok);
        EXPECT_EQ(window.Connect->connectionString(), QString()) << "no attempt was made";
        EXPECT_EQ(enabledStates(window), DisconnectedStates);
        EXPECT_EQ(window.RzLineComboBox1->currentText(), c.server);
    }
}

TEST_F(MainWindowTest, ConnectKeysWorkFromTheEditBoxesAndEnterOnlyFromThePassword)
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
        {window.RzLineEdit2, Qt::Key_C, Qt::ControlModifier, true},
        {window.RzLineEdit1, Qt::Key_C, Qt::ControlModifier, true},
        {window.RzLineComboBox1, Qt::Key_C, Qt::ControlModifier, true},
        {window.RzLineEdit2, Qt::Key_Return, Qt::NoModifier, true},
        {window.RzLineEdit1, Qt::Key_Return, Qt::NoModifier, false},
        {window.RzLineComboBox1, Qt::Key_Return, Qt::NoModifier, false},
    };
    for (const auto& c : cases) {
        m_messages.all.clear();
        c.focus->setFocus();
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, c.key, c.modifiers);
        // With a blank server box a connect attempt shows exactly this message.
        EXPECT_EQ(messageTexts(m_messages.all),
                  c.connects ? QStringLiteral("Сообщение|Выберите сервер.") : QString())
            << c.focus->objectName().toStdString() << " key " << c.key;
    }
    EXPECT_EQ(window.RzLineEdit2->text(), QStringLiteral("secret"));
}

TEST_F(MainWindowTest, KeysOfDisabledActionsDoNothingWhileDisconnected)
{
    MainWindow window;
    ASSERT_TRUE(showActive(window));
    window.RzLineEdit1->setFocus();
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_F5, Qt::NoModifier}, std::pair{Qt::Key_F3, Qt::NoModifier},
                                         std::pair{Qt::Key_D, Qt::ControlModifier},
                                         std::pair{Qt::Key_Delete, Qt::ControlModifier}})
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    EXPECT_TRUE(m_messages.all.empty());
    EXPECT_EQ(enabledStates(window), DisconnectedStates);
    EXPECT_FALSE(window.processTab->procSource()->isActive());
}

TEST_F(MainWindowTest, EveryCloseRoadSavesTheSameSettings)
{
    const std::pair<const char*, std::function<void(MainWindow&)>> roads[] = {
        {"Exit button", [](MainWindow& w) { QTest::mouseClick(w.RzToolbarButton3, Qt::LeftButton); }},
        {"Alt+X", [](MainWindow&) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_X, Qt::AltModifier); }},
        {"close box", [](MainWindow& w) { w.close(); }},
    };
    QStringList saved;
    for (const auto& [name, close] : roads) {
        QFile::remove(SettingsFile::path());
        MainWindow window;
        ASSERT_TRUE(showActive(window));
        window.RzLineEdit2->setFocus();
        fillLogin(window, QStringLiteral("  srv with blanks "), QStringLiteral(" sa"), QStringLiteral("never saved"));
        close(window);
        EXPECT_FALSE(window.isVisible()) << name;
        saved << SettingsFile::text();
    }
    EXPECT_EQ(saved[0], saved[1]);
    EXPECT_EQ(saved[0], saved[2]);
    EXPECT_FALSE(saved[0].contains(QStringLiteral("never saved")));
    EXPECT_FALSE(saved[0].contains(QStringLiteral("SortOption"))) << "disconnected: no sort string";
    EXPECT_EQ(ReadIniValue(QStringLiteral("Velmora.ini"), QStringLiteral("ServerOption"), QStringLiteral("ServerName")),
              QStringLiteral("  srv with blanks "));
    EXPECT_EQ(ReadIniValue(QStringLiteral("Velmora.ini"), QStringLiteral("LoginOption"), QStringLiteral("LoginName")),
              QStringLiteral(" sa"));

    // The next start restores both as typed.
    MainWindow next;
    EXPECT_EQ(next.RzLineComboBox1->currentText(), QStringLiteral("  srv with blanks "));
    EXPECT_EQ(next.RzLineEdit1->text(), QStringLiteral(" sa"));
}

TEST_F(MainWindowTest, BlankBoxesAtCloseLeaveTheStoredValues)
{
    const QString stored = QStringLiteral("[ServerOption]\nServerName=old-server\n[LoginOption]\nLoginName=old-login\n"
                                          "[SortOption]\nSort=spid DESC\n");
    SettingsFile::setText(stored);
    MainWindow window;
    fillLogin(window, QStringLiteral(" \t "), QString(), QString());
    window.close();
    EXPECT_EQ(SettingsFile::text(), stored);
}

TEST_F(MainWindowTest, AboutButtonKeepsToTheRightEdgeAndTheOthersStay)
{
    MainWindow window;
    window.show();
    for (int width : {971, 1400, 700}) {
        window.resize(width, 531);
        QApplication::processEvents();
        const QWidget* panel = window.RzToolbarButton5->parentWidget();
        EXPECT_EQ(window.RzToolbarButton5->geometry().right() + 1, panel->width() - 4) << width;
        EXPECT_EQ(window.RzToolbarButton1->x(), 837) << width;
        EXPECT_EQ(window.RzToolbarButton3->x(), 889) << width;
    }
}

TEST(ErrorDisplay, CaptionIsTheProgramTitleFromTheExecutableName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/local/bin/Velmora", "Velmora"},
        {"C:\\Tools\\VELMORA.EXE", "Velmora"},
        {"/opt/velmora/Velmora.2.4.bin", "Velmora"},
        {"/opt/ПРОЦЕССЫ.exe", "Процессы"},
        {"velmora", "velmora"},
    };
    for (const auto& [path, title] : cases)
        EXPECT_EQ(programTitle(QString::fromUtf8(path).replace(u'\\', u'/')), QString::fromUtf8(title)) << path;
}

TEST(ErrorDisplay, FullStopOnlyAfterCharactersSortingAfterIt)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Timeout expired", "Timeout expired."},
        {"Error 42", "Error 42."},
        {"Нет связи", "Нет связи."},
        {"Already ended.", "Already ended."},
        {"Which one?", "Which one?."},
        {"path/", "path/."},
        {"Stop!", "Stop!"},
        {"(none)", "(none)"},
        {"trailing blank ", "trailing blank "},
        {"a-", "a-"},
        {"", ""},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(withFullStop(QString::fromUtf8(text)), QString::fromUtf8(shown)) << text;
}

TEST(ErrorDisplay, ShowsAModalErrorBoxWithOneButton)
{
    RecordedMessages messages;
    showErrorDisplay(QStringLiteral("Field 'spid' not found"));
    ASSERT_EQ(messages.all.size(), 1u);
    EXPECT_EQ(messages.all[0].caption, programTitle(QCoreApplication::applicationFilePath()));
    EXPECT_EQ(messages.all[0].text, QStringLiteral("Field 'spid' not found."));
    EXPECT_EQ(messages.all[0].icon, QMessageBox::Critical);
    EXPECT_EQ(messages.all[0].buttons, QMessageBox::Ok);
}
