// What the main window's tests share: message boxes recorded instead of shown, the settings
// file beside the test executable, and the window's enabled controls and actions as one line.
#pragma once

#include "ErrorDisplay.h"
#include "MainWindow.h"
#include "MessageSeam.h"
#include "ProcessTab.h"
#include "StatusPane.h"
#include "WindowInput.h"
#include "WindowParts.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <vector>

namespace velmora::testing {

/// The caption of the error display in this test executable: its program title.
inline QString ownTitle() { return programTitle(QCoreApplication::applicationFilePath()); }

/// Records every message box (answering OK) while alive.
struct RecordedMessages {
    RecordedMessages()
        : previous(setMessageHandler([this](const MessageRequest& request) {
            all.push_back(request);
            return QMessageBox::Ok;
        })) {}
    ~RecordedMessages() { setMessageHandler(previous); }
    /// "caption|text" of each message, a line each.
    QString texts() const
    {
        QStringList lines;
        for (const MessageRequest& message : all)
            lines << message.caption + u'|' + message.text;
        return lines.join(u'\n');
    }

    std::vector<MessageRequest> all;
    MessageHandler previous;
};

/// A fresh working directory while alive, so that the "ColReg.dat" a closing window writes
/// there reaches no other test.
struct WorkingDirectory {
    WorkingDirectory() { QDir::setCurrent(dir.path()); }
    ~WorkingDirectory() { QDir::setCurrent(previous); }
    QString filePath(const QString& name) const { return dir.filePath(name); }

    QString previous = QDir::currentPath();
    QTemporaryDir dir;
};

/// "Velmora.ini" beside the test executable, removed before and after each test. ctest runs each
/// case from a directory of its own (tests/support/run-apart.sh); cases started by hand side by
/// side share the one file, so each holds a lock on it while it runs. Each test works in a
/// directory of its own.
struct SettingsFile {
    SettingsFile()
    {
        lock.lock();
        QFile::remove(path());
    }
    ~SettingsFile() { QFile::remove(path()); }
    static QString path() { return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Velmora.ini")); }
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

    QLockFile lock{path() + QStringLiteral(".lock")};
    WorkingDirectory workingDirectory;
};

/// The disabled controls and actions of the window's state matrix, by name.
inline QString disabledControls(const MainWindow& w)
{
    QStringList off;
    for (const char* name : {"serverBox", "loginBox", "passwordBox", "windowsAuthenticationBox", "connectButton",
                             "disconnectButton", "refreshButton", "killButton", "filterValuesButton",
                             "databaseRefreshButton", "logRefreshButton", "exitButton", "aboutButton"}) {
        const QWidget* control = part<QWidget>(w, name);
        if (!control->isEnabled())
            off << control->objectName();
    }
    for (const QAction* action : w.actions())
        if (!action->isEnabled())
            off << action->objectName();
    return off.join(u' ');
}

inline const QString DisconnectedOff = QStringLiteral(
    "disconnectButton refreshButton killButton filterValuesButton databaseRefreshButton logRefreshButton "
    "disconnectAction RefAction DelAction FilterAction");
inline const QString ConnectedOff = QStringLiteral(
    "serverBox loginBox passwordBox windowsAuthenticationBox connectButton ConnectAction");

inline void fillLogin(MainWindow& window, const QString& server, const QString& login,
                      const QString& password, bool windowsAuthentication = false)
{
    part<QComboBox>(window, "serverBox")->setEditText(server);
    part<QLineEdit>(window, "loginBox")->setText(login);
    part<QLineEdit>(window, "passwordBox")->setText(password);
    part<QCheckBox>(window, "windowsAuthenticationBox")->setChecked(windowsAuthentication);
}

} // namespace velmora::testing
