#include "ProcessReplay.h"

#include "DbError.h"
#include "ProcessMonitor.h"
#include "ProcessQueries.h"
#include "Query.h"
#include "RecordingError.h"
#include "SnapshotReader.h"
#include "ValueCompare.h"

namespace velmora {

namespace {

/// `recorded` and then the calculated fields of `declared` that it lacks: those the list's viewers
/// declared on it fill every replayed row too.
std::vector<FieldDef> withCalculatedFields(std::vector<FieldDef> recorded, const std::vector<FieldDef>& declared)
{
    for (const FieldDef& field : declared)
        if (field.calculated && findFieldIndex(recorded, field.name) < 0)
            recorded.push_back(field);
    return recorded;
}

/// A snapshot this program recorded holds every field of a process list (the variants share their
/// names); one without them, made or changed by hand, would fail at every paint and key.
void requireProcessFields(const Snapshot& snapshot, const QString& path)
{
    for (const FieldDef& field : processFields(ServerFamily::Sql2000))
        if (findFieldIndex(snapshot.fields, field.name) < 0)
            throw RecordingError::damaged(path);
}

} // namespace

ProcessReplay::ProcessReplay(ProcessMonitor& monitor, QObject* parent)
    : QObject(parent), m_monitor(monitor), m_list(new Query(this))
{
    m_list->setObjectName(QStringLiteral("ReplayQuery"));
}

ProcessReplay::~ProcessReplay() = default;

void ProcessReplay::open(const QString& path)
{
    auto reader = std::make_unique<SnapshotReader>(path);
    requireProcessFields(reader->read(0), path);
    const bool wasOpen = isOpen();
    m_reader = std::move(reader);
    m_index = -1;
    if (!wasOpen) {
        m_list->close();
        m_list->setFilter(QString());
        m_list->setFiltered(true);
        m_monitor.beginReplay(m_list);
    }
    show(0);
}

void ProcessReplay::close()
{
    if (!isOpen())
        return;
    m_reader.reset();
    m_index = -1;
    m_locks.clear();
    m_monitor.endReplay();
    emit closed();
}

int ProcessReplay::count() const
{
    return m_reader ? m_reader->count() : 0;
}

void ProcessReplay::show(int index)
{
    index = std::clamp(index, 0, count() - 1);
    // Read first, so that the reader's next step forward applies one snapshot's changes.
    std::optional<Snapshot> before;
    if (m_index < 0 || index != m_index + 1)
        before = index > 0 ? m_reader->read(index - 1) : Snapshot();
    Snapshot snapshot = m_reader->read(index);
    requireProcessFields(snapshot, m_reader->path());
    m_index = index;
    m_locks = std::move(snapshot.locks);
    // As a refresh does: the operator's order and process stay.
    const QString sort = m_list->isActive() ? m_list->sort() : QString();
    const std::optional<int> spid = m_monitor.currentSpid();
    m_list->close();
    m_list->setFields(withCalculatedFields(std::move(snapshot.fields), m_list->fields()));
    m_list->createDataSet();
    // Appending computes each row's calculated fields without the pass before them in which
    // their hooks find this list's fields: a pass over no rows first.
    m_list->setSort(QString());
    m_list->appendRows(std::move(snapshot.rows));
    try {
        m_list->setSort(sort);
    } catch (const DbError&) {
        // A sort by a column this recording lacks leaves its rows in the server's order.
        m_list->setSort(QString());
    }
    m_list->first();
    if (spid)
        m_list->locate(QStringLiteral("spid"), *spid);
    m_monitor.replayedListRead();
    emit shown(snapshot.takenAt, before ? &*before : nullptr);
}

QString ProcessReplay::caption() const
{
    if (!isOpen())
        return {};
    const SnapshotReader::Entry& entry = m_reader->entry(m_index);
    return QStringLiteral("запись %1, %2")
        .arg(entry.server, entry.takenAt.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
}

std::vector<Row> ProcessReplay::locksOf(int spid) const
{
    std::vector<Row> locks;
    for (const Row& lock : m_locks)
        if (lock.front().toInt() == spid)
            locks.push_back(lock);
    return locks;
}

} // namespace velmora
