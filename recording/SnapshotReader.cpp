#include "SnapshotReader.h"

#include "CellValues.h"
#include "RecordingFile.h"

#include <algorithm>
#include <sqlite3.h>

namespace velmora {

namespace {

QString columnText(sqlite3_stmt* statement, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)));
}

std::optional<FieldKind> kindNamed(const QString& name)
{
    for (int k = int(FieldKind::SmallInt); k <= int(FieldKind::VarBytes); ++k)
        if (fieldKindName(FieldKind(k)) == name)
            return FieldKind(k);
    return std::nullopt;
}

} // namespace

struct SnapshotReader::Statements {
    explicit Statements(const QString& path)
        : file(path, RecordingFile::Mode::ReadOnly)
        , fields(file, "SELECT name, kind, size, read_only, calculated FROM field WHERE layout = ? "
                       "ORDER BY position")
        , gone(file, "SELECT process FROM gone WHERE snapshot = ?")
        , cells(file, "SELECT process, position, value FROM cell WHERE snapshot = ?")
        , locks(file, "SELECT spid, dbid, obj_id, ind_id, type, resource, mode, status FROM lock "
                      "WHERE snapshot = ? ORDER BY rowid")
    {
    }

    RecordingFile file;
    RecordingFile::Statement fields;
    RecordingFile::Statement gone;
    RecordingFile::Statement cells;
    RecordingFile::Statement locks;
};

SnapshotReader::SnapshotReader(const QString& path) : m_db(std::make_unique<Statements>(path))
{
    RecordingFile::Statement list(m_db->file, "SELECT id, taken_at, server, family, layout, complete "
                                              "FROM snapshot ORDER BY id");
    while (list.step()) {
        sqlite3_stmt* s = list.handle();
        Entry entry;
        entry.id = sqlite3_column_int64(s, 0);
        entry.takenAt = QDateTime::fromString(columnText(s, 1), Qt::ISODateWithMs);
        entry.server = columnText(s, 2);
        entry.family = columnText(s, 3);
        entry.layout = sqlite3_column_int64(s, 4);
        entry.complete = sqlite3_column_int(s, 5) != 0;
        m_entries.push_back(entry);
    }
    if (m_entries.empty())
        throw RecordingError(RecordingError::Cause::NotARecording,
                             QStringLiteral("В записи %1 нет ни одного снимка.").arg(path));
    if (!m_entries.front().complete)
        damaged();
}

SnapshotReader::~SnapshotReader() = default;

QString SnapshotReader::path() const
{
    return m_db->file.path();
}

void SnapshotReader::damaged() const
{
    m_db->file.fail(SQLITE_CORRUPT);
}

const std::vector<FieldDef>& SnapshotReader::layoutFields(qlonglong layout)
{
    auto found = m_layouts.find(layout);
    if (found != m_layouts.end())
        return found->second;
    std::vector<FieldDef> fields;
    RecordingFile::Statement& statement = m_db->fields;
    sqlite3_bind_int64(statement.handle(), 1, layout);
    while (statement.step()) {
        sqlite3_stmt* s = statement.handle();
        const std::optional<FieldKind> kind = kindNamed(columnText(s, 1));
        if (!kind) {
            statement.reset();
            damaged();
        }
        fields.push_back(FieldDef{columnText(s, 0), *kind, sqlite3_column_int(s, 2), sqlite3_column_int(s, 3) != 0,
                                  sqlite3_column_int(s, 4) != 0});
    }
    statement.reset();
    if (fields.empty())
        damaged();
    return m_layouts.emplace(layout, std::move(fields)).first->second;
}

void SnapshotReader::apply(const Entry& entry, const std::vector<FieldDef>& fields)
{
    if (entry.complete)
        m_state.clear();
    RecordingFile::Statement& gone = m_db->gone;
    sqlite3_bind_int64(gone.handle(), 1, entry.id);
    while (gone.step())
        m_state.erase(sqlite3_column_int64(gone.handle(), 0));
    gone.reset();

    RecordingFile::Statement& cells = m_db->cells;
    sqlite3_bind_int64(cells.handle(), 1, entry.id);
    while (cells.step()) {
        sqlite3_stmt* s = cells.handle();
        const int position = sqlite3_column_int(s, 1);
        if (position < 0 || size_t(position) >= fields.size()) {
            cells.reset();
            damaged();
        }
        Row& row = m_state[sqlite3_column_int64(s, 0)];
        row.resize(fields.size());
        row[size_t(position)] = readCell(s, 2, fields[size_t(position)].kind);
    }
    cells.reset();
}

Snapshot SnapshotReader::read(int index)
{
    const Entry& target = m_entries[size_t(index)];
    const std::vector<FieldDef>& fields = layoutFields(target.layout);
    // Forward from the rows held when no complete snapshot lies between; else from the last
    // complete snapshot at or before the target (the first one always is).
    int from = index + 1;
    if (m_stateIndex != index) {
        from = index;
        while (!m_entries[size_t(from)].complete && from - 1 != m_stateIndex)
            --from;
    }
    m_stateIndex = -1;
    for (int i = from; i <= index; ++i) {
        if (m_entries[size_t(i)].layout != target.layout)
            damaged();
        apply(m_entries[size_t(i)], fields);
    }
    m_stateIndex = index;

    Snapshot snapshot;
    snapshot.takenAt = target.takenAt;
    snapshot.server = target.server;
    snapshot.family = target.family;
    snapshot.fields = fields;
    snapshot.rows.reserve(m_state.size());
    for (const auto& [id, row] : m_state)
        snapshot.rows.push_back(row);
    const int spidAt = fieldPosition(fields, "spid");
    const int ecidAt = fieldPosition(fields, "ecid");
    const auto key = [](const Row& row, int position) {
        return position >= 0 ? row[size_t(position)].toLongLong() : 0;
    };
    std::stable_sort(snapshot.rows.begin(), snapshot.rows.end(), [&](const Row& a, const Row& b) {
        return std::pair(key(a, spidAt), key(a, ecidAt)) < std::pair(key(b, spidAt), key(b, ecidAt));
    });

    RecordingFile::Statement& locks = m_db->locks;
    sqlite3_bind_int64(locks.handle(), 1, target.id);
    const std::vector<FieldDef>& lockFields = recordedLockFields();
    while (locks.step()) {
        Row lock;
        for (size_t i = 0; i < lockFields.size(); ++i)
            lock.push_back(readCell(locks.handle(), int(i), lockFields[i].kind));
        snapshot.locks.push_back(std::move(lock));
    }
    locks.reset();
    return snapshot;
}

} // namespace velmora
