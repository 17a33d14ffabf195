// Day change through the real appointment window: save the shown worst-case
// page, open another, rebuild its layout and show it, in a database of 10 and
// of 15 000 days; beside it the floor, the same read and durable write with
// bare SQLite statements. The four run in turn within each iteration, so that
// all of them meet the same machine and the same disk, whatever else the
// machine is doing.

#include "BenchSupport.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "appointments/MonthCalendar.h"
#include "platform/Dialogs.h"
#include "shell/Windows.h"
#include "store/Database.h"

#include <QApplication>
#include <QLocale>
#include <sqlite3.h>

using namespace BenchSupport;

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

    // One day change, timed from the click to the page drawn.
    bool change(Latencies& latencies)
    {
        // A booking on the shown page, so that leaving it stores a changed page.
        m_window->grid()->setCellText(2 + m_count % 40, 1 + m_count % 8, clientName(m_count));
        const bool toB = m_count % 2 == 0;
        const auto start = Latencies::Clock::now();
        m_window->calendar()->activateDay(toB ? m_indexB : m_indexA);
        QCoreApplication::processEvents();
        latencies.addMillis(millisSince(start));
        ++m_count;
        return m_window->currentDate() == (toB ? m_ws.days().busyB : m_ws.days().busyA);
    }

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
    FloorRun(int dayCount, bool inMemory)
        : m_ws(dayCount, inMemory)
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
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // A failed save must never wait for an answer nobody gives.
    Dialogs::setTestMode(true);
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
    return runBenchmarks(argc, argv);
}
