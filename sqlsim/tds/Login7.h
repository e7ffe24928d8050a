// Reads a LOGIN7 message: the fixed part, the variable fields by offset and length, the
// scrambled password. Accepts the 7.1 layout and the longer 7.2+ one FreeTDS sends for 7.4.
#pragma once

#include "engine/Engine.h"

#include <QByteArray>
#include <cstdint>
#include <optional>

namespace sqlsim::tds {

struct Login7 {
    std::uint32_t tdsVersion = 0;   // as the client asked, e.g. 0x71000001 or 0x74000004
    LoginInfo info;
    QByteArray sspi;                // the first token of a Windows login
};

/// Nothing when the message is malformed: too short, a length that disagrees with the message,
/// or a field (the SSPI bytes included) outside it.
std::optional<Login7> parseLogin7(const QByteArray& payload);

/// The clear password from its LOGIN7 form (each byte XOR 0xA5, then nibbles swapped).
QString decodePassword(const char* bytes, int chars);

} // namespace sqlsim::tds
