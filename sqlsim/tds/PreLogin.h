// The pre-login exchange: the client's options are checked for shape, and the server answers
// with its version and what it makes of the client's wish for encryption: none, the login only
// (FreeTDS's default when the server can), or everything.
#pragma once

#include <QByteArray>
#include <cstdint>

namespace sqlsim::tds {

// 2.2.6.5 B_FENCRYPTION
enum class Encryption : std::uint8_t { Off = 0, On = 1, NotSupported = 2, Required = 3 };

/// What the link carries over TLS after the pre-login.
enum class TlsScope { None, LoginOnly, Everything, Refused };

struct EncryptionAnswer {
    Encryption reply;
    TlsScope scope;
};

/// True when `payload` is a well-formed PRELOGIN option list (every option inside the payload,
/// terminated by 0xFF).
bool isValidPreLogin(const QByteArray& payload);

/// The ENCRYPTION option of a well-formed PRELOGIN; NotSupported when it has none.
Encryption clientEncryption(const QByteArray& payload);

/// The server's answer to the client's `wish` when it `offers` TLS (has a certificate) and
/// perhaps demands it (`required`). A client that will not encrypt is Refused by a server requiring it.
EncryptionAnswer answerEncryption(Encryption wish, bool offers, bool required);

/// The PRELOGIN reply payload: VERSION, ENCRYPTION, INSTOPT, THREADID.
/// `version` is major, minor, build as the server reports them.
QByteArray preLoginReply(std::uint8_t major, std::uint8_t minor, std::uint16_t build,
                         std::uint32_t threadId, Encryption encryption = Encryption::NotSupported);

} // namespace sqlsim::tds
