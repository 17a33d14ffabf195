// Day change through the real appointment window: save the shown worst-case
// page, open another, rebuild its layout and show it, in a database of 10 and
// of 15 000 days; beside it the floor, the same read and durable write with
// bare SQLite statements.

#include "BenchSupport.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "platform/Dialogs.h"
#include "store/Database.h"

#include <QApplication>
#include <QLocale>
#include <sqlite3.h>

using namespace BenchSupport;

namespace {

int calendarIndex(const ApptWindow& w, const QDate& date)
{
    const CalendarMath::Dates& dates = w.calDates();
    for (int i = 0; i < int(dates.size()); ++i) {
        if (dates[size_t(i)] == date)
            return i;
    }
    return -1;
}

void dayChange(benchmark::State& state, int dayCount, bool inMemory)
{
    const Workspace ws(dayCount, inMemory);
    const Days& days = ws.days();
    Database db(QStringLiteral("bench-daychange"));
    if (const Database::OpenResult r = db.open(ws.databasePath(), false); !r.ok)
        return fail(state, r.message);
    Database::setCurrent(&db);
    {
        ApptWindow w;
        w.show();
        QCoreApplication::processEvents();
        // Both days are past days, so each change lays the page out anew
        // from the record.
        w.FillCalendar(days.busyA);
        const int a = calendarIndex(w, days.busyA);
        const int b = calendarIndex(w, days.busyB);
        w.LblDay_Click(a);
        QCoreApplication::processEvents();
        if (a < 0 || b < 0 || w.currentDate() != days.busyA)
            return fail(state, QStringLiteral("the first busy day did not open"));

        Latencies latencies;
        int k = 0;
        for (auto _ : state) {
            // A booking on the shown page, so that leaving it stores a changed page.
            w.grid()->setCellText(2 + k % 40, 1 + k % 8, clientName(k));
            const bool toB = k % 2 == 0;
            const auto start = Latencies::Clock::now();
            w.LblDay_Click(toB ? b : a);
            QCoreApplication::processEvents();
            latencies.add(Latencies::Clock::now() - start);
            if (w.currentDate() != (toB ? days.busyB : days.busyA))
                return fail(state, QStringLiteral("the day did not change"));
            ++k;
        }
        latencies.report(state);
        w.close();
    }
    Database::setCurrent(nullptr);
}

struct Statement
{
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

void dayChangeFloor(benchmark::State& state, int dayCount, bool inMemory)
{
    const Workspace ws(dayCount, inMemory);
    const Days& days = ws.days();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(ws.databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return fail(state, QStringLiteral("cannot open the database"));
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> closer(db, &sqlite3_close);
    // The store's own settings: rollback journal, full flushing.
    sqlite3_exec(db, "PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    Statement select, update, begin, commit;
    sqlite3_prepare_v2(db,
        "SELECT id, CalDate, Clinic, Data, Memo, location, open, Close, timeslot, Listno, Names, Version "
        "FROM tbl_Appt WHERE CalDate = ?",
        -1, &select.stmt, nullptr);
    sqlite3_prepare_v2(db, "UPDATE tbl_Appt SET Data = ?, Memo = ?, Clinic = ?, Version = Version + 1 WHERE id = ?", -1,
        &update.stmt, nullptr);
    sqlite3_prepare_v2(db, "BEGIN IMMEDIATE", -1, &begin.stmt, nullptr);
    sqlite3_prepare_v2(db, "COMMIT", -1, &commit.stmt, nullptr);

    struct Shown
    {
        qint64 id = 0;
        std::string data;
        std::string memo;
    };
    const QByteArray keys[2] = {days.busyA.toString(Qt::ISODate).toUtf8(), days.busyB.toString(Qt::ISODate).toUtf8()};
    auto read = [&](int which, Shown& out) {
        sqlite3_bind_text(select.stmt, 1, keys[which].constData(), int(keys[which].size()), SQLITE_STATIC);
        const bool found = sqlite3_step(select.stmt) == SQLITE_ROW;
        if (found) {
            out.id = sqlite3_column_int64(select.stmt, 0);
            out.data.assign(reinterpret_cast<const char*>(sqlite3_column_text(select.stmt, 3)),
                size_t(sqlite3_column_bytes(select.stmt, 3)));
            out.memo.assign(reinterpret_cast<const char*>(sqlite3_column_text(select.stmt, 4)),
                size_t(sqlite3_column_bytes(select.stmt, 4)));
        }
        sqlite3_reset(select.stmt);
        return found;
    };
    Shown shown;
    if (!read(0, shown))
        return fail(state, QStringLiteral("the first busy day is missing"));

    Latencies latencies;
    int k = 0;
    for (auto _ : state) {
        shown.data[size_t(k % 20)] = char('A' + k % 26);
        const auto start = Latencies::Clock::now();
        sqlite3_step(begin.stmt);
        sqlite3_reset(begin.stmt);
        sqlite3_bind_text(update.stmt, 1, shown.data.data(), int(shown.data.size()), SQLITE_STATIC);
        sqlite3_bind_text(update.stmt, 2, shown.memo.data(), int(shown.memo.size()), SQLITE_STATIC);
        sqlite3_bind_int(update.stmt, 3, 0);
        sqlite3_bind_int64(update.stmt, 4, shown.id);
        const int updated = sqlite3_step(update.stmt);
        sqlite3_reset(update.stmt);
        const int committed = sqlite3_step(commit.stmt);
        sqlite3_reset(commit.stmt);
        const bool found = read(k % 2 == 0 ? 1 : 0, shown);
        latencies.add(Latencies::Clock::now() - start);
        if (updated != SQLITE_DONE || committed != SQLITE_DONE || !found)
            return fail(state, QStringLiteral("floor: %1").arg(QString::fromUtf8(sqlite3_errmsg(db))));
        ++k;
    }
    latencies.report(state);
}

void registerAll()
{
    const int iterations = sized(100, 3);
    std::vector<bool> media {false};
    if (inMemoryAvailable())
        media.push_back(true);
    for (const bool inMemory : media) {
        const char* medium = inMemory ? "memory" : "disk";
        for (const int dayCount : {SmallDayCount, largeDayCount()}) {
            const std::string suffix = "/" + std::to_string(dayCount) + "/" + medium;
            benchmark::RegisterBenchmark(
                ("DayChange" + suffix).c_str(), [=](benchmark::State& s) { dayChange(s, dayCount, inMemory); })
                ->Iterations(iterations)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark(("DayChangeFloor" + suffix).c_str(),
                [=](benchmark::State& s) { dayChangeFloor(s, dayCount, inMemory); })
                ->Iterations(iterations)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
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
    registerAll();
    return runBenchmarks(argc, argv);
}
