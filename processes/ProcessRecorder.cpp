#include "ProcessRecorder.h"

#include "Connection.h"
#include "CellValues.h"
#include "ConnectionString.h"
#include "ProcessMonitor.h"
#include "Query.h"
#include "RecordingError.h"
#include "RecordingThread.h"
#include "SnapshotWriter.h"

#include <QSet>

namespace velmora {

namespace {

QString familyName(ServerFamily family)
{
    switch (family) {
    case ServerFamily::Sql70: return QStringLiteral("7.0");
    case ServerFamily::Sql2000: return QStringLiteral("2000");
    case ServerFamily::Sql2005AndLater: return QStringLiteral("2005");
    }
    return {};
}

} // namespace

ProcessRecorder::ProcessRecorder(ProcessMonitor& monitor, Connection* connection, QObject* parent)
    : QObject(parent), m_monitor(monitor), m_connection(connection)
{
    connect(&m_monitor, &ProcessMonitor::listRead, this, &ProcessRecorder::record);
}

ProcessRecorder::~ProcessRecorder()
{
    stop();
}

void ProcessRecorder::start(const QString& path)
{
    auto writer = std::make_unique<SnapshotWriter>(path);
    m_writeFailed = false;
    ++m_run;
    m_thread = std::make_unique<RecordingThread>();
    m_writer = std::move(writer);
}

void ProcessRecorder::stop()
{
    m_thread.reset();
    m_writer.reset();
}

void ProcessRecorder::writeFailed(int run, const QString& message)
{
    // Said even when the operator has stopped recording meanwhile (the snapshots since are not
    // in the file), but not once another run has started.
    if (run != m_run)
        return;
    stop();
    emit failed(message);
}

QString ProcessRecorder::serverName() const
{
    try {
        return parseOleDbConnectionString(m_connection->connectionString()).at(QStringLiteral("data source"));
    } catch (...) {
        return {};
    }
}

void ProcessRecorder::record()
{
    if (!m_writer || m_monitor.replaying() || m_writeFailed)
        return;
    const Query& list = *m_monitor.source();
    Snapshot snapshot;
    snapshot.takenAt = QDateTime::currentDateTime();
    snapshot.server = serverName();
    snapshot.family = familyName(m_monitor.family());
    snapshot.fields = list.fields();
    std::vector<const Row*> rows;
    rows.reserve(size_t(list.heldRowCount()));
    const int spidAt = list.fieldIndex(QStringLiteral("spid"));
    const int blockedAt = list.fieldIndex(QStringLiteral("blocked"));
    QSet<int> blockers;
    for (int i = 0; i < list.heldRowCount(); ++i) {
        const Row& row = list.heldRow(i);
        rows.push_back(&row);
        const int blocker = int(cellInteger(row[size_t(blockedAt)]));
        if (blocker != 0 && blocker != int(cellInteger(row[size_t(spidAt)])))
            blockers.insert(blocker);
    }

    // The locks as the detail window's query reads them, for every blocker in one round trip:
    // sp_lock without a process number lists them all, and a list with many blockers would
    // otherwise cost a round trip each. When the server does not give them (a cancelled wait, a
    // link gone) the snapshot keeps its rows without locks: the list itself has been read.
    if (!blockers.isEmpty()) {
        try {
            const CommandResult locks = m_connection->execute(QStringLiteral("Exec sp_lock"));
            for (const std::vector<QVariant>& lock : locks.rows)
                if (!lock.empty() && blockers.contains(lock.front().toInt()))
                    snapshot.locks.push_back(lock);
        } catch (const DbError&) {
        }
    }

    auto changes = std::make_shared<SnapshotWriter::Changes>(m_writer->changesOf(snapshot, rows));
    m_thread->post([this, writer = m_writer.get(), changes, run = m_run] {
        if (m_writeFailed)
            return;
        try {
            writer->write(*changes);
        } catch (const RecordingError& error) {
            // Said once, on the thread that shows it; the snapshots already handed over go too.
            m_writeFailed = true;
            QMetaObject::invokeMethod(
                this, [this, run, message = error.text()] { writeFailed(run, message); }, Qt::QueuedConnection);
        }
    });
}

} // namespace velmora
