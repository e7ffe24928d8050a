#include "KerberosRealm.h"

#include <QProcess>
#include <stdexcept>

namespace {

const char* const kRealmVariables[] = {"KRB5_CONFIG", "KRB5_KDC_PROFILE", "KRB5RCACHEDIR", "KRB5CCNAME"};

} // namespace

KerberosRealm::KerberosRealm()
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary directory for the Kerberos realm");
    for (const char* variable : kRealmVariables)
        m_savedEnvironment.emplace_back(variable, qgetenv(variable));
    run({QStringLiteral("start")});
    qputenv("KRB5_CONFIG", path(QStringLiteral("krb5.conf")).toLocal8Bit());
    qputenv("KRB5_KDC_PROFILE", path(QStringLiteral("kdc.conf")).toLocal8Bit());
    qputenv("KRB5RCACHEDIR", m_dir.path().toLocal8Bit());
    useCredentials(path(QStringLiteral("no-ticket.ccache")));
}

KerberosRealm::~KerberosRealm()
{
    try {
        run({QStringLiteral("stop")});
    } catch (const std::exception& e) {
        qWarning("%s", e.what());
    }
    for (const auto& [variable, value] : m_savedEnvironment) {
        if (value.isEmpty())
            qunsetenv(variable.constData());
        else
            qputenv(variable.constData(), value);
    }
}

void KerberosRealm::addPrincipal(const QString& principal, const QString& keytab)
{
    run({QStringLiteral("principal"), principal, keytab});
}

void KerberosRealm::getTicket(const QString& principal, const QString& keytab, const QString& ccache,
                              const QString& lifetime)
{
    run({QStringLiteral("ticket"), principal, keytab, ccache, lifetime});
}

void KerberosRealm::useCredentials(const QString& ccache)
{
    qputenv("KRB5CCNAME", (QStringLiteral("FILE:") + ccache).toLocal8Bit());
}

void KerberosRealm::run(const QStringList& arguments)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    QStringList all{QStringLiteral(VELMORA_KERBEROS_REALM_SCRIPT), arguments.front(), m_dir.path()};
    all += arguments.mid(1);
    script.start(QStringLiteral("bash"), all);
    if (!script.waitForFinished(60000) || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0)
        throw std::runtime_error("kerberos-realm.sh " + arguments.join(u' ').toStdString() + " failed: "
                                 + script.readAll().toStdString());
}
