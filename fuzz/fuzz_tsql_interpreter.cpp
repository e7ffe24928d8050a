// The simulator's interpreter on arbitrary batches, each run on a fresh copy of a server with
// its usual population and a logged-in session, its clock stopped so that a finding repeats. A batch may run for a short while only (the attention comes then, as from a
// client's time-out). The reply must be well formed: every row as wide as its columns, every
// message within the length its token can carry; and it must encode as a token stream.
#include "engine/Engine.h"
#include "tds/ReplyEncoder.h"
#include "tsql/Interpreter.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>

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
    static const auto [prototype, spid] = [] {
        auto engine = std::make_unique<Engine>();
        LoginInfo info;
        info.login = QStringLiteral("sa");
        info.password = QStringLiteral("velmora");
        const int session = std::get<int>(engine->login(info));
        engine->state().frozenNow = QDateTime(QDate(2026, 12, 9), QTime(21, 40));
        return std::pair(std::move(engine), session);
    }();
    const QString batch = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    ServerState state = prototype->state();
    tsql::SessionState session;
    const auto deadline = std::chrono::steady_clock::now() + kBatchTime;
    tsql::BatchHooks hooks;
    hooks.interrupted = [deadline](int) { return std::chrono::steady_clock::now() >= deadline; };
    // Twice: the second run meets what the first one left (tables, options, the database).
    for (int run = 0; run < 2; ++run)
        checkReply(tsql::runBatch(state, session, spid, batch, hooks));
    return 0;
}
