// Recording files: the schema as plain SQL reads it, snapshots read back with the same cells and
// kinds in any order of reading, a failed append that leaves the file and the next snapshot
// right, and bad files refused without a byte changed.
#include "RecordingError.h"
#include "SnapshotReader.h"
#include "SnapshotWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace velmora;

namespace {

std::vector<FieldDef> testFields()
{
    return {{QStringLiteral("spid"), FieldKind::SmallInt},
            {QStringLiteral("login_time"), FieldKind::DateTime},
            {QStringLiteral("ecid"), FieldKind::SmallInt},
            {QStringLiteral("cpu"), FieldKind::Integer},
            {QStringLiteral("physical_io"), FieldKind::LargeInt},
            {QStringLiteral("ratio"), FieldKind::Float},
            {QStringLiteral("status"), FieldKind::FixedWideChar, 30},
            {QStringLiteral("sid"), FieldKind::Bytes, 4},
            {QStringLiteral("amount"), FieldKind::BCD, 10}};
}

// A date-time as a fetch holds it: the local wall clock with its offset.
QDateTime wall(const char* text)
{
    const QDateTime local = QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    return QDateTime::fromMSecsSinceEpoch(local.toMSecsSinceEpoch(), Qt::OffsetFromUTC, local.offsetFromUtc());
}

Row process(int spid, int cpu, const QVariant& status, const char* sid = "\x01\x02\x00\x04", int ecid = 0)
{
    return {QVariant::fromValue(qint16(spid)), wall("2026-12-10 03:12:05.127"), QVariant::fromValue(qint16(ecid)),
            cpu, qlonglong(cpu) << 33, cpu / 8.0, status, QByteArray(sid, 4), QStringLiteral("12.50")};
}

Snapshot snapshot(std::vector<Row> rows, const char* time, std::vector<FieldDef> fields = testFields())
{
    return {wall(time), QStringLiteral("srv"), QStringLiteral("2000"), std::move(fields), std::move(rows), {}};
}

// The three snapshots most cases write: a process changing, one vanishing, one new, a value
// becoming null, then the vanished one back with another sid.
std::vector<Snapshot> threeSnapshots()
{
    const QString sleeping = QStringLiteral("sleeping");
    Snapshot first = snapshot({process(51, 10, sleeping), process(52, 5, sleeping), process(53, 0, sleeping)},
                              "2026-12-10 03:12:00.000");
    first.locks = {{QVariant::fromValue(qint16(51)), QVariant::fromValue(qint16(7)), 117575457,
                    QVariant::fromValue(qint16(1)), QStringLiteral("TAB"), QStringLiteral(""), QStringLiteral("X"),
                    QStringLiteral("GRANT")}};
    return {first,
            snapshot({process(51, 11, QVariant()), process(52, 5, sleeping), process(54, 1, QStringLiteral("runnable"))},
                     "2026-12-10 03:12:05.250"),
            snapshot({process(51, 11, QVariant()), process(52, 5, sleeping, "\x09\x09\x09\x09"),
                      process(53, 2, sleeping), process(54, 1, QStringLiteral("runnable"))},
                     "2026-12-10 03:12:10.500")};
}

// Every cell with its variant type, so that a value of another kind shows up as a difference.
QString cellsOf(const std::vector<Row>& rows)
{
    QStringList lines;
    for (const Row& row : rows) {
        QStringList cells;
        for (const QVariant& value : row) {
            QString text = value.typeId() == QMetaType::QDateTime
                ? value.toDateTime().toString(Qt::ISODateWithMs)
                : value.typeId() == QMetaType::QByteArray ? QString::fromLatin1(value.toByteArray().toHex())
                                                          : value.toString();
            cells << QString::fromLatin1(value.typeName() ? value.typeName() : "null") + u':' + text;
        }
        lines << cells.join(u'|');
    }
    return lines.join(u'\n');
}

/// The rows of `sql` on a plain SQLite connection, columns joined by '|', a line each.
QString plainSql(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    QStringList lines;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList columns;
            for (int c = 0; c < sqlite3_column_count(statement); ++c)
                columns << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, c)));
            lines << columns.join(u'|');
        }
    } else {
        lines << QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return lines.join(u'\n');
}

