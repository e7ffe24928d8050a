#include "Packet.h"

#include <algorithm>
#include <utility>

namespace sqlsim::tds {

std::optional<PacketHeader> parseHeader(const char* bytes)
{
    // 2.2.3.1 Packet header: Type, Status, Length (big-endian), SPID (big-endian), PacketID,
    // Window.
    PacketHeader header;
    header.type = std::uint8_t(bytes[0]);
    header.status = std::uint8_t(bytes[1]);
    header.length = (std::uint8_t(bytes[2]) << 8) | std::uint8_t(bytes[3]);
    header.spid = std::uint16_t((std::uint8_t(bytes[4]) << 8) | std::uint8_t(bytes[5]));
    header.packetId = std::uint8_t(bytes[6]);
    if (header.length < kHeaderSize || header.length > kMaxPacketSize)
        return std::nullopt;
    return header;
}

QByteArray framePackets(PacketType type, const QByteArray& payload, std::uint16_t spid,
                        bool endOfMessage, int packetSize)
{
    const int chunk = packetSize - kHeaderSize;
    QByteArray out;
    out.reserve(payload.size() + (payload.size() / chunk + 1) * kHeaderSize);
    std::uint8_t packetId = 1;
    qsizetype offset = 0;
    do {
        const int size = int(std::min<qsizetype>(chunk, payload.size() - offset));
        const bool last = offset + size >= payload.size();
        const int length = size + kHeaderSize;
        const char header[kHeaderSize] = {
            char(type), char(last && endOfMessage ? kStatusEndOfMessage : 0),
            char(length >> 8), char(length & 0xFF),
            char(spid >> 8), char(spid & 0xFF),
            char(packetId++), 0,
        };
        out.append(header, kHeaderSize);
        out.append(payload.constData() + offset, size);
        offset += size;
    } while (offset < payload.size());
    return out;
}

MessageAssembler::Result MessageAssembler::add(const PacketHeader& header, const QByteArray& data)
{
    if (m_started && header.type != m_type)
        return Result::Malformed;
    m_type = header.type;
    m_started = true;
    m_payload += data;
    return (header.status & kStatusEndOfMessage) ? Result::Complete : Result::NeedMore;
}

QByteArray MessageAssembler::take()
{
    m_started = false;
    return std::exchange(m_payload, {});
}

} // namespace sqlsim::tds
