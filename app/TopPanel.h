// The main window's top panel, laid out in pixels as designed: the server box, the login and
// password boxes, the "Windows authentication" box and the Connect, Disconnect, Exit and About
// buttons; the About button keeps to the right edge. The panel holds no logic: it reports the
// buttons and Enter in the password box, and shows the state it is given.
#pragma once

#include "ConnectText.h"

#include <QFrame>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QToolButton;

namespace velmora {

class TopPanel : public QFrame {
    Q_OBJECT
public:
    explicit TopPanel(QWidget* parent = nullptr);

    /// Fills the server box's list, sorted without regard to case, and chooses no entry.
    void setServerAliases(QStringList aliases);
    QString server() const;
    void setServer(const QString& server);
    QString login() const;
    void setLogin(const QString& login);
    /// What the operator typed and ticked, for a connect attempt (no version text).
    LoginInput loginInput() const;
    /// The login inputs and Connect are enabled while disconnected, Disconnect while connected.
    void setConnectedState(bool connected);

signals:
    /// The Connect button, or Enter in the password box.
    void connectRequested();
    void disconnectRequested();
    void exitRequested();
    void aboutRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QComboBox* m_serverBox = nullptr;
    QLineEdit* m_loginBox = nullptr;
    QLineEdit* m_passwordBox = nullptr;
    QCheckBox* m_windowsAuthenticationBox = nullptr;
    QToolButton* m_connectButton = nullptr;
    QToolButton* m_disconnectButton = nullptr;
    QToolButton* m_aboutButton = nullptr;
};

} // namespace velmora
