// How the simulated server authenticates Windows logins and protects the link: the Kerberos
// service key and the TLS certificate, each optional.
#pragma once

#include <QString>

namespace sqlsim {

struct SecurityOptions {
    /// The keytab holding the service's key. Empty: every integrated login is refused.
    QString keytab;
    /// The one service principal accepted (e.g. "MSSQLSvc/db.example.com:1433"); empty: any
    /// principal the keytab holds.
    QString servicePrincipal;
    /// PEM certificate (chain) and private key. Both empty: the server offers no encryption.
    QString certificateFile;
    QString keyFile;
    /// With a certificate: clients that will not encrypt are refused.
    bool requireEncryption = false;

    bool offersEncryption() const { return !certificateFile.isEmpty(); }
};

} // namespace sqlsim
