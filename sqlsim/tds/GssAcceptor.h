// The server's side of one Kerberos login through the system's GSSAPI library: the service key
// comes from a keytab, the client's tokens from its SSPI bytes, and the outcome is the
// authenticated client's name.
#pragma once

#include <QByteArray>
#include <QString>
#include <gssapi/gssapi.h>

namespace sqlsim::tds {

class GssAcceptor {
public:
    enum class State { Continue, Complete, Failed };
    struct Step {
        State state = State::Failed;
        QByteArray reply;   // the token for the client; may be empty
        QString error;      // on failure: GSSAPI's reason
    };

    /// `keytab` holds the service's key; a non-empty `principal` is the only service accepted.
    GssAcceptor(const QString& keytab, const QString& principal);
    ~GssAcceptor();
    GssAcceptor(const GssAcceptor&) = delete;
    GssAcceptor& operator=(const GssAcceptor&) = delete;

    /// Takes the client's next token.
    Step accept(const QByteArray& token);
    /// After Complete: the client as Windows names it, "REALM\user".
    QString clientLogin() const;

private:
    gss_cred_id_t m_credential = GSS_C_NO_CREDENTIAL;
    gss_ctx_id_t m_context = GSS_C_NO_CONTEXT;
    gss_name_t m_client = GSS_C_NO_NAME;
    QString m_setupError;   // why no credential could be had from the keytab
};

} // namespace sqlsim::tds
