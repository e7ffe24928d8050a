#include "ConnectSession.h"

#include "Connection.h"
#include "ErrorDisplay.h"
#include "MessageSeam.h"
#include "Query.h"
#include "VersionText.h"

namespace velmora {

namespace {

void showNotice(const QString& caption, const QString& text, QMessageBox::Icon icon)
{
    MessageRequest request;
    request.caption = caption;
    request.text = text;
    request.icon = icon;
    showMessage(request);
}

} // namespace

ConnectSession::ConnectSession(QObject* parent)
    : QObject(parent), m_connection(new Connection(this))
{
}

bool ConnectSession::open(const LoginInput& input)
{
    m_serverFamily = ServerFamily::Sql70;
    if (trimmedText(input.server).isEmpty()) {
        showNotice(QStringLiteral("Сообщение"), QStringLiteral("Выберите сервер."), QMessageBox::Warning);
        return false;
    }
    if (trimmedText(input.login).isEmpty() && !input.windowsAuthentication) {
        showNotice(QStringLiteral("Сообщение"), QStringLiteral("Введите логин."), QMessageBox::Warning);
        return false;
    }

    LoginInput attempt = input;
    attempt.versionText = GetFileVersionText(ownExecutablePath());
    m_connection->setConnectionString(buildConnectionString(attempt));
    try {
        m_connection->open();
    } catch (...) {
        showNotice(QStringLiteral("Ошибка"),
                   QStringLiteral("Ошибка подключения к серверу ") + input.server + QStringLiteral(": ")
                       + errorText(std::current_exception()),
                   QMessageBox::Critical);
        close();
        return false;
    }
    if (!m_connection->isOpen()) {
        close();
        return false;
    }

    // A failing probe or version query would otherwise leave the connection open behind a
    // window that shows the disconnected state: show the error, then disconnect.
    try {
        probeServer();
    } catch (...) {
        showErrorDisplay(errorText(std::current_exception()));
        close();
        return false;
    }
    m_connected = true;
    emit stateChanged(true);
    return true;
}

void ConnectSession::probeServer()
{
    const CommandResult probe = m_connection->execute(QStringLiteral("Exec xp_msver 'ProductVersion'"));
    if (probe.rowCount() == 0) {
        showNotice(QStringLiteral("Сообщение"),
                   QStringLiteral("Ошибка работы  функции xp_msver. Сервер определен как MS SQL 2000"),
                   QMessageBox::Warning);
        m_serverFamily = ServerFamily::Sql2000;
    } else {
        m_serverFamily = probedServerFamily(probe);
    }
    const CommandResult version = m_connection->execute(QStringLiteral("SELECT @@VERSION"));
    if (version.rowCount() > 0)
        m_versionLine = velmora::versionLine(version.text(0));
}

void ConnectSession::close()
{
    m_connected = false;
    m_versionLine.clear();
    emit stateChanged(false);
    m_connection->close();
}

} // namespace velmora
