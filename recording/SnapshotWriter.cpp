#include "SnapshotWriter.h"

#include "CellValues.h"
#include "RecordingFile.h"

#include <QHash>
#include <string>
#include <sqlite3.h>

namespace velmora {

namespace {

/// Which process a row is: its number, login time and execution context, and which of the rows
/// with those three it is (a list should hold one, but a repeat must not merge two rows).
struct ProcessKey {
    qlonglong spid = 0;
    qlonglong loginTime = 0;
    qlonglong ecid = 0;
    int repeat = 0;
    bool operator==(const ProcessKey&) const = default;
};

size_t qHash(const ProcessKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.spid, key.loginTime, key.ecid, key.repeat);
}

struct StoredProcess {
    qlonglong id = 0;
    Row row;            // its values as the file holds them now
    quint64 seen = 0;   // the last snapshot that listed it
};

// Cells go in by statements of this many rows, and the rest one by one: a statement's run costs
// SQLite about as much again as the row it inserts.
constexpr size_t CellsAStatement = 50;

std::string manyCellsSql()
{
    std::string sql = "INSERT INTO cell VALUES(?, ?, ?, ?)";
    for (size_t i = 1; i < CellsAStatement; ++i)
        sql += ", (?, ?, ?, ?)";
    return sql;
}

bool sameLayout(const std::vector<FieldDef>& a, const std::vector<FieldDef>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const FieldDef& x, const FieldDef& y) {
        return x.name == y.name && x.kind == y.kind && x.size == y.size && x.readOnly == y.readOnly
            && x.calculated == y.calculated;
    });
}

} // namespace

struct SnapshotWriter::Comparison {
    // What the file's last snapshot holds; empty until then (and after a failed write), so
    // that the next one is complete.
    std::vector<FieldDef> fields;
    QHash<ProcessKey, StoredProcess> processes;
    quint64 snapshots = 0;
    qlonglong lastProcessId = 0;
};

struct SnapshotWriter::File {
    explicit File(const QString& path)
        : file(path, RecordingFile::Mode::Append)
        , insertSnapshot(file, "INSERT INTO snapshot(taken_at, server, family, layout, complete) "
                               "VALUES(?, ?, ?, ?, ?)")
        , setLayout(file, "UPDATE snapshot SET layout = id WHERE id = ?")
        , insertField(file, "INSERT INTO field VALUES(?, ?, ?, ?, ?, ?, ?)")
        , insertProcess(file, "INSERT INTO process(id, first_snapshot, spid, login_time, ecid) VALUES(?, ?, ?, ?, ?)")
        , insertCell(file, "INSERT INTO cell VALUES(?, ?, ?, ?)")
        , insertCells(file, manyCellsSql().c_str())
        , insertGone(file, "INSERT INTO gone VALUES(?, ?)")
        , insertLock(file, "INSERT INTO lock VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)")
    {
        RecordingFile::Statement last(file, "SELECT coalesce(max(id), 0) FROM process");
        last.step();
        lastProcessId = sqlite3_column_int64(last.handle(), 0);
    }

    qlonglong writeSnapshot(const Snapshot& snapshot, bool complete);
    void writeRows(qlonglong id, const Changes& changes);
    void bindCellRow(sqlite3_stmt* statement, int first, qlonglong id, const Changes::Cell& cell,
                     const std::vector<FieldDef>& fields);
    void writeLocks(qlonglong id, const Snapshot& snapshot);

    RecordingFile file;
    RecordingFile::Statement insertSnapshot;
    RecordingFile::Statement setLayout;
    RecordingFile::Statement insertField;
    RecordingFile::Statement insertProcess;
    RecordingFile::Statement insertCell;
    RecordingFile::Statement insertCells;   // CellsAStatement of them
    RecordingFile::Statement insertGone;
    RecordingFile::Statement insertLock;

    qlonglong layout = 0;          // the last complete snapshot's, which later ones share
    qlonglong lastProcessId = 0;   // the highest process id the file holds
};

SnapshotWriter::SnapshotWriter(const QString& path)
    : m_comparison(std::make_unique<Comparison>()), m_file(std::make_unique<File>(path))
{
    m_comparison->lastProcessId = m_file->lastProcessId;
}

SnapshotWriter::~SnapshotWriter() = default;

