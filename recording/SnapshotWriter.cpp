#include "SnapshotWriter.h"

#include "CellValues.h"
#include "RecordingFile.h"

#include <QHash>
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
    quint64 seen = 0;   // the last append that listed it
};

/// A value to store: the cell of `position` of process `process`.
struct Change {
    qlonglong process;
    int position;
    const QVariant* value;
};

bool sameLayout(const std::vector<FieldDef>& a, const std::vector<FieldDef>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const FieldDef& x, const FieldDef& y) {
        return x.name == y.name && x.kind == y.kind && x.size == y.size && x.readOnly == y.readOnly
            && x.calculated == y.calculated;
    });
}

} // namespace

struct SnapshotWriter::State {
    explicit State(const QString& path)
        : file(path, RecordingFile::Mode::Append)
        , insertSnapshot(file, "INSERT INTO snapshot(taken_at, server, family, layout, complete) "
                               "VALUES(?, ?, ?, ?, ?)")
        , setLayout(file, "UPDATE snapshot SET layout = id WHERE id = ?")
        , insertField(file, "INSERT INTO field VALUES(?, ?, ?, ?, ?, ?, ?)")
        , insertProcess(file, "INSERT INTO process(first_snapshot, spid, login_time, ecid) VALUES(?, ?, ?, ?)")
        , insertCell(file, "INSERT INTO cell VALUES(?, ?, ?, ?)")
        , insertGone(file, "INSERT INTO gone VALUES(?, ?)")
        , insertLock(file, "INSERT INTO lock VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)")
    {
    }

    qlonglong writeSnapshot(const Snapshot& snapshot, bool complete);
    void writeRows(qlonglong id, const std::vector<FieldDef>& fields, const std::vector<const Row*>& rows);
    void writeLocks(qlonglong id, const Snapshot& snapshot);

    RecordingFile file;
    RecordingFile::Statement insertSnapshot;
    RecordingFile::Statement setLayout;
    RecordingFile::Statement insertField;
    RecordingFile::Statement insertProcess;
    RecordingFile::Statement insertCell;
    RecordingFile::Statement insertGone;
    RecordingFile::Statement insertLock;

    // What the file's last snapshot holds; empty until then (and after a failed append), so
    // that the next one is complete.
    std::vector<FieldDef> fields;
    qlonglong layout = 0;
    QHash<ProcessKey, StoredProcess> processes;
    quint64 appends = 0;
};

SnapshotWriter::SnapshotWriter(const QString& path) : m_state(std::make_unique<State>(path))
{
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
    State& state = *m_state;
    state.file.exec("BEGIN IMMEDIATE");
    // The first snapshot of a run, and one with other fields than the one before, stand alone.
    const bool complete = state.fields.empty() || !sameLayout(state.fields, heading.fields);
    try {
        const qlonglong id = state.writeSnapshot(heading, complete);
        if (complete) {
            state.fields = heading.fields;
            state.layout = id;
            state.processes.clear();
        }
        state.writeRows(id, heading.fields, rows);
        state.writeLocks(id, heading);
        state.file.exec("COMMIT");
    } catch (...) {
        sqlite3_exec(state.file.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        // The values held have moved on with the snapshot the file did not take: the next one
        // is stored complete.
        state.fields.clear();
        state.processes.clear();
        throw;
    }
}

qlonglong SnapshotWriter::State::writeSnapshot(const Snapshot& snapshot, bool complete)
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

void SnapshotWriter::State::writeRows(qlonglong id, const std::vector<FieldDef>& layoutFields,
                                      const std::vector<const Row*>& rows)
{
    const quint64 append = ++appends;
    const int spidAt = fieldPosition(layoutFields, "spid");
    const int loginAt = fieldPosition(layoutFields, "login_time");
    const int ecidAt = fieldPosition(layoutFields, "ecid");
    const auto valueAt = [](const Row& row, int position) {
        return position >= 0 && size_t(position) < row.size() ? row[size_t(position)] : QVariant();
    };
    const size_t width = layoutFields.size();

    // The held values are brought up to date while the changes are collected: a refresh of a
    // large list changes few of them.
    std::vector<Change> changes;
    for (const Row* listed : rows) {
        const Row& row = *listed;
        ProcessKey key{valueAt(row, spidAt).toLongLong(), valueAt(row, loginAt).toDateTime().toMSecsSinceEpoch(),
                       valueAt(row, ecidAt).toLongLong(), 0};
        auto stored = processes.find(key);
        while (stored != processes.end() && stored->seen == append) {
            ++key.repeat;
            stored = processes.find(key);
        }
        if (stored == processes.end()) {
            sqlite3_stmt* p = insertProcess.handle();
            sqlite3_bind_int64(p, 1, id);
            bindCell(p, 2, valueAt(row, spidAt), FieldKind::Integer);
            bindCell(p, 3, valueAt(row, loginAt), FieldKind::DateTime);
            bindCell(p, 4, valueAt(row, ecidAt), FieldKind::Integer);
            insertProcess.run();
            StoredProcess added{sqlite3_last_insert_rowid(file.handle()), row, append};
            added.row.resize(width);
            for (size_t i = 0; i < width; ++i)
                if (added.row[i].isValid())
                    changes.push_back({added.id, int(i), &row[i]});
            processes.insert(key, std::move(added));
            continue;
        }
        stored->seen = append;
        for (size_t i = 0; i < width && i < row.size(); ++i) {
            if (sameCell(row[i], stored->row[i]))
                continue;
            changes.push_back({stored->id, int(i), &row[i]});
            stored->row[i] = row[i];
        }
    }

    // In the table's key order, so that every insert lands at the end of its tree.
    std::sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) {
        return std::pair(a.process, a.position) < std::pair(b.process, b.position);
    });
    for (const Change& change : changes) {
        sqlite3_stmt* c = insertCell.handle();
        sqlite3_bind_int64(c, 1, id);
        sqlite3_bind_int64(c, 2, change.process);
        sqlite3_bind_int(c, 3, change.position);
        bindCell(c, 4, *change.value, layoutFields[size_t(change.position)].kind);
        insertCell.run();
    }

    std::vector<qlonglong> gone;
    for (auto it = processes.begin(); it != processes.end();) {
        if (it->seen == append) {
            ++it;
            continue;
        }
        gone.push_back(it->id);
        it = processes.erase(it);
    }
    std::sort(gone.begin(), gone.end());
    for (qlonglong process : gone) {
        sqlite3_bind_int64(insertGone.handle(), 1, id);
        sqlite3_bind_int64(insertGone.handle(), 2, process);
        insertGone.run();
    }
}

void SnapshotWriter::State::writeLocks(qlonglong id, const Snapshot& snapshot)
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
