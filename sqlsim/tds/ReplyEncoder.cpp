#include "ReplyEncoder.h"

#include "TokenWriter.h"

#include <algorithm>

namespace sqlsim::tds {

namespace {

class Encoder {
public:
    explicit Encoder(QByteArray& out) : m_writer(out), m_out(out) {}

    bool inProcedure() const { return m_procedureDepth > 0; }
    void procedureBegin() { ++m_procedureDepth; }

    // False when the reply is cut here for a dropped link.
    bool resultSet(const ResultSet& result, int rowLimit)
    {
        flushError();
        m_writer.columnMetadata(result.columns);
        const size_t rows = rowLimit >= 0 ? std::min(result.rows.size(), size_t(rowLimit))
                                          : result.rows.size();
        for (size_t r = 0; r < rows; ++r)
            m_writer.row(result.columns, result.rows[r]);
        if (rows < result.rows.size())
            return false;
        done(statementDone(), result.counted ? DoneCount : 0, CmdSelect, qint64(rows));
        return true;
    }

    void message(const Message& message)
    {
        flushError();
        m_writer.message(message);
        m_errorPending = message.severity > 10;
    }

    void environmentChange(const EnvironmentChange& change)
    {
        flushError();
        m_writer.envChange(change.kind == EnvironmentChange::Kind::Database ? EnvChange::Database
                                                                            : EnvChange::Language,
                           change.value, change.oldValue);
    }

    void rowCount(const Done& count)
    {
        done(statementDone(), count.rowCount >= 0 ? DoneCount : 0, CmdNone, count.rowCount);
    }

    void procedureEnd(const ReturnStatus& status)
    {
        flushError();
        m_writer.returnStatus(status.value);
        for (const ReturnStatus::Output& output : status.outputs)
            m_writer.returnValue(output);
        m_procedureDepth = std::max(0, m_procedureDepth - 1);
        done(m_procedureDepth > 0 ? DoneToken::DoneInProc : DoneToken::DoneProc, 0, CmdExecute, 0);
    }

    // The last done of the reply loses DONE_MORE; a reply that does not end in one gets one.
    void finish()
    {
        if (m_lastDoneAt >= 0 && m_lastDoneAt == m_out.size() - kDoneSize && !m_errorPending) {
            m_out[m_lastDoneAt + 1] = char(m_out[m_lastDoneAt + 1] & ~DoneMore);
            return;
        }
        m_writer.done(DoneToken::Done, m_errorPending ? DoneError : DoneFinal, CmdNone, 0);
    }

private:
    static constexpr int kDoneSize = 9;

    void done(DoneToken token, std::uint16_t status, std::uint16_t command, qint64 rowCount)
    {
        if (m_errorPending)
            status |= DoneError;
        m_errorPending = false;
        if (token != DoneToken::DoneInProc)
            m_lastDoneAt = m_out.size();
        m_writer.done(token, status | DoneMore, command, rowCount);
    }

    DoneToken statementDone() const { return inProcedure() ? DoneToken::DoneInProc : DoneToken::Done; }

    // An error not followed by a done of its statement gets one of its own.
    void flushError()
    {
        if (m_errorPending)
            done(statementDone(), 0, CmdNone, -1);
    }

    TokenWriter m_writer;
    QByteArray& m_out;
    int m_procedureDepth = 0;
    bool m_errorPending = false;
    qsizetype m_lastDoneAt = -1;
};

} // namespace

QByteArray encodeReply(const Reply& reply)
{
    QByteArray tokens;
    Encoder encoder(tokens);
    bool firstResult = true;
    for (const ReplyItem& item : reply.items) {
        if (const auto* result = std::get_if<ResultSet>(&item)) {
            const int limit = firstResult && reply.dropConnection ? reply.dropAfterRows : -1;
            firstResult = false;
            if (!encoder.resultSet(*result, limit))
                return tokens;
        } else if (const auto* message = std::get_if<Message>(&item)) {
            encoder.message(*message);
        } else if (const auto* done = std::get_if<Done>(&item)) {
            encoder.rowCount(*done);
        } else if (const auto* status = std::get_if<ReturnStatus>(&item)) {
            encoder.procedureEnd(*status);
        } else if (const auto* change = std::get_if<EnvironmentChange>(&item)) {
            encoder.environmentChange(*change);
        } else {
            encoder.procedureBegin();
        }
    }
    encoder.finish();
    return tokens;
}

QByteArray attentionAcknowledgement()
{
    QByteArray out;
    TokenWriter(out).done(DoneToken::Done, DoneAttention, CmdNone, 0);
    return out;
}

} // namespace sqlsim::tds
