// The pre-login check on arbitrary bytes, and the server's own pre-login reply, which must
// pass the check it applies to clients whatever version and thread id it carries.
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
    if (!isValidPreLogin(preLoginReply(major, minor, build, threadId)))
        std::abort();
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    isValidPreLogin(QByteArray(bytes.data(), qsizetype(bytes.size())));
    return 0;
}
