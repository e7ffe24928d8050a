#include "SspiLogin.h"

#include "Bytes.h"
#include "GssAcceptor.h"

namespace sqlsim::tds {

namespace {

constexpr std::uint8_t kSspiToken = 0xED;
constexpr qsizetype kMaxTokenSize = 0xFFFF;   // the token's length field has 16 bits
// Kerberos needs one round, SPNEGO two or three; more is a client going round in circles.
constexpr int kMaxRounds = 8;

QByteArray sspiToken(const QByteArray& bytes)
{
    QByteArray token;
    putU8(token, kSspiToken);
    putU16(token, std::uint16_t(bytes.size()));
    return token + bytes;
}

} // namespace

SspiOutcome authenticateSspi(const SecurityOptions& options, const QByteArray& firstToken,
                             const SspiRoundTrip& roundTrip)
{
    SspiOutcome outcome;
    if (options.keytab.isEmpty()) {
        outcome.error = QStringLiteral("no keytab: Windows authentication is not set up");
        return outcome;
    }
    if (firstToken.isEmpty()) {
        outcome.error = QStringLiteral("the login asks for Windows authentication but carries no SSPI data");
        return outcome;
    }
    GssAcceptor acceptor(options.keytab, options.servicePrincipal);
    QByteArray token = firstToken;
    for (int round = 0; round < kMaxRounds; ++round) {
        const GssAcceptor::Step step = acceptor.accept(token);
        if (step.state == GssAcceptor::State::Failed) {
            outcome.error = step.error;
            return outcome;
        }
        if (step.reply.size() > kMaxTokenSize) {
            outcome.error = QStringLiteral("a server token of %1 bytes does not fit an SSPI token")
                                .arg(step.reply.size());
            return outcome;
        }
        if (step.state == GssAcceptor::State::Complete) {
            if (!step.reply.isEmpty())
                outcome.replyToken = sspiToken(step.reply);
            outcome.login = acceptor.clientLogin();
            return outcome;
        }
        std::optional<QByteArray> answer = roundTrip(sspiToken(step.reply));
        if (!answer) {
            outcome.error = QStringLiteral("the client did not answer with an SSPI message");
            return outcome;
        }
        token = std::move(*answer);
    }
    outcome.error = QStringLiteral("no agreement after %1 SSPI rounds").arg(kMaxRounds);
    return outcome;
}

} // namespace sqlsim::tds
