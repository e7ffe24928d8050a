// The RPC request reader on arbitrary bytes, and on sp_executesql calls written from arbitrary
// texts and integers: a call written as a client writes it reads back with the same values.
#include "WireText.h"
#include "tds/Bytes.h"
#include "tds/RpcRequest.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

using namespace sqlsim;
using namespace sqlsim::fuzz;
using namespace sqlsim::tds;

namespace {

// An NVARCHAR(4000) parameter with its collation, by position.
void putText(QByteArray& out, const QString& text)
{
    putU8(out, 0);
    putU8(out, 0);
    out.append('\xE7');
    putU16(out, 8000);
    out.append("\x09\x04\xD0\x00\x34", 5);
    putU16(out, std::uint16_t(text.size() * 2));
    putUcs2(out, text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool()) {
        const std::string bytes = input.ConsumeRemainingBytesAsString();
        parseRpcRequest(QByteArray(bytes.data(), qsizetype(bytes.size())));
        return 0;
    }
    const QString statement = wireTextFrom(input);
    const QString definitions = wireTextFrom(input);
    const auto number = input.ConsumeIntegral<std::int32_t>();
    QByteArray request;
    putU16(request, 0xFFFF);
    putU16(request, 10);   // sp_executesql
    putU16(request, 0);
    putText(request, statement);
    putText(request, definitions);
    putBVarChar(request, QStringLiteral("@p1"));
    putU8(request, 0);
    request.append("\x26\x04\x04", 3);   // INTN(4), a value of 4 bytes
    putU32(request, std::uint32_t(number));
    const auto calls = parseRpcRequest(request);
    if (!calls || calls->size() != 1 || calls->front().procedure != u"sp_executesql")
        std::abort();
    const auto& parameters = calls->front().parameters;
    if (parameters.size() != 3 || parameters[0].value.toString() != statement
        || parameters[1].value.toString() != definitions || parameters[2].name != u"@p1"
        || parameters[2].value.toLongLong() != number)
        std::abort();
    return 0;
}
