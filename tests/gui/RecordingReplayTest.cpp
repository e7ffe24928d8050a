// Recording the process list through the main window against the simulated server and replaying
// it with no server: the same cells, kinds and order, the snapshot's time in the title, the step
// keys, refresh and kill unavailable, Ctrl+C connecting as ever; the last snapshot in the file
// once recording stops or the window closes; a recording that cannot be written said once, the
// refresh going on; and, with no server at all, a recording's rates by its recorded times, its
// tree, its detail window and a snapshot damaged after good ones.
#include "BlockingTreeView.h"
#include "MainWindowTestSupport.h"
#include "ProcessDetailWindow.h"
#include "ProcessQueries.h"
#include "ProcessTab.h"
#include "Query.h"
#include "RecordingControls.h"
#include "SimFixture.h"
#include "SnapshotWriter.h"
#include "ValueCompare.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

// The visible rows, each cell with its variant type.
QString visibleCells(const Query& list)
{
    QStringList lines;
    for (int row = 0; row < list.recordCount(); ++row) {
        QStringList cells;
        for (int field = 0; field < int(list.fields().size()); ++field) {
            const QVariant value = list.valueAt(row, field);
            cells << QString::fromLatin1(value.typeName() ? value.typeName() : "null") + u':' + value.toString();
        }
        lines << cells.join(u'|');
    }
    return lines.join(u'\n');
}

// The number the first column of `sql`'s first row holds, read with plain SQL.
qint64 plainNumber(const QString& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    qint64 number = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
        number = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return number;
}

// Each server family, its process query and its fields.
class RecordingReplay : public ::testing::TestWithParam<sqlsim::ServerVersion> {
protected:
    void SetUp() override
    {
        fillLogin(*window, QStringLiteral("127.0.0.1,%1").arg(sim.port()), QStringLiteral("sa"),
                  QStringLiteral("velmora"));
        ASSERT_TRUE(showActive(*window));
        pressKey(Qt::Key_C, Qt::ControlModifier);
        ASSERT_TRUE(list().isActive()) << messages.texts().toStdString();
        recording().onChooseRecordingFile = [this] { return recordingPath; };
        recording().onChooseRecordingToOpen = [this] { return recordingPath; };
    }

    Query& list() { return *part<ProcessTab>(*window, "processTab")->procSource(); }
    RecordingControls& recording() { return *part<ProcessTab>(*window, "processTab")->recordingControls(); }
    int refreshCount()
    {
        std::lock_guard lock(sim.engine().mutex());
        return sim.engine().state().refreshCount;
    }
    void changeCpu(int cpu)
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().processes.front().cpu = cpu;
    }
    /// The title's time of the snapshot shown, parsed back.
    QDateTime titleTime() const
    {
        const QString title = window->windowTitle();
        return QDateTime::fromString(title.right(19), QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    }

    SettingsFile settings;
    RecordedMessages messages;
    SimFixture sim{GetParam()};
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>();
    QTemporaryDir dir;
    QString recordingPath = dir.filePath(QStringLiteral("night.vrec"));
};

