#include "ReplyEncoder.h"

#include "TokenWriter.h"
#include "engine/CoreStatements.h"

namespace sqlsim::tds {

namespace {

// Items that belong to a stored procedure: those right before a ReturnStatus, back to the end
// of the previous statement (a Done without a count) or the previous procedure.
std::vector<bool> procedureItems(const std::vector<ReplyItem>& items)
{
    std::vector<bool> inProcedure(items.size(), false);
    for (size_t i = 0; i < items.size(); ++i) {
        if (!std::holds_alternative<ReturnStatus>(items[i]))
            continue;
        for (size_t j = i; j-- > 0;) {
            if (std::holds_alternative<ReturnStatus>(items[j]))
                break;
            if (const Done* done = std::get_if<Done>(&items[j]); done && done->rowCount < 0)
                break;
            inProcedure[j] = true;
        }
    }
    return inProcedure;
}

class Encoder {
public:
    Encoder(QByteArray& out, QString& database) : m_writer(out), m_out(out), m_database(database) {}

    // False when the reply is cut here for a dropped link.
    bool resultSet(const ResultSet& result, bool inProcedure, int rowLimit)
    {
        flushError(inProcedure);
        m_writer.columnMetadata(result.columns);
        const size_t rows = rowLimit >= 0 ? std::min(result.rows.size(), size_t(rowLimit))
                                          : result.rows.size();
        for (size_t r = 0; r < rows; ++r)
            m_writer.row(result.columns, result.rows[r]);
        if (rows < result.rows.size())
            return false;
        done(inProcedure ? DoneToken::DoneInProc : DoneToken::Done, DoneCount, CmdSelect,
             qint64(rows));
        return true;
    }

    void message(const Message& message, bool inProcedure)
    {
        flushError(inProcedure);
        if (const auto database = changedDatabase(message)) {
            m_writer.envChange(EnvChange::Database, *database, m_database);
            m_database = *database;
        }
        m_writer.message(message);
        m_errorPending = message.severity > 10;
    }

    void rowCount(const Done& count, bool inProcedure)
    {
        done(inProcedure ? DoneToken::DoneInProc : DoneToken::Done,
             count.rowCount >= 0 ? DoneCount : 0, CmdNone, count.rowCount);
    }

    void procedureEnd(const ReturnStatus& status)
    {
        flushError(true);
        m_writer.returnStatus(status.value);
        done(DoneToken::DoneProc, 0, CmdExecute, 0);
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

    // An error not followed by a done of its statement gets one of its own.
    void flushError(bool inProcedure)
    {
        if (m_errorPending)
            done(inProcedure ? DoneToken::DoneInProc : DoneToken::Done, 0, CmdNone, -1);
    }

    TokenWriter m_writer;
    QByteArray& m_out;
    QString& m_database;
    bool m_errorPending = false;
    qsizetype m_lastDoneAt = -1;
};

} // namespace

QByteArray encodeReply(const Reply& reply, QString& database)
{
    QByteArray tokens;
    Encoder encoder(tokens, database);
    const std::vector<bool> inProcedure = procedureItems(reply.items);
    bool firstResult = true;
    for (size_t i = 0; i < reply.items.size(); ++i) {
        const ReplyItem& item = reply.items[i];
        if (const auto* result = std::get_if<ResultSet>(&item)) {
            const int limit = firstResult && reply.dropConnection ? reply.dropAfterRows : -1;
            firstResult = false;
            if (!encoder.resultSet(*result, inProcedure[i], limit))
                return tokens;
        } else if (const auto* message = std::get_if<Message>(&item)) {
            encoder.message(*message, inProcedure[i]);
        } else if (const auto* done = std::get_if<Done>(&item)) {
            encoder.rowCount(*done, inProcedure[i]);
        } else {
            encoder.procedureEnd(std::get<ReturnStatus>(item));
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
