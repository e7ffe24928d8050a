// TDS packet framing: the 8-byte header, splitting a reply into packets, and assembling the
// packets of one client message. Nothing above this unit sees packet boundaries.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>

namespace sqlsim::tds {

// 2.2.3.1.1 Type: the messages the simulator understands; any other is answered with an error.
enum class PacketType : std::uint8_t {
    SqlBatch = 0x01,
    Rpc = 0x03,
    Reply = 0x04,
    Attention = 0x06,
    Login7 = 0x10,
    Sspi = 0x11,
    PreLogin = 0x12,
};

constexpr int kHeaderSize = 8;
constexpr int kPacketSize = 4096;
// The largest packet we accept from a peer: TDS caps the negotiated size at 32767.
constexpr int kMaxPacketSize = 32767;

// 2.2.3.1.2 Status
constexpr std::uint8_t kStatusEndOfMessage = 0x01;

struct PacketHeader {
    std::uint8_t type = 0;
    std::uint8_t status = 0;
    int length = 0;          // header included
    std::uint16_t spid = 0;
    std::uint8_t packetId = 0;
};

/// Reads a header from 8 bytes. Returns nothing when the length is impossible (shorter than
/// the header or longer than kMaxPacketSize).
std::optional<PacketHeader> parseHeader(const char* bytes);

/// Frames a whole message as packets of at most `packetSize` bytes, the last one marked
/// end-of-message; the spid goes into every header.
/// `endOfMessage` false leaves the last packet unmarked too (a reply cut off by a dropped link).
QByteArray framePackets(PacketType type, const QByteArray& payload, std::uint16_t spid,
                        bool endOfMessage = true, int packetSize = kPacketSize);

/// Collects the packets of one message. A message ends with the end-of-message bit; all its
/// packets must share one type.
class MessageAssembler {
public:
    enum class Result { NeedMore, Complete, Malformed };

    Result add(const PacketHeader& header, const QByteArray& data);
    std::uint8_t type() const { return m_type; }
    qsizetype size() const { return m_payload.size(); }
    /// The payload of the completed message; resets the assembler.
    QByteArray take();

private:
    QByteArray m_payload;
    std::uint8_t m_type = 0;
    bool m_started = false;
};

} // namespace sqlsim::tds