TEST_P(RecordingReplay, TwoRefreshesReplayWithNoServerAsTheyWereShown)
{
    const QString baseTitle = window->windowTitle();
    const QString variant = list().objectName();
    pressKey(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(recording().isRecording());

    std::vector<QString> shown;
    std::vector<std::pair<QDateTime, QDateTime>> readAt;
    for (int cpu : {111, 222}) {
        changeCpu(cpu);
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        pressKey(Qt::Key_F5);
        readAt.emplace_back(before, QDateTime::currentDateTime());
        shown.push_back(visibleCells(list()));
    }
    pressKey(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(recording().isRecording());

    // The second snapshot's locks: every lock of the processes that block others, and no other.
    QSet<int> blockers;
    for (int row = 0; row < list().heldRowCount(); ++row)
        if (const int blocker = list().heldRow(row)[size_t(list().fieldIndex(QStringLiteral("blocked")))].toInt())
            blockers.insert(blocker);
    ASSERT_FALSE(blockers.isEmpty());
    const qint64 blockerLocks = [&] {
        std::lock_guard lock(sim.engine().mutex());
        return std::count_if(sim.engine().state().locks.begin(), sim.engine().state().locks.end(),
                             [&](const sqlsim::Lock& l) { return blockers.contains(l.spid); });
    }();
    EXPECT_GT(blockerLocks, 0);
    EXPECT_EQ(plainNumber(recordingPath, "SELECT count(*) FROM lock WHERE snapshot = 2"), blockerLocks);
    pressKey(Qt::Key_D, Qt::ControlModifier);
    ASSERT_FALSE(list().isActive());

    pressKey(Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(recording().isReplaying()) << messages.texts().toStdString();
    EXPECT_EQ(list().objectName(), QStringLiteral("ReplayQuery"));
    EXPECT_FALSE(part<QWidget>(*window, "refreshButton")->isEnabled());
    EXPECT_FALSE(part<QWidget>(*window, "killButton")->isEnabled());
    EXPECT_FALSE(part<QAction>(*window, "RefAction")->isEnabled());
    EXPECT_FALSE(part<QAction>(*window, "DelAction")->isEnabled());

    // Each step shows the snapshot of that refresh, whichever way the keys go.
    const struct {
        Qt::Key key;
        int snapshot;
    } steps[] = {{Qt::Key_Home, 0}, {Qt::Key_Right, 1}, {Qt::Key_Right, 1}, {Qt::Key_Left, 0}, {Qt::Key_End, 1}};
    for (const auto& step : steps) {
        pressKey(step.key, Qt::AltModifier);
        SCOPED_TRACE(step.snapshot);
        EXPECT_EQ(visibleCells(list()), shown[size_t(step.snapshot)]);
        EXPECT_TRUE(window->windowTitle().startsWith(
            baseTitle + QStringLiteral(" — запись 127.0.0.1,%1, ").arg(sim.port())));
        // The title's time has whole seconds; `first` is a second before the refresh began.
        EXPECT_GE(titleTime(), readAt[size_t(step.snapshot)].first);
        EXPECT_LE(titleTime(), readAt[size_t(step.snapshot)].second);
        EXPECT_EQ(part<QLabel>(*window, "replayPosition")->text(), QStringLiteral("%1 из 2").arg(step.snapshot + 1));
    }

    // A refresh that comes some other way than F5 (an automatic one) leaves the replay alone.
    part<ProcessTab>(*window, "processTab")->refreshKey();
    EXPECT_EQ(visibleCells(list()), shown[1]);

    // Ctrl+C connects as ever, which leaves the recording.
    const int reads = refreshCount();
    pressKey(Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(recording().isReplaying());
    EXPECT_EQ(list().objectName(), variant);
    EXPECT_TRUE(list().isActive());
    EXPECT_EQ(refreshCount(), reads + 1);
    EXPECT_EQ(window->windowTitle(), baseTitle);
    EXPECT_EQ(messages.texts(), QString());
}

TEST_P(RecordingReplay, StoppingOrClosingRightAfterARefreshKeepsItsSnapshot)
{
    const struct {
        const char* name;
        std::function<void()> end;
    } cases[] = {
        {"the record key", [] { pressKey(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier); }},
        {"the window closed", [this] { window.reset(); }},
    };
    // One file, asked for once.
    qint64 snapshots = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pressKey(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
        ASSERT_TRUE(recording().isRecording());
        for (int i = 0; i < 3; ++i)
            pressKey(Qt::Key_F5);
        c.end();
        snapshots += 3;
        EXPECT_EQ(plainNumber(recordingPath, "SELECT count(*) FROM snapshot"), snapshots);
    }
}

TEST_P(RecordingReplay, ARecordingThatCannotBeWrittenIsSaidOnceAndTheRefreshGoesOn)
{
    sqlite3* other = nullptr;
    const struct {
        const char* name;
        std::function<void()> before;
        std::function<void()> whileRecording;   // none when recording cannot start
    } cases[] = {
        {"a folder that is a file", [this] {
             QFile file(dir.filePath(QStringLiteral("plain")));
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             recordingPath = dir.filePath(QStringLiteral("plain/night.vrec"));
         }, {}},
        {"a file another program holds", [this] { recordingPath = dir.filePath(QStringLiteral("held.vrec")); }, [&] {
             sqlite3_open(recordingPath.toUtf8().constData(), &other);
             sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
         }},
        {"a folder removed while recording", [this] {
             ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("gone")));
             recordingPath = dir.filePath(QStringLiteral("gone/night.vrec"));
         }, [this] { ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("gone"))).removeRecursively()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages.all.clear();
        c.before();
        pressKey(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
        if (c.whileRecording) {
            ASSERT_TRUE(recording().isRecording());
            c.whileRecording();
        }
        const int reads = refreshCount();
        for (int i = 0; i < 3; ++i)
            pressKey(Qt::Key_F5);
        // The snapshots are stored on a thread of their own, which reports back in a while.
        EXPECT_TRUE(QTest::qWaitFor([this] { return !recording().isRecording(); }));
        sqlite3_close(other);
        other = nullptr;
        EXPECT_EQ(refreshCount(), reads + 3);
        EXPECT_TRUE(list().isActive());
        EXPECT_FALSE(recording().isRecording());
        ASSERT_EQ(messages.all.size(), 1u) << messages.texts().toStdString();
        EXPECT_TRUE(messages.all.front().text.contains(recordingPath)) << messages.texts().toStdString();
    }
}

TEST(RecordingReplayWithNoServer, RatesAreAgainstTheSnapshotRecordedBeforeAtTheRecordedTimes)
{
    SettingsFile settings;
    RecordedMessages messages;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("night.vrec"));
    {
        // As the program records them, with the rates it showed then (a figure of another time).
        std::vector<FieldDef> fields = processFields(ServerFamily::Sql2000);
        fields.push_back({"cpu_rate", FieldKind::BCD, 9, true, true});
        fields.push_back({"physical_io_rate", FieldKind::BCD, 9, true, true});
        const auto row = [&](const std::vector<std::pair<const char*, QVariant>>& values) {
            Row made(fields.size());
            for (const auto& [name, value] : values)
                made[size_t(findFieldIndex(fields, QString::fromLatin1(name)))] = value;
            return made;
        };
        const QDateTime start(QDate(2026, 12, 10), QTime(3, 12));
        const struct {
            int second;
            int cpu;
            qlonglong io;
        } taken[] = {{0, 100, 50}, {10, 400, 50}, {12, 420, 90}, {30, 1320, 90}};
        SnapshotWriter writer(path);
        for (size_t i = 0; i < std::size(taken); ++i) {
            const auto& t = taken[i];
            Snapshot snapshot{.takenAt = start.addSecs(t.second), .server = "night", .family = "2000",
                              .fields = fields,
                              .rows = {row({{"spid", 51}, {"ecid", 0}, {"login_time", start.addSecs(-60)},
                                            {"cpu", t.cpu}, {"physical_io", t.io}, {"blocked", 0},
                                            {"block_count", 1}, {"cpu_rate", "999.0"}, {"physical_io_rate", "999.0"}}),
                                       row({{"spid", 52}, {"ecid", 0}, {"login_time", start.addSecs(-60)}, {"cpu", 7},
                                            {"physical_io", qlonglong(7)}, {"blocked", 51}, {"block_count", 0}})},
                              .locks = {}};
            // 51 blocks 52: the recording keeps its locks, one more at every snapshot.
            for (int lock = 0; lock <= int(i); ++lock)
                snapshot.locks.push_back({51, 7, 1000 + lock, 0, "TAB", "", "X", "GRANT"});
            writer.append(snapshot);
        }
    }
    MainWindow window;
    ASSERT_TRUE(showActive(window));
    auto& tab = *part<ProcessTab>(window, "processTab");
    tab.recordingControls()->onChooseRecordingToOpen = [&] { return path; };
    pressKey(Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(tab.recordingControls()->isReplaying()) << messages.texts().toStdString();
    Query& list = *tab.procSource();
    const auto ratesOf51 = [&] {
        list.locate("spid", 51);
        return list.value("cpu_rate").toString() + u'|' + list.value("physical_io_rate").toString();
    };
    pressKey(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(ratesOf51(), "|");

    // Whichever way the keys go, a snapshot's rates are against the one recorded before it.
    const struct {
        Qt::Key key;
        const char* rates;
    } steps[] = {{Qt::Key_Right, "30.0|0.0"}, {Qt::Key_End, "50.0|0.0"}, {Qt::Key_Left, "10.0|20.0"},
                 {Qt::Key_Home, "|"},         {Qt::Key_End, "50.0|0.0"},  {Qt::Key_Home, "|"},
                 {Qt::Key_Right, "30.0|0.0"}, {Qt::Key_Right, "10.0|20.0"}};
    for (const auto& step : steps) {
        pressKey(step.key, Qt::AltModifier);
        SCOPED_TRACE(part<QLabel>(window, "replayPosition")->text().toStdString());
        EXPECT_EQ(ratesOf51(), step.rates);
    }
    // Turned on again at a snapshot, they are there at once.
    for (int toggle = 0; toggle < 2; ++toggle)
        pressKey(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(ratesOf51(), "10.0|20.0");

    // The tree needs no server either.
    EXPECT_TRUE(part<QToolButton>(window, "blockingTreeButton")->isEnabled());
    pressKey(Qt::Key_T, Qt::ControlModifier);
    ASSERT_TRUE(tab.isBlockingTreeShown());
    list.locate("spid", 51);
    EXPECT_EQ(list.value(BlockingTreeView::WaitingField).toInt(), 1);

    // Enter opens the detail window with the snapshot's locks from the file, and no refresh.
    pressKey(Qt::Key_End, Qt::AltModifier);
    const struct {
        int spid;
        const char* objectIds;
    } details[] = {{51, "1000 1001 1002 1003"}, {52, ""}};
    for (const auto& detail : details) {
        list.locate("spid", detail.spid);
        QStringList objectIds;
        bool refreshable = true;
        QString title;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* shown = qobject_cast<ProcessDetailWindow*>(QApplication::activeModalWidget());
            if (!shown)
                return;
            poll.stop();
            Query& locks = *part<Query>(*shown, "LockQuery");
            for (locks.first(); !locks.eof(); locks.next())
                objectIds << locks.value("ObjId").toString();
            objectIds.sort();
            refreshable = part<QWidget>(*shown, "refreshButton")->isEnabled();
            title = shown->windowTitle();
            shown->close();
        });
        poll.start(10);
        ASSERT_TRUE(showActive(window));
        pressKey(Qt::Key_Return);
        EXPECT_EQ(objectIds.join(u' '), detail.objectIds);
        EXPECT_FALSE(refreshable);
        EXPECT_EQ(title, QStringLiteral("Информация по процессу %1").arg(detail.spid));
    }
    EXPECT_EQ(messages.texts(), QString());

    // A snapshot the file has damaged, after good ones: said at the step to it, the replay left
    // rather than half shown, the file unchanged.
    const QString damaged = dir.filePath(QStringLiteral("damaged.vrec"));
    ASSERT_TRUE(QFile::copy(path, damaged));
    sqlite3* db = nullptr;
    sqlite3_open(damaged.toUtf8().constData(), &db);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE cell SET position = 99 WHERE snapshot = 4", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const auto bytesOf = [](const QString& name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray bytes = bytesOf(damaged);
    tab.recordingControls()->onChooseRecordingToOpen = [&] { return damaged; };
    ASSERT_TRUE(showActive(window));
    pressKey(Qt::Key_O, Qt::ControlModifier);
    pressKey(Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(ratesOf51(), "30.0|0.0");
    pressKey(Qt::Key_End, Qt::AltModifier);
    EXPECT_FALSE(tab.recordingControls()->isReplaying());
    EXPECT_FALSE(tab.procSource()->isActive());
    EXPECT_EQ(messages.texts(), ownTitle() + QStringLiteral("|Запись %1 повреждена или обрезана.").arg(damaged));
    EXPECT_EQ(bytesOf(damaged), bytes);

    // A list without a field every process list has (a file changed by hand) is refused at once.
    const QString renamed = dir.filePath(QStringLiteral("renamed.vrec"));
    ASSERT_TRUE(QFile::copy(path, renamed));
    sqlite3_open(renamed.toUtf8().constData(), &db);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE field SET name = 'blocks' WHERE name = 'block_count'", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    tab.recordingControls()->onChooseRecordingToOpen = [&] { return renamed; };
    pressKey(Qt::Key_O, Qt::ControlModifier);
    EXPECT_FALSE(tab.recordingControls()->isReplaying());
    EXPECT_TRUE(messages.texts().endsWith(QStringLiteral("|Запись %1 повреждена или обрезана.").arg(renamed)))
        << messages.texts().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Versions, RecordingReplay,
                         ::testing::Values(sqlsim::ServerVersion::Sql70, sqlsim::ServerVersion::Sql2000,
                                           sqlsim::ServerVersion::Sql2022),
                         [](const ::testing::TestParamInfo<sqlsim::ServerVersion>& info) {
                             return std::string(info.param == sqlsim::ServerVersion::Sql70     ? "Sql70"
                                                : info.param == sqlsim::ServerVersion::Sql2000 ? "Sql2000"
                                                                                               : "Sql2022");
                         });

} // namespace
