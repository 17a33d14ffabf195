// Finding on the worst-case database (15 000 days, 8 providers, 10-minute
// slots, every slot booked): `ledgerly find` as a whole process, with four
// letters of one client's name (some 3 000 bookings on most of the days),
// four letters many clients share (on nearly every day) and four letters
// nobody has; the find
// panel opened on the same file and typed into; and saving a day there.
// Beside them their floors: a minimal process start (`ledgerly --version`),
// bare SQLite reading the pages of the days that hold the text, and a bare
// SQLite update of the same page.

#include "BenchSupport.h"
#include "BenchWindows.h"

#include "appointments/FindPanel.h"
#include "core/DayRecord.h"
#include "platform/Dialogs.h"
#include "store/Database.h"
#include "store/DayStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QLocale>
#include <sqlite3.h>

using namespace BenchSupport;

namespace {

QString ledgerly()
{
    const QString given = qEnvironmentVariable("LEDGERLY_BENCH_EXE");
    return given.isEmpty() ? QStringLiteral(LEDGERLY_EXE) : given;
}

// Bare SQLite: the pages of the days whose page holds text (through the
// search index where the file has one), every byte read.
double bareRead(const QString& path, const QString& text)
{
    QElapsedTimer t;
    t.start();
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* q = nullptr;
    const bool indexed = sqlite3_prepare_v2(db,
                             "SELECT Data FROM tbl_Appt WHERE id IN (SELECT rowid >> 20 FROM day_search WHERE "
                             "day_search MATCH ?)",
                             -1, &q, nullptr)
        == SQLITE_OK;
    if (!indexed)
        sqlite3_prepare_v2(db, "SELECT Data FROM tbl_Appt WHERE instr(lower(Data), ?) > 0", -1, &q, nullptr);
    // The index is asked for the days with a cell that holds each trigram.
    QStringList trigrams;
    for (qsizetype i = 0; i + 3 <= text.size(); ++i)
        trigrams.append(QLatin1Char('"') + text.mid(i, 3) + QLatin1Char('"'));
    const QByteArray query = indexed ? trigrams.join(QStringLiteral(" AND ")).toUtf8() : text.toUtf8();
    sqlite3_bind_text(q, 1, query.constData(), int(query.size()), SQLITE_STATIC);
    qint64 bytes = 0;
    while (sqlite3_step(q) == SQLITE_ROW)
        bytes += sqlite3_column_bytes(q, 0);
    sqlite3_finalize(q);
    sqlite3_close(db);
    benchmark::DoNotOptimize(bytes);
    return double(t.nsecsElapsed()) / 1e6;
}

void findCommand(benchmark::State& state, const QString& text)
{
    const Workspace ws(cachedWorstCaseDatabase(), largeDayCount());
    Latencies process, start, read;
    double peak = 0;
    for (auto _ : state) {
        const ChildRun run
            = runChild(ledgerly(), {QStringLiteral("find"), text, QStringLiteral("--data-dir"), ws.folder()});
        if (!run.error.isEmpty())
            return fail(state, run.error);
        const ChildRun version = runChild(ledgerly(), {QStringLiteral("--version")});
        process.addMillis(run.millis);
        start.addMillis(version.millis);
        read.addMillis(bareRead(ws.databasePath(), text));
        peak = std::max(peak, run.peakRssMB);
        state.SetIterationTime(run.millis / 1000.0);
    }
    state.SetLabel(text.toStdString());
    process.report(state);
    start.report(state, "start_floor");
    read.report(state, "read_floor");
    state.counters["peak_rss_MB"] = peak;
}

// Opening the panel finds the text it still holds; then four letters typed
// one by one, each answered before the next; then one letter nobody's name
// holds, too short for the search index.
void findPanel(benchmark::State& state)
{
    const Workspace ws(cachedWorstCaseDatabase(), largeDayCount());
    Database db(QStringLiteral("bench-findpanel"));
    if (const Result r = db.open(ws.databasePath(), false); !r.ok())
        return fail(state, r.message);
    Latencies open, key, rare;
    const QString text = sharedFourLetters();
    for (auto _ : state) {
        FindPanel panel;
        panel.resize(800, 300);
        panel.findBox()->setText(text);
        QElapsedTimer t;
        t.start();
        panel.openPanel(db, std::nullopt); // finds before it returns
        open.addMillis(double(t.nsecsElapsed()) / 1e6);
        state.SetIterationTime(open.last() / 1000.0);
        for (int n = 1; n <= text.size(); ++n) {
            t.restart();
            panel.findBox()->setText(text.left(n));
            key.addMillis(double(t.nsecsElapsed()) / 1e6);
        }
        if (panel.shownMatches().isEmpty())
            return fail(state, QStringLiteral("the panel found nothing"));
        t.restart();
        panel.findBox()->setText(QStringLiteral("x"));
        rare.addMillis(double(t.nsecsElapsed()) / 1e6);
    }
    open.report(state);
    key.report(state, "keystroke");
    rare.report(state, "rare_short_text");
}

// A booking changed on a full page and stored, on disk; the floor writes the
// same page with one bare UPDATE in a transaction of its own.
void save(benchmark::State& state)
{
    const Workspace ws(cachedWorstCaseDatabase(), largeDayCount());
    Database db(QStringLiteral("bench-save"));
    if (const Result r = db.open(ws.databasePath(), false); !r.ok())
        return fail(state, r.message);
    DayStore store(db);
    std::optional<DayRecord> base;
    if (!store.find(ws.days().busyA, base).ok() || !base)
        return fail(state, QStringLiteral("the busy day is missing"));
    sqlite3* bare = nullptr;
    sqlite3_open_v2(ws.databasePath().toUtf8().constData(), &bare, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(bare, "PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(bare, 2000);
    Latencies saved, floor;
    int n = 0;
    for (auto _ : state) {
        DayRecord edited = *base;
        const qsizetype at = edited.pageText.indexOf(QLatin1Char('\t'));
        edited.pageText.replace(at - 4, 4, clientName(n++).left(4));
        QElapsedTimer t;
        t.start();
        const DayStore::SaveOutcome out = store.save(*base, edited, DayStore::SaveMode::KeepEmpty);
        saved.addMillis(double(t.nsecsElapsed()) / 1e6);
        if (!out.status.ok())
            return fail(state, out.status.message);
        base = out.stored;
        state.SetIterationTime(saved.last() / 1000.0);

        const QByteArray page = edited.pageText.toUtf8();
        t.restart();
        sqlite3_stmt* q = nullptr;
        sqlite3_exec(bare, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(bare, "UPDATE tbl_Appt SET Data = ?, Version = Version + 1 WHERE id = ?", -1, &q, nullptr);
        sqlite3_bind_text(q, 1, page.constData(), int(page.size()), SQLITE_STATIC);
        sqlite3_bind_int64(q, 2, base->id + 1);
        sqlite3_step(q);
        sqlite3_finalize(q);
        sqlite3_exec(bare, "COMMIT", nullptr, nullptr, nullptr);
        floor.addMillis(double(t.nsecsElapsed()) / 1e6);
    }
    sqlite3_close(bare);
    saved.report(state);
    floor.report(state, "floor");
}
} // namespace

int main(int argc, char** argv)
{
    const BenchWindowsApp app(argc, argv);
    const int runs = sized(7, 2);
    benchmark::RegisterBenchmark(
        "FindCommand/oneClient", [](benchmark::State& s) { findCommand(s, oneClientsFourLetters()); })
        ->Iterations(runs)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark(
        "FindCommand/manyClients", [](benchmark::State& s) { findCommand(s, sharedFourLetters()); })
        ->Iterations(runs)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark(
        "FindCommand/noMatch", [](benchmark::State& s) { findCommand(s, QStringLiteral("xyzw")); })
        ->Iterations(runs)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark("FindPanel/open", findPanel)
        ->Iterations(runs)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark("Save/worstCase", save)
        ->Iterations(sized(30, 3))
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    return runBenchmarks(argc, argv);
}
