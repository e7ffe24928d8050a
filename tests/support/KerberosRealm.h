// A throw-away Kerberos realm for tests, set up by scripts/kerberos-realm.sh in a temporary
// directory: its own KDC on 127.0.0.1, principals with keytabs, tickets in private caches. While
// it lives, this process's Kerberos library (the driver's and sqlsim's) reads the realm's
// configuration.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <utility>
#include <vector>

class KerberosRealm {
public:
    /// Creates the realm and starts its KDC. Throws std::runtime_error when it cannot.
    KerberosRealm();
    /// Stops the KDC and gives the process its previous Kerberos environment back.
    ~KerberosRealm();
    KerberosRealm(const KerberosRealm&) = delete;
    KerberosRealm& operator=(const KerberosRealm&) = delete;

    static QString name() { return QStringLiteral("VELMORA.TEST"); }
    /// A file in the realm's directory.
    QString path(const QString& file) const { return m_dir.filePath(file); }

    /// Adds `principal` with a random key and writes that key to `keytab` (added when it exists).
    void addPrincipal(const QString& principal, const QString& keytab);
    /// Gets a ticket for `principal`, whose key is in `keytab`, into the credentials cache
    /// `ccache`, valid for `lifetime` (kinit's notation: "10h", "1s").
    void getTicket(const QString& principal, const QString& keytab, const QString& ccache,
                   const QString& lifetime = QStringLiteral("10h"));
    /// Makes `ccache` the credentials cache the driver uses.
    static void useCredentials(const QString& ccache);

private:
    void run(const QStringList& arguments);

    QTemporaryDir m_dir;
    std::vector<std::pair<QByteArray, QByteArray>> m_savedEnvironment;
};
