// What the main window's tests share: the message boxes recorded instead of shown, the
// settings file beside the test executable, and a look at the window's enabled controls.
#pragma once

#include "Connection.h"
#include "MainWindow.h"
#include "MessageSeam.h"
#include "ProcessTab.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <ostream>
#include <vector>

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace velmora::testing {

/// Records every message box (answering OK) while alive.
class RecordedMessages {
public:
    RecordedMessages()
        : m_previous(setMessageHandler([this](const MessageRequest& request) {
            all.push_back(request);
            return QMessageBox::Ok;
        }))
    {
    }
    ~RecordedMessages() { setMessageHandler(m_previous); }

    std::vector<MessageRequest> all;

private:
    MessageHandler m_previous;
};

/// "Velmora.ini" beside the test executable, removed before and after each test.
class SettingsFile {
public:
    SettingsFile() { QFile::remove(path()); }
    ~SettingsFile() { QFile::remove(path()); }

    static QString path()
    {
        return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Velmora.ini"));
    }
    static QString text()
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    static void setText(const QString& text)
    {
        QFile file(path());
        if (file.open(QIODevice::WriteOnly))
            file.write(text.toUtf8());
    }
};

/// The enabled state of every control and action of the window's state matrix, as one line.
inline QString enabledStates(const MainWindow& window)
{
    const std::pair<const char*, bool> states[] = {
        {"server", window.RzLineComboBox1->isEnabled()},
        {"login", window.RzLineEdit1->isEnabled()},
        {"password", window.RzLineEdit2->isEnabled()},
        {"windows", window.RzCheckBox1->isEnabled()},
        {"connect", window.RzToolbarButton1->isEnabled()},
        {"disconnect", window.RzToolbarButton2->isEnabled()},
        {"refresh", window.processTab->BtnMoveLeft->isEnabled()},
        {"reject", window.processTab->BtnReject->isEnabled()},
        {"view", window.processTab->View->isEnabled()},
        {"databases", window.RzToolbarButton4->isEnabled()},
        {"logs", window.RzToolbarButton6->isEnabled()},
        {"Ctrl+C", window.ConnectAction->isEnabled()},
        {"Ctrl+D", window.DiconectAction->isEnabled()},
        {"F5", window.RefAction->isEnabled()},
        {"Ctrl+Del", window.DelAction->isEnabled()},
        {"F3", window.FilterAction->isEnabled()},
        {"exit", window.RzToolbarButton3->isEnabled() && window.ExitAction->isEnabled()},
        {"about", window.RzToolbarButton5->isEnabled() && window.InfoAction->isEnabled()},
    };
    QStringList parts;
    for (const auto& [name, on] : states)
        parts << QString::fromLatin1(name) + (on ? QStringLiteral(" on") : QStringLiteral(" off"));
    return parts.join(QStringLiteral(", "));
}

inline const QString DisconnectedStates = QStringLiteral(
    "server on, login on, password on, windows on, connect on, disconnect off, refresh off, "
    "reject off, view off, databases off, logs off, Ctrl+C on, Ctrl+D off, F5 off, Ctrl+Del off, "
    "F3 off, exit on, about on");
inline const QString ConnectedStates = QStringLiteral(
    "server off, login off, password off, windows off, connect off, disconnect on, refresh on, "
    "reject on, view on, databases on, logs on, Ctrl+C off, Ctrl+D on, F5 on, Ctrl+Del on, "
    "F3 on, exit on, about on");

/// Shows the window and waits until it is active, so that its shortcuts work.
inline bool showActive(MainWindow& window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

inline void fillLogin(MainWindow& window, const QString& server, const QString& login,
                      const QString& password, bool windowsAuthentication = false)
{
    window.RzLineComboBox1->setEditText(server);
    window.RzLineEdit1->setText(login);
    window.RzLineEdit2->setText(password);
    window.RzCheckBox1->setChecked(windowsAuthentication);
}

} // namespace velmora::testing
