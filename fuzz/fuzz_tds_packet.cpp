// The simulator's packet reader on an arbitrary byte stream: headers are read and the packets
// of each message assembled as a session does; every message completed, framed again in
// packets of the size the input picks, reads back to the same type and payload.
#include "tds/Packet.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

using namespace sqlsim::tds;

namespace {

// Reads the packets of `stream` into `assembler`, calling `done` for each message completed;
// false when a header is impossible or a message mixes packet types.
template <typename Done>
bool readStream(const QByteArray& stream, MessageAssembler& assembler, Done done)
{
    qsizetype at = 0;
    while (stream.size() - at >= kHeaderSize) {
        const auto header = parseHeader(stream.constData() + at);
        if (!header)
            return false;
        if (header->length > stream.size() - at)
            break;   // the rest of the packet has not come
        const QByteArray data = stream.mid(at + kHeaderSize, header->length - kHeaderSize);
        at += header->length;
        switch (assembler.add(*header, data)) {
        case MessageAssembler::Result::Malformed: return false;
        case MessageAssembler::Result::Complete: done(assembler.type(), assembler.take()); break;
        case MessageAssembler::Result::NeedMore: break;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int packetSize = input.ConsumeIntegralInRange(kHeaderSize + 1, kMaxPacketSize);
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    MessageAssembler assembler;
    readStream(QByteArray(bytes.data(), qsizetype(bytes.size())), assembler,
               [packetSize](std::uint8_t type, const QByteArray& payload) {
        const QByteArray framed = framePackets(PacketType(type), payload, 51, true, packetSize);
        MessageAssembler again;
        int messages = 0;
        const bool read = readStream(framed, again, [&](std::uint8_t typeRead, const QByteArray& payloadRead) {
            ++messages;
            if (typeRead != type || payloadRead != payload)
                std::abort();
        });
        if (!read || messages != 1)
            std::abort();
    });
    return 0;
}
