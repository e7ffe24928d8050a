// The simulator's interpreter on arbitrary batches, each run by a fresh server with its usual
// population. A batch may run for a short while only (the attention comes then, as from a
// client's time-out). The reply must be well formed: every row as wide as its columns, every
// message within the length its token can carry; and it must encode as a token stream.
#include "engine/Engine.h"
#include "tds/ReplyEncoder.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>

using namespace sqlsim;

namespace {

constexpr auto kBatchTime = std::chrono::milliseconds(50);

void checkReply(const Reply& reply)
{
    for (const ReplyItem& item : reply.items) {
        if (const auto* result = std::get_if<ResultSet>(&item)) {
            for (const auto& row : result->rows)
                if (row.size() != result->columns.size())
                    std::abort();
        } else if (const auto* message = std::get_if<Message>(&item)) {
            if (message->text.size() > kMaxMessageLength)
                std::abort();
        }
    }
    tds::encodeReply(reply);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString batch = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    Engine engine;
    LoginInfo info;
    info.login = QStringLiteral("sa");
    info.password = QStringLiteral("velmora");
    const int spid = std::get<int>(engine.login(info));
    const auto deadline = std::chrono::steady_clock::now() + kBatchTime;
    // Twice: the second run meets what the first one left (tables, options, the database).
    for (int run = 0; run < 2; ++run)
        checkReply(engine.execute(spid, batch, [deadline](int) { return std::chrono::steady_clock::now() >= deadline; }));
    return 0;
}
