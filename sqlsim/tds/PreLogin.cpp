#include "PreLogin.h"

#include <vector>

namespace sqlsim::tds {

namespace {

// 2.2.6.5 PRELOGIN option tokens
enum Option : std::uint8_t { Version = 0, Encryption = 1, InstOpt = 2, ThreadId = 3, Terminator = 0xFF };
constexpr std::uint8_t kEncryptNotSupported = 2;
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

// 2.2.6.5 PRELOGIN: option offsets are big-endian and relative to the start of the payload.
QByteArray preLoginReply(std::uint8_t major, std::uint8_t minor, std::uint16_t build,
                         std::uint32_t threadId)
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
        {Encryption, QByteArray(1, char(kEncryptNotSupported))},
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
