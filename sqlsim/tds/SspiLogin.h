// A Windows (integrated) login as TDS carries it: the first token in LOGIN7's SSPI bytes, the
// server's tokens as SSPI tokens (0xED) in replies, the client's further ones in SSPI messages
// (0x11), until Kerberos has authenticated the client.
#pragma once

#include "state/SecurityOptions.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace sqlsim::tds {

struct SspiOutcome {
    QString login;         // "REALM\user"; empty when the client was not authenticated
    QByteArray replyToken; // the server's final SSPI token, for the login reply (may be empty)
    QString error;         // why not, for the server's log
};

/// Sends an SSPI token to the client and returns its answer (an SSPI message's bytes); nothing when
/// the link failed or the client sent something else.
using SspiRoundTrip = std::function<std::optional<QByteArray>(const QByteArray& serverToken)>;

/// Authenticates the client whose LOGIN7 carried `firstToken`, with the service key the options
/// name.
SspiOutcome authenticateSspi(const SecurityOptions& options, const QByteArray& firstToken,
                             const SspiRoundTrip& roundTrip);

} // namespace sqlsim::tds
