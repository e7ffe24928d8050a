// Text as a client may put it on the wire: up to 64 UTF-16 code units of any value, lone
// surrogates included.
#pragma once

#include <QString>
#include <fuzzer/FuzzedDataProvider.h>

namespace sqlsim::fuzz {

inline QString wireTextFrom(FuzzedDataProvider& input)
{
    QString text;
    for (size_t n = input.ConsumeIntegralInRange<size_t>(0, 64); n > 0 && input.remaining_bytes() > 0; --n)
        text += QChar(input.ConsumeIntegral<char16_t>());
    return text;
}

} // namespace sqlsim::fuzz