/// A second program's connection to a file, holding a lock while alive: the exclusive lock of a
/// writer, or the shared lock of a reader (which lets a transaction begin but not commit).
struct ForeignLock {
    explicit ForeignLock(const QString& path, const char* begin = "BEGIN EXCLUSIVE")
    {
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db, begin, nullptr, nullptr, nullptr);
    }
    ~ForeignLock()
    {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    sqlite3* db = nullptr;
};

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class RecordingFileTest : public ::testing::Test {
protected:
    QString write(const std::vector<Snapshot>& snapshots, const QString& name = QStringLiteral("r.vrec"))
    {
        const QString path = dir.filePath(name);
        SnapshotWriter writer(path);
        for (const Snapshot& s : snapshots)
            writer.append(s);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(RecordingFileTest, SchemaReadsWithPlainSqlAndStoresOnlyWhatChanged)
{
    const std::vector<Snapshot> all = threeSnapshots();
    const QString path = write({all[0], all[1]});

    EXPECT_EQ(plainSql(path, "SELECT key, value FROM meta ORDER BY key"),
              QStringLiteral("application|Velmora\nschema_version|1"));
    EXPECT_EQ(plainSql(path, "SELECT id, server, family, layout, complete FROM snapshot"),
              QStringLiteral("1|srv|2000|1|1\n2|srv|2000|1|0"));
    EXPECT_EQ(plainSql(path, "SELECT substr(taken_at, 12, 12) FROM snapshot WHERE id = 2"), QStringLiteral("03:12:05.250"));
    EXPECT_EQ(plainSql(path, "SELECT group_concat(name || ':' || kind || ':' || size, ' ') FROM field WHERE layout = 1"),
              QStringLiteral("spid:SmallInt:0 login_time:DateTime:0 ecid:SmallInt:0 cpu:Integer:0 physical_io:LargeInt:0 "
                             "ratio:Float:0 status:FixedWideChar:30 sid:Bytes:4 amount:BCD:10"));
    // Each value with its storage class, as the first snapshot stored process 51.
    EXPECT_EQ(plainSql(path, "SELECT group_concat(f.name || ':' || typeof(c.value) || ':' || "
                             "CASE typeof(c.value) WHEN 'blob' THEN hex(c.value) ELSE c.value END, ' ') "
                             "FROM cell c JOIN process p ON p.id = c.process JOIN field f "
                             "ON f.layout = 1 AND f.position = c.position WHERE c.snapshot = 1 AND p.spid = 51"),
              QStringLiteral("spid:integer:51 login_time:text:2026-12-10 03:12:05.127 ecid:integer:0 cpu:integer:10 "
                             "physical_io:integer:85899345920 ratio:real:1.25 status:text:sleeping sid:blob:01020004 "
                             "amount:text:12.50"));
    // The second snapshot: 51's cpu, io, ratio and status (now null), all of 54, and 53 gone.
    EXPECT_EQ(plainSql(path, "SELECT p.spid, count(*), sum(c.value IS NULL) FROM cell c JOIN process p "
                             "ON p.id = c.process WHERE c.snapshot = 2 GROUP BY p.spid ORDER BY p.spid"),
              QStringLiteral("51|4|1\n54|9|0"));
    EXPECT_EQ(plainSql(path, "SELECT p.spid FROM gone g JOIN process p ON p.id = g.process WHERE g.snapshot = 2"),
              QStringLiteral("53"));
    EXPECT_EQ(plainSql(path, "SELECT snapshot, spid, dbid, obj_id, type, mode, status FROM lock"),
              QStringLiteral("1|51|7|117575457|TAB|X|GRANT"));
}

TEST_F(RecordingFileTest, EverySnapshotReadsBackWithItsCellsKindsAndOrderInAnyOrderOfReading)
{
    std::vector<Snapshot> all = threeSnapshots();
    // Other fields make the fourth snapshot stand alone.
    std::vector<FieldDef> fewer = testFields();
    fewer.resize(4);
    all.push_back(snapshot({{QVariant::fromValue(qint16(60)), wall("2026-12-10 03:00:00.000"),
                             QVariant::fromValue(qint16(0)), 3}},
                           "2026-12-10 03:12:15.000", fewer));
    const QString path = write(all);

    SnapshotReader reader(path);
    ASSERT_EQ(reader.count(), 4);
    for (int index : {2, 0, 1, 3, 2, 1}) {
        SCOPED_TRACE(index);
        const Snapshot read = reader.read(index);
        EXPECT_EQ(cellsOf(read.rows), cellsOf(all[size_t(index)].rows));
        EXPECT_EQ(read.fields.size(), all[size_t(index)].fields.size());
        EXPECT_EQ(read.takenAt, all[size_t(index)].takenAt);
        EXPECT_EQ(cellsOf(read.locks), cellsOf(all[size_t(index)].locks));
    }
    EXPECT_EQ(plainSql(path, "SELECT group_concat(complete) FROM snapshot"), QStringLiteral("1,0,0,1"));
}

TEST_F(RecordingFileTest, AnAppendThatFailsLeavesTheFileAndTheNextSnapshotRight)
{
    const std::vector<Snapshot> all = threeSnapshots();
    const QString path = dir.filePath(QStringLiteral("r.vrec"));
    SnapshotWriter writer(path);
    writer.append(all[0]);
    {
        ForeignLock lock(path, "BEGIN; SELECT count(*) FROM snapshot");
        try {
            writer.append(all[1]);
            ADD_FAILURE() << "an append under another program's lock succeeded";
        } catch (const RecordingError& error) {
            EXPECT_EQ(error.cause(), RecordingError::Cause::Locked);
        }
    }
    writer.append(all[2]);

    SnapshotReader reader(path);
    ASSERT_EQ(reader.count(), 2);
    EXPECT_EQ(cellsOf(reader.read(1).rows), cellsOf(all[2].rows));
}

TEST_F(RecordingFileTest, BadFilesAreRefusedAndNeverChanged)
{
    using Cause = RecordingError::Cause;
    const auto writeText = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const auto plainExec = [](const QString& path, const char* sql) {
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_close(db);
    };
    // A recording big enough that cutting it in half loses pages of its tables.
    std::vector<Row> many;
    for (int spid = 1; spid <= 400; ++spid)
        many.push_back(process(spid, spid, QStringLiteral("a status long enough to fill pages")));
    const QString good = write({snapshot(many, "2026-12-10 03:12:00.000")}, QStringLiteral("good.vrec"));

    struct Case {
        const char* name;
        std::function<void(const QString& path)> make;
        Cause cause;
        bool writerRefuses = true;
    };
    const Case cases[] = {
        {"a text file", [&](const QString& p) { writeText(p, "spid,cpu\n51,10\n"); }, Cause::NotARecording},
        {"another program's database", [&](const QString& p) { plainExec(p, "CREATE TABLE t(a); INSERT INTO t VALUES(1)"); },
         Cause::NotARecording},
        {"a newer schema", [&](const QString& p) {
             QFile::copy(good, p);
             plainExec(p, "UPDATE meta SET value = '2' WHERE key = 'schema_version'");
         }, Cause::NewerSchema},
        {"a truncated recording", [&](const QString& p) { writeText(p, bytesOf(good).left(bytesOf(good).size() / 2)); },
         Cause::Damaged},
        {"a recording without snapshots", [](const QString& p) { SnapshotWriter made(p); }, Cause::NotARecording, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name) + QStringLiteral(".vrec"));
        c.make(path);
        const QByteArray before = bytesOf(path);
        ASSERT_FALSE(before.isEmpty());
        try {
            SnapshotReader reader(path);
            ADD_FAILURE() << "opened";
        } catch (const RecordingError& error) {
            EXPECT_EQ(error.cause(), c.cause) << error.text().toStdString();
            EXPECT_TRUE(error.text().contains(path));
        }
        if (c.writerRefuses) {
            try {
                SnapshotWriter writer(path);
                ADD_FAILURE() << "opened for appending";
            } catch (const RecordingError& error) {
                EXPECT_EQ(error.cause(), c.cause) << error.text().toStdString();
            }
        }
        EXPECT_EQ(bytesOf(path), before);
        EXPECT_FALSE(QFile::exists(path + QStringLiteral("-journal")));
    }

    // A locked recording, for the reader and for a writer appending to it.
    const QByteArray before = bytesOf(good);
    {
        ForeignLock lock(good);
        for (const auto& open : std::initializer_list<std::function<void()>>{
                 [&] { SnapshotReader reader(good); }, [&] { SnapshotWriter writer(good); }}) {
            try {
                open();
                ADD_FAILURE() << "opened under another program's lock";
            } catch (const RecordingError& error) {
                EXPECT_EQ(error.cause(), Cause::Locked);
            }
        }
    }
    EXPECT_EQ(bytesOf(good), before);
}

} // namespace
