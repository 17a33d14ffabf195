// Day change through the real appointment window: save the shown worst-case
// page, open another, rebuild its layout and show it, in a database of 10 and
// of 15 000 days; beside it the floor, the same read and durable write with
// bare SQLite statements. The four run in turn within each iteration, so that
// all of them meet the same machine and the same disk, whatever else the
// machine is doing. Then the same without an edit, beside the bare read of
// the other day, and what walking through days writes to the file.

#include "BenchSupport.h"
#include "BenchWindows.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "appointments/MonthCalendar.h"
#include "platform/Dialogs.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/DayStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QSqlQuery>
#include <atomic>
#include <dlfcn.h>
#include <sqlite3.h>

using namespace BenchSupport;

namespace {
// The flushes this process asks of the disk: SQLite's of its journal, the
// database file and their folder.
std::atomic<int> g_flushes {0};

using FlushCall = int (*)(int);

FlushCall libraryCall(const char* name)
{
    return reinterpret_cast<FlushCall>(dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" int fsync(int fd)
{
    static const FlushCall call = libraryCall("fsync");
    ++g_flushes;
    return call(fd);
}

extern "C" int fdatasync(int fd)
{
    static const FlushCall call = libraryCall("fdatasync");
    ++g_flushes;
    return call(fd);
}

namespace {

double millisSince(Latencies::Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Latencies::Clock::now() - start).count();
}

// The appointment window on its own copy of a database, alternating between
// two past days (so each change lays the page out anew from the record).
class WindowRun
{
public:
    WindowRun(int dayCount, bool inMemory)
        : m_ws(dayCount, inMemory)
        , m_db(QStringLiteral("bench-daychange-%1").arg(dayCount))
    {
    }
    ~WindowRun()
    {
        if (m_window) {
            m_window->close();
            m_window.reset();
        }
    }

    Result open()
    {
        if (const Result r = m_db.open(m_ws.databasePath(), false); !r.ok())
            return r;
        m_window = std::make_unique<ApptWindow>(m_db, Windows::host());
        m_window->show();
        QCoreApplication::processEvents();
        const Days& days = m_ws.days();
        m_window->calendar()->showMonthOf(days.busyA);
        m_indexA = indexOf(days.busyA);
        m_indexB = indexOf(days.busyB);
        m_window->calendar()->activateDay(m_indexA);
        QCoreApplication::processEvents();
        if (m_indexA < 0 || m_indexB < 0 || m_window->currentDate() != days.busyA)
            return Result::failed(QStringLiteral("the first busy day did not open"));
        return Result::success();
    }

    // One day change, timed from the click to the page drawn. With edit a
    // booking is made on the shown page first, so that leaving it stores a
    // changed page.
    bool change(Latencies& latencies, bool edit = true)
    {
        if (edit)
            m_window->grid()->setCellText(2 + m_count % 40, 1 + m_count % 8, clientName(m_count));
        const bool toB = m_count % 2 == 0;
        const auto start = Latencies::Clock::now();
        m_window->calendar()->activateDay(toB ? m_indexB : m_indexA);
        QCoreApplication::processEvents();
        latencies.addMillis(millisSince(start));
        ++m_count;
        return m_window->currentDate() == (toB ? m_ws.days().busyB : m_ws.days().busyA);
    }

    // Opens date as a click on it in the calendar does.
    bool goTo(const QDate& date)
    {
        m_window->calendar()->showMonthOf(date);
        m_window->calendar()->activateDay(indexOf(date));
        QCoreApplication::processEvents();
        return m_window->currentDate() == date;
    }

    const Workspace& workspace() const { return m_ws; }

private:
    int indexOf(const QDate& date) const
    {
        const CalendarMath::Dates& dates = m_window->calendar()->dates();
        const auto at = std::find(dates.begin(), dates.end(), date);
        return at == dates.end() ? -1 : int(at - dates.begin());
    }

    Workspace m_ws;
    Database m_db;
    std::unique_ptr<ApptWindow> m_window;
    int m_indexA = -1;
    int m_indexB = -1;
    int m_count = 0;
};

// The floor: what a day change must do on disk at the least, with bare SQLite
// on its own copy of the same database: the shown day's page written in one
// transaction, with the store's journal and flushing settings, and the other
// day read by its date.
class FloorRun
{
public:
    // Without write, only the other day is read: the floor of a day change
    // with nothing to store.
    FloorRun(int dayCount, bool inMemory, bool write = true)
        : m_ws(dayCount, inMemory)
        , m_write(write)
    {
    }
    ~FloorRun()
    {
        for (sqlite3_stmt* s : {m_select, m_update, m_begin, m_commit})
            sqlite3_finalize(s);
        sqlite3_close(m_db);
    }

    Result open()
    {
        const QByteArray path = m_ws.databasePath().toUtf8();
        if (sqlite3_open_v2(path.constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            return Result::failed(QStringLiteral("floor: cannot open the database"));
        sqlite3_exec(m_db, "PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(m_db,
            "SELECT id, CalDate, Clinic, Data, Memo, location, open, Close, timeslot, Listno, Names, Version "
            "FROM tbl_Appt WHERE CalDate = ?",
            -1, &m_select, nullptr);
        sqlite3_prepare_v2(m_db,
            "UPDATE tbl_Appt SET Data = ?, Memo = ?, Clinic = ?, Version = Version + 1 WHERE id = ?", -1, &m_update,
            nullptr);
        sqlite3_prepare_v2(m_db, "BEGIN IMMEDIATE", -1, &m_begin, nullptr);
        sqlite3_prepare_v2(m_db, "COMMIT", -1, &m_commit, nullptr);
        m_keys[0] = m_ws.days().busyA.toString(Qt::ISODate).toUtf8();
        m_keys[1] = m_ws.days().busyB.toString(Qt::ISODate).toUtf8();
        if (!read(0))
            return Result::failed(QStringLiteral("floor: the first busy day is missing"));
        return Result::success();
    }

    bool change(Latencies& latencies)
    {
        if (!m_write) {
            const auto start = Latencies::Clock::now();
            const bool found = read(m_count++ % 2 == 0 ? 1 : 0);
            latencies.addMillis(millisSince(start));
            return found;
        }
        m_data[size_t(m_count % 20)] = char('A' + m_count % 26);
        const auto start = Latencies::Clock::now();
        sqlite3_step(m_begin);
        sqlite3_reset(m_begin);
        sqlite3_bind_text(m_update, 1, m_data.data(), int(m_data.size()), SQLITE_STATIC);
        sqlite3_bind_text(m_update, 2, m_memo.data(), int(m_memo.size()), SQLITE_STATIC);
        sqlite3_bind_int(m_update, 3, 0);
        sqlite3_bind_int64(m_update, 4, m_id);
        const int updated = sqlite3_step(m_update);
        sqlite3_reset(m_update);
        const int committed = sqlite3_step(m_commit);
        sqlite3_reset(m_commit);
        const bool found = read(m_count % 2 == 0 ? 1 : 0);
        latencies.addMillis(millisSince(start));
        ++m_count;
        return updated == SQLITE_DONE && committed == SQLITE_DONE && found;
    }

private:
    bool read(int which)
    {
        sqlite3_bind_text(m_select, 1, m_keys[which].constData(), int(m_keys[which].size()), SQLITE_STATIC);
        const bool found = sqlite3_step(m_select) == SQLITE_ROW;
        if (found) {
            m_id = sqlite3_column_int64(m_select, 0);
            m_data.assign(reinterpret_cast<const char*>(sqlite3_column_text(m_select, 3)),
                size_t(sqlite3_column_bytes(m_select, 3)));
            m_memo.assign(reinterpret_cast<const char*>(sqlite3_column_text(m_select, 4)),
                size_t(sqlite3_column_bytes(m_select, 4)));
        }
        sqlite3_reset(m_select);
        return found;
    }

    Workspace m_ws;
    bool m_write = true;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_select = nullptr;
    sqlite3_stmt* m_update = nullptr;
    sqlite3_stmt* m_begin = nullptr;
    sqlite3_stmt* m_commit = nullptr;
    QByteArray m_keys[2];
    qint64 m_id = 0;
    std::string m_data;
    std::string m_memo;
    int m_count = 0;
};

// What a walk through days wrote to the database file, as another desk sees
// it: write transactions (the file's change counter, which every committed
// change moves once), the disk flushes they took, and how many day changes
// moved SQLite's data_version on another connection, which has every other
// desk read the day again.
class FileWrites
{
public:
    explicit FileWrites(const QString& path)
        : m_path(path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &m_observer, SQLITE_OPEN_READONLY, nullptr);
        m_counter = changeCounter();
        m_flushes = g_flushes;
        m_version = dataVersion();
    }
    ~FileWrites() { sqlite3_close(m_observer); }

    // After each day change.
    void look()
    {
        const qint64 version = dataVersion();
        m_woken += version != m_version ? 1 : 0;
        m_version = version;
    }
    qint64 transactions() const { return changeCounter() - m_counter; }
    int flushes() const { return g_flushes - m_flushes; }
    int woken() const { return m_woken; }

private:
    // Bytes 24..27 of the header, big-endian.
    qint64 changeCounter() const
    {
        QFile f(m_path);
        if (!f.open(QIODevice::ReadOnly) || !f.seek(24))
            return -1;
        const QByteArray b = f.read(4);
        return b.size() == 4 ? qint64(quint8(b[0])) << 24 | quint8(b[1]) << 16 | quint8(b[2]) << 8 | quint8(b[3]) : -1;
    }
    qint64 dataVersion()
    {
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(m_observer, "PRAGMA data_version", -1, &q, nullptr);
        const qint64 version = sqlite3_step(q) == SQLITE_ROW ? sqlite3_column_int64(q, 0) : -1;
        sqlite3_finalize(q);
        return version;
    }

    QString m_path;
    sqlite3* m_observer = nullptr;
    qint64 m_counter = 0;
    int m_flushes = 0;
    qint64 m_version = 0;
    int m_woken = 0;
};

constexpr int WalkedDays = 30;

// Walks the window through dates, one day change each; false when one did
// not open. Its writes are counted from before the first change to after the
// last.
bool walk(WindowRun& window, const QList<QDate>& dates, benchmark::State& state, const std::string& name)
{
    FileWrites writes(window.workspace().databasePath());
    for (const QDate& date : dates) {
        if (!window.goTo(date))
            return false;
        writes.look();
    }
    state.counters[name + "_writes"] = double(writes.transactions());
    state.counters[name + "_flushes"] = writes.flushes();
    state.counters[name + "_woken"] = writes.woken();
    return true;
}

// Reported: large_median_ms and large_read_floor_median_ms for a day change
// with no edit at 15 000 days and the bare read of the other day (in memory:
// what the window does besides the disk); for a walk
// through WalkedDays days with a record and no edit (existing_*), and through
// as many days without one and back (empty_*): write transactions, flushes
// and the day changes another desk was woken by.
void dayChangeWithoutEdit(benchmark::State& state, bool inMemory)
{
    WindowRun large(largeDayCount(), inMemory);
    FloorRun readFloor(largeDayCount(), inMemory, false);
    for (const Result& opened : {large.open(), readFloor.open()}) {
        if (!opened.ok())
            return fail(state, opened.message);
    }
    Latencies onLarge, floorLarge;
    for (auto _ : state) {
        if (!large.change(onLarge, false))
            return fail(state, QStringLiteral("the day did not change"));
        if (!readFloor.change(floorLarge))
            return fail(state, QStringLiteral("the floor's statement failed"));
        state.SetIterationTime(onLarge.last() / 1000.0);
    }
    onLarge.report(state, "large");
    floorLarge.report(state, "large_read_floor");
    onLarge.report(state);

    const Days& days = large.workspace().days();
    QList<QDate> existing, empty;
    for (int k = WalkedDays; k >= 1; --k)
        existing.append(days.busyA.addDays(-k));
    for (int k = 1; k <= WalkedDays; ++k)
        empty.append(days.last.addDays(k));
    empty.append(days.busyA);
    if (!walk(large, existing, state, "existing") || !walk(large, empty, state, "empty"))
        return fail(state, QStringLiteral("a walked day did not open"));
    state.counters["walked_days"] = WalkedDays;
    state.counters["large_days"] = largeDayCount();
}

// Reported: small_* and large_* for the window on 10 and on 15 000 days,
// small_floor_* and large_floor_*; the benchmark's own time is the large one.
void dayChange(benchmark::State& state, bool inMemory)
{
    WindowRun small(SmallDayCount, inMemory);
    WindowRun large(largeDayCount(), inMemory);
    FloorRun smallFloor(SmallDayCount, inMemory);
    FloorRun largeFloor(largeDayCount(), inMemory);
    for (const Result& opened : {small.open(), large.open(), smallFloor.open(), largeFloor.open()}) {
        if (!opened.ok())
            return fail(state, opened.message);
    }
    Latencies onSmall, onLarge, floorSmall, floorLarge;
    for (auto _ : state) {
        if (!small.change(onSmall) || !large.change(onLarge))
            return fail(state, QStringLiteral("the day did not change"));
        if (!smallFloor.change(floorSmall) || !largeFloor.change(floorLarge))
            return fail(state, QStringLiteral("the floor's statements failed"));
        state.SetIterationTime(onLarge.last() / 1000.0);
    }
    onSmall.report(state, "small");
    onLarge.report(state, "large");
    floorSmall.report(state, "small_floor");
    floorLarge.report(state, "large_floor");
    onLarge.report(state);
    state.counters["small_days"] = SmallDayCount;
    state.counters["large_days"] = largeDayCount();
}
// A booking changed on a full page and stored, once with the
// history kept (with_median_ms) and once on a copy whose history table is a
// view that keeps nothing (without_median_ms): the same save, its changes
// worked out and its statement run, minus the rows stored. The two run in
// turn within each iteration.
void saveWithHistory(benchmark::State& state, bool inMemory)
{
    struct Desk
    {
        explicit Desk(bool inMemory)
            : ws(largeDayCount(), inMemory)
        {
        }
        Workspace ws;
        Database db {QStringLiteral("bench-save-%1").arg(quintptr(this))};
        std::optional<DayRecord> base;
    };
    Desk with(inMemory), without(inMemory);
    for (Desk* desk : {&with, &without}) {
        if (const Result r = desk->db.open(desk->ws.databasePath(), false); !r.ok())
            return fail(state, r.message);
        if (!DayStore(desk->db).find(desk->ws.days().busyA, desk->base).ok() || !desk->base)
            return fail(state, QStringLiteral("the busy day is missing"));
    }
    QSqlQuery q(without.db.connection());
    for (const char* sql : {"DROP TABLE tbl_History",
             "CREATE VIEW tbl_History AS SELECT '' AS CalDate, '' AS Kind, 0 AS SlotRow, 0 AS SlotColumn, '' AS "
             "SlotTime, 0 AS SlotMinutes, '' AS Provider, '' AS TextBefore, '' AS TextAfter, '' AS ChangedAt, '' AS "
             "UserName, '' AS MachineName, '' AS Reason WHERE 0",
             "CREATE TRIGGER keep_nothing INSTEAD OF INSERT ON tbl_History BEGIN SELECT 1; END"}) {
        if (!q.exec(QString::fromLatin1(sql)))
            return fail(state, QStringLiteral("the copy without history could not be made"));
    }
    Latencies withHistory, withoutHistory;
    int n = 0;
    for (auto _ : state) {
        for (Desk* desk : {&with, &without}) {
            DayRecord edited = *desk->base;
            const qsizetype at = edited.pageText.indexOf(QLatin1Char('\t'));
            edited.pageText.replace(at - 4, 4, clientName(n).left(4));
            QElapsedTimer t;
            t.start();
            const DayStore::SaveOutcome out
                = DayStore(desk->db).save(*desk->base, edited, DayStore::SaveMode::KeepEmpty);
            (desk == &with ? withHistory : withoutHistory).addMillis(double(t.nsecsElapsed()) / 1e6);
            if (!out.status.ok())
                return fail(state, out.status.message);
            desk->base = out.stored;
        }
        ++n;
        state.SetIterationTime(withHistory.last() / 1000.0);
    }
    withHistory.report(state, "with");
    withoutHistory.report(state, "without");
    withHistory.report(state);
}
} // namespace

int main(int argc, char** argv)
{
    const BenchWindowsApp app(argc, argv);
    std::vector<bool> media {false};
    if (inMemoryAvailable())
        media.push_back(true);
    for (const bool inMemory : media) {
        benchmark::RegisterBenchmark(
            inMemory ? "DayChange/memory" : "DayChange/disk", [=](benchmark::State& s) { dayChange(s, inMemory); })
            ->Iterations(sized(100, 3))
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
    }
    for (const bool inMemory : media) {
        benchmark::RegisterBenchmark(inMemory ? "DayChangeNoEdit/memory" : "DayChangeNoEdit/disk",
            [=](benchmark::State& s) { dayChangeWithoutEdit(s, inMemory); })
            ->Iterations(sized(100, 3))
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
    }
    for (const bool inMemory : media) {
        benchmark::RegisterBenchmark(inMemory ? "SaveHistory/memory" : "SaveHistory/disk",
            [=](benchmark::State& s) { saveWithHistory(s, inMemory); })
            ->Iterations(sized(60, 3))
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
    }
    return runBenchmarks(argc, argv);
}
