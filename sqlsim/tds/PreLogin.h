// The pre-login exchange: the client's options are checked for shape, and the server answers
// with its version and "encryption not supported" so that the login goes on in clear text.
#pragma once

#include <QByteArray>
#include <cstdint>

namespace sqlsim::tds {

/// True when `payload` is a well-formed PRELOGIN option list (every option inside the payload,
/// terminated by 0xFF).
bool isValidPreLogin(const QByteArray& payload);

/// The PRELOGIN reply payload: VERSION, ENCRYPTION = ENCRYPT_NOT_SUP, INSTOPT, THREADID.
/// `version` is major, minor, build as the server reports them.
QByteArray preLoginReply(std::uint8_t major, std::uint8_t minor, std::uint16_t build,
                         std::uint32_t threadId);

} // namespace sqlsim::tds
