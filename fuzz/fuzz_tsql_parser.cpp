// The simulator's batch parser on arbitrary text: it gives statements or the server's syntax
// message, never throws, reads the same text the same way twice, and a line break after the
// last line changes nothing: the batch is accepted or refused with the same message number.
#include "tsql/Parser.h"

#include <cstdint>
#include <cstdlib>

using namespace sqlsim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto first = tsql::parseBatch(text);
    const auto second = tsql::parseBatch(text);
    if (first.index() != second.index())
        std::abort();
    if (const auto* message = std::get_if<Message>(&first)) {
        const Message& again = std::get<Message>(second);
        if (message->number != again.number || message->text != again.text || message->line != again.line
            || message->text.size() > kMaxMessageLength)
            std::abort();
    }
    const auto ended = tsql::parseBatch(text + QStringLiteral("\r\n"));
    if (ended.index() != first.index()
        || (ended.index() == 1 && std::get<Message>(ended).number != std::get<Message>(first).number))
        std::abort();
    return 0;
}
