#include "PreLogin.h"

#include <vector>

namespace sqlsim::tds {

namespace {

// 2.2.6.5 PRELOGIN option tokens
enum Option : std::uint8_t { Version = 0, EncryptionOption = 1, InstOpt = 2, ThreadId = 3, Terminator = 0xFF };
// The client-certificate bit beside the encryption value; this server asks for no certificate.
constexpr std::uint8_t kEncryptValueMask = 0x03;
constexpr int kOptionEntrySize = 5;

void putBigEndian16(QByteArray& out, std::uint16_t value)
{
    out.append(char(value >> 8));
    out.append(char(value & 0xFF));
}

} // namespace

bool isValidPreLogin(const QByteArray& payload)
{
    const auto size = payload.size();
    for (qsizetype at = 0; at < size; at += kOptionEntrySize) {
        if (std::uint8_t(payload[at]) == Terminator)
            return true;
        if (at + kOptionEntrySize > size)
            return false;
        const int offset = (std::uint8_t(payload[at + 1]) << 8) | std::uint8_t(payload[at + 2]);
        const int length = (std::uint8_t(payload[at + 3]) << 8) | std::uint8_t(payload[at + 4]);
        if (offset + length > size)
            return false;
    }
    return false;
}

Encryption clientEncryption(const QByteArray& payload)
{
    for (qsizetype at = 0; at + kOptionEntrySize <= payload.size(); at += kOptionEntrySize) {
        if (std::uint8_t(payload[at]) == Terminator)
            break;
        const int offset = (std::uint8_t(payload[at + 1]) << 8) | std::uint8_t(payload[at + 2]);
        const int length = (std::uint8_t(payload[at + 3]) << 8) | std::uint8_t(payload[at + 4]);
        if (std::uint8_t(payload[at]) == EncryptionOption && length >= 1 && offset < payload.size())
            return Encryption(std::uint8_t(payload[offset]) & kEncryptValueMask);
    }
    return Encryption::NotSupported;
}

// 3.3.5.1: the server's choice for each wish of the client.
EncryptionAnswer answerEncryption(Encryption wish, bool offers, bool required)
{
    using E = Encryption;
    if (!offers)
        return {E::NotSupported, TlsScope::None};
    switch (wish) {
    case E::NotSupported:
        return required ? EncryptionAnswer{E::Required, TlsScope::Refused} : EncryptionAnswer{E::NotSupported, TlsScope::None};
    case E::Off:
        return required ? EncryptionAnswer{E::Required, TlsScope::Everything} : EncryptionAnswer{E::Off, TlsScope::LoginOnly};
    case E::On:
    case E::Required:
        break;
    }
    return {E::On, TlsScope::Everything};
}

// 2.2.6.5 PRELOGIN: option offsets are big-endian and relative to the start of the payload.
QByteArray preLoginReply(std::uint8_t major, std::uint8_t minor, std::uint16_t build,
                         std::uint32_t threadId, Encryption encryption)
{
    QByteArray version;
    version.append(char(major));
    version.append(char(minor));
    putBigEndian16(version, build);
    putBigEndian16(version, 0);   // sub-build
    QByteArray thread;
    for (int shift = 24; shift >= 0; shift -= 8)
        thread.append(char((threadId >> shift) & 0xFF));

    const std::vector<std::pair<Option, QByteArray>> options = {
        {Version, version},
        {EncryptionOption, QByteArray(1, char(encryption))},
        {InstOpt, QByteArray(1, '\0')},
        {ThreadId, thread},
    };
    QByteArray head;
    QByteArray data;
    const int dataStart = int(options.size()) * kOptionEntrySize + 1;
    for (const auto& [option, value] : options) {
        head.append(char(option));
        putBigEndian16(head, std::uint16_t(dataStart + data.size()));
        putBigEndian16(head, std::uint16_t(value.size()));
        data.append(value);
    }
    head.append(char(Terminator));
    return head + data;
}

} // namespace sqlsim::tds