void SnapshotWriter::append(const Snapshot& snapshot)
{
    std::vector<const Row*> rows;
    rows.reserve(snapshot.rows.size());
    for (const Row& row : snapshot.rows)
        rows.push_back(&row);
    append(snapshot, rows);
}

void SnapshotWriter::append(const Snapshot& heading, const std::vector<const Row*>& rows)
{
    Changes changes = changesOf(heading, rows);
    try {
        write(changes);
    } catch (...) {
        forget();
        throw;
    }
}

void SnapshotWriter::forget()
{
    // The values held have moved on with the snapshot the file did not take: the next one
    // is stored complete, its processes numbered on from those the file holds.
    m_comparison->fields.clear();
    m_comparison->processes.clear();
    m_comparison->lastProcessId = m_file->lastProcessId;
}

SnapshotWriter::Changes SnapshotWriter::changesOf(const Snapshot& heading, const std::vector<const Row*>& rows)
{
    Comparison& held = *m_comparison;
    Changes changes;
    changes.heading.takenAt = heading.takenAt;
    changes.heading.server = heading.server;
    changes.heading.family = heading.family;
    changes.heading.fields = heading.fields;
    changes.heading.locks = heading.locks;
    // The first snapshot of a run, and one with other fields than the one before, stand alone.
    changes.complete = held.fields.empty() || !sameLayout(held.fields, heading.fields);
    if (changes.complete) {
        held.fields = heading.fields;
        held.processes.clear();
    }

    const quint64 snapshot = ++held.snapshots;
    const std::vector<FieldDef>& layoutFields = heading.fields;
    const int spidAt = fieldPosition(layoutFields, "spid");
    const int loginAt = fieldPosition(layoutFields, "login_time");
    const int ecidAt = fieldPosition(layoutFields, "ecid");
    static const QVariant null;
    const auto valueAt = [](const Row& row, int position) -> const QVariant& {
        return position >= 0 && size_t(position) < row.size() ? row[size_t(position)] : null;
    };
    const auto msecsOf = [](const QVariant& value) {
        return value.typeId() == QMetaType::QDateTime ? value.data_ptr().get<QDateTime>().toMSecsSinceEpoch()
                                                      : value.toDateTime().toMSecsSinceEpoch();
    };
    const size_t width = layoutFields.size();

    // The held values are brought up to date while the changes are collected: a refresh of a
    // large list changes few of them.
    for (const Row* listed : rows) {
        const Row& row = *listed;
        const QVariant& spid = valueAt(row, spidAt);
        const QVariant& loginTime = valueAt(row, loginAt);
        const QVariant& ecid = valueAt(row, ecidAt);
        ProcessKey key{cellInteger(spid), msecsOf(loginTime), cellInteger(ecid), 0};
        auto stored = held.processes.find(key);
        while (stored != held.processes.end() && stored->seen == snapshot) {
            ++key.repeat;
            stored = held.processes.find(key);
        }
        if (stored == held.processes.end()) {
            StoredProcess added{++held.lastProcessId, row, snapshot};
            changes.added.push_back({added.id, spid, loginTime, ecid});
            added.row.resize(width);
            for (size_t i = 0; i < width; ++i)
                if (added.row[i].isValid())
                    changes.cells.push_back({added.id, int(i), added.row[i]});
            held.processes.insert(key, std::move(added));
            continue;
        }
        stored->seen = snapshot;
        Row& storedRow = stored->row;
        for (size_t i = 0; i < width && i < row.size(); ++i) {
            if (sameCell(row[i], storedRow[i]))
                continue;
            storedRow[i] = row[i];
            changes.cells.push_back({stored->id, int(i), row[i]});
        }
    }

    // In the table's key order, so that every insert lands at the end of its tree.
    std::sort(changes.cells.begin(), changes.cells.end(), [](const Changes::Cell& a, const Changes::Cell& b) {
        return std::pair(a.process, a.position) < std::pair(b.process, b.position);
    });

    for (auto it = held.processes.begin(); it != held.processes.end();) {
        if (it->seen == snapshot) {
            ++it;
            continue;
        }
        changes.gone.push_back(it->id);
        it = held.processes.erase(it);
    }
    std::sort(changes.gone.begin(), changes.gone.end());
    return changes;
}

