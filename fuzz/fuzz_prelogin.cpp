// The pre-login check and the reading of the client's encryption wish on arbitrary bytes; and
// the server's own pre-login reply, which must pass the check it applies to clients and carry
// the encryption answer it was given, whatever version and thread id it carries.
#include "tds/PreLogin.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>

using namespace sqlsim::tds;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const auto major = input.ConsumeIntegral<std::uint8_t>();
    const auto minor = input.ConsumeIntegral<std::uint8_t>();
    const auto build = input.ConsumeIntegral<std::uint16_t>();
    const auto threadId = input.ConsumeIntegral<std::uint32_t>();
    const auto encryption = Encryption(input.ConsumeIntegralInRange<int>(0, 3));
    const QByteArray reply = preLoginReply(major, minor, build, threadId, encryption);
    if (!isValidPreLogin(reply) || clientEncryption(reply) != encryption)
        std::abort();
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    const QByteArray payload(bytes.data(), qsizetype(bytes.size()));
    isValidPreLogin(payload);
    clientEncryption(payload);
    return 0;
}