void SnapshotWriter::write(const Changes& changes)
{
    File& file = *m_file;
    file.file.exec("BEGIN IMMEDIATE");
    try {
        const qlonglong id = file.writeSnapshot(changes.heading, changes.complete);
        file.writeRows(id, changes);
        file.writeLocks(id, changes.heading);
        file.file.exec("COMMIT");
        if (changes.complete)
            file.layout = id;
        if (!changes.added.empty())
            file.lastProcessId = changes.added.back().id;
    } catch (...) {
        sqlite3_exec(file.file.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

qlonglong SnapshotWriter::File::writeSnapshot(const Snapshot& snapshot, bool complete)
{
    sqlite3_stmt* s = insertSnapshot.handle();
    const QByteArray takenAt = snapshot.takenAt.toOffsetFromUtc(snapshot.takenAt.offsetFromUtc())
                                   .toString(Qt::ISODateWithMs).toUtf8();
    const QByteArray server = snapshot.server.toUtf8();
    const QByteArray family = snapshot.family.toUtf8();
    sqlite3_bind_text(s, 1, takenAt.constData(), int(takenAt.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, server.constData(), int(server.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 3, family.constData(), int(family.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(s, 4, layout);
    sqlite3_bind_int(s, 5, complete ? 1 : 0);
    insertSnapshot.run();
    const qlonglong id = sqlite3_last_insert_rowid(file.handle());
    if (!complete)
        return id;
    sqlite3_bind_int64(setLayout.handle(), 1, id);
    setLayout.run();
    for (size_t i = 0; i < snapshot.fields.size(); ++i) {
        const FieldDef& field = snapshot.fields[i];
        sqlite3_stmt* f = insertField.handle();
        const QByteArray name = field.name.toUtf8();
        const QByteArray kind = fieldKindName(field.kind).toUtf8();
        sqlite3_bind_int64(f, 1, id);
        sqlite3_bind_int(f, 2, int(i));
        sqlite3_bind_text(f, 3, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(f, 4, kind.constData(), int(kind.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(f, 5, field.size);
        sqlite3_bind_int(f, 6, field.readOnly ? 1 : 0);
        sqlite3_bind_int(f, 7, field.calculated ? 1 : 0);
        insertField.run();
    }
    return id;
}

void SnapshotWriter::File::writeRows(qlonglong id, const Changes& changes)
{
    for (const Changes::Process& process : changes.added) {
        sqlite3_stmt* p = insertProcess.handle();
        sqlite3_bind_int64(p, 1, process.id);
        sqlite3_bind_int64(p, 2, id);
        bindCell(p, 3, process.spid, FieldKind::Integer);
        bindCell(p, 4, process.loginTime, FieldKind::DateTime);
        bindCell(p, 5, process.ecid, FieldKind::Integer);
        insertProcess.run();
    }
    const std::vector<FieldDef>& fields = changes.heading.fields;
    const std::vector<Changes::Cell>& cells = changes.cells;
    size_t at = 0;
    for (; cells.size() - at >= CellsAStatement; at += CellsAStatement) {
        for (size_t i = 0; i < CellsAStatement; ++i)
            bindCellRow(insertCells.handle(), int(4 * i) + 1, id, cells[at + i], fields);
        insertCells.run();
    }
    for (; at < cells.size(); ++at) {
        bindCellRow(insertCell.handle(), 1, id, cells[at], fields);
        insertCell.run();
    }
    for (qlonglong process : changes.gone) {
        sqlite3_bind_int64(insertGone.handle(), 1, id);
        sqlite3_bind_int64(insertGone.handle(), 2, process);
        insertGone.run();
    }
}

void SnapshotWriter::File::bindCellRow(sqlite3_stmt* statement, int first, qlonglong id, const Changes::Cell& cell,
                                       const std::vector<FieldDef>& fields)
{
    sqlite3_bind_int64(statement, first, id);
    sqlite3_bind_int64(statement, first + 1, cell.process);
    sqlite3_bind_int(statement, first + 2, cell.position);
    bindCell(statement, first + 3, cell.value, fields[size_t(cell.position)].kind);
}

void SnapshotWriter::File::writeLocks(qlonglong id, const Snapshot& snapshot)
{
    const std::vector<FieldDef>& lockFields = recordedLockFields();
    for (const Row& lock : snapshot.locks) {
        sqlite3_stmt* l = insertLock.handle();
        sqlite3_bind_int64(l, 1, id);
        for (size_t i = 0; i < lockFields.size(); ++i)
            bindCell(l, int(i) + 2, i < lock.size() ? lock[i] : QVariant(), lockFields[i].kind);
        insertLock.run();
    }
}

} // namespace velmora
