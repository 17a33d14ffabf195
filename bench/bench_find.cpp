// Finding a client's appointments over a practice's whole history: 15 000
// days, every slot booked, under the layouts a practice goes through over
// the years. Measured apart: reading the days, building the folded search,
// and one query of four letters (the time from the last keystroke to the
// listed results).
#include "BenchSupport.h"

#include "appointments/AppointmentSearch.h"
#include "core/DayLayout.h"
#include "core/PageText.h"
#include "store/Database.h"
#include "store/SettingsStore.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>
#include <random>

namespace {

// A smoke pass (LEDGERLY_BENCH_SMOKE) only checks that it still runs.
const int DayCount = qEnvironmentVariableIsSet("LEDGERLY_BENCH_SMOKE") ? 1200 : 15000;
const QDate Today(2024, 5, 15);

struct History
{
    QTemporaryDir dir;
    Database db {QStringLiteral("bench-find")};
    QStringList clients;
    QList<DayRecord> days;
    Settings current;
    std::shared_ptr<const AppointmentSearch> search;
};

// The layouts the practice has had, oldest first; the last is the current.
QList<Settings> layouts()
{
    QList<Settings> out;
    Settings s = Settings::defaults();
    s.providerCount = 3;
    s.slotMinutes = 20;
    s.names = QStringLiteral("Dr Lee-Dr Ng-Dr Roe");
    out.append(s);
    s.providerCount = 6;
    s.slotMinutes = 15;
    s.names = QStringLiteral("Dr Lee-Dr Ng-Dr Roe-Dr Ames-Dr Boyd-Dr Cho");
    out.append(s);
    out.append(Settings::defaults());
    return out;
}

// Built once for all benchmarks; released before the application object
// goes, since the database connection must not outlive it.
std::unique_ptr<History> g_history;

History& history()
{
    if (g_history)
        return *g_history;
    g_history = std::make_unique<History>();
    if (!g_history->dir.isValid() || !g_history->db.open(g_history->dir.filePath(QStringLiteral("db.mdb"))).ok())
        qFatal("bench_find: cannot create the database");

    std::mt19937 rng(20240515);
    for (int i = 0; i < 3000; ++i) {
        QString name
            = BenchSupport::syllables(rng, 2 + i % 2).toUpper() + QLatin1Char(' ') + BenchSupport::syllables(rng, 2);
        name[name.indexOf(QLatin1Char(' ')) + 1] = name[name.indexOf(QLatin1Char(' ')) + 1].toUpper();
        if (i % 20 == 0)
            name.replace(QLatin1Char('e'), QChar(0x00E9)); // some names with accents
        g_history->clients.append(name);
    }
    std::uniform_int_distribution<int> client(0, int(g_history->clients.size()) - 1);

    const QList<Settings> eras = layouts();
    if (!SettingsStore(g_history->db).writeLayout(eras.last()).ok())
        qFatal("bench_find: cannot write the settings");
    const QDate first = Today.addDays(-(DayCount - 1000));
    const Result written = g_history->db.write([&](QSqlDatabase& c) {
        QSqlQuery q(c);
        q.prepare(QStringLiteral("INSERT INTO tbl_Appt (CalDate, Clinic, Data, Memo, location, open, Close, "
                                 "timeslot, Listno, Names, Version) VALUES (?, 0, ?, '', ?, ?, ?, ?, ?, ?, 1)"));
        for (int i = 0; i < DayCount; ++i) {
            const Settings& s
                = eras[std::min<qsizetype>(qsizetype(i) * eras.size() / (DayCount - 1000), eras.size() - 1)];
            const DayLayout layout = DayLayout::fromSettings(s);
            PageText::Cells cells = PageText::fit(QString(), layout.pageRows(), layout.pageColumns());
            for (QStringList& row : cells) {
                for (QString& cell : row)
                    cell = g_history->clients[client(rng)];
            }
            // One slot a day holds two clients, as a merge of two copies leaves it.
            cells[2][0] += QStringLiteral(" / ") + g_history->clients[client(rng)];
            q.addBindValue(first.addDays(i).toString(QStringLiteral("yyyy-MM-dd")));
            q.addBindValue(PageText::join(cells));
            q.addBindValue(s.location);
            q.addBindValue(s.open);
            q.addBindValue(s.close);
            q.addBindValue(s.slotMinutes);
            q.addBindValue(s.providerCount);
            q.addBindValue(s.names);
            if (!q.exec())
                return Result::failed(QStringLiteral("insert failed"));
        }
        return Result::success();
    });
    if (!written.ok())
        qFatal("bench_find: cannot write the days");
    if (!AppointmentSearch::readDays(g_history->db, g_history->days, g_history->current).ok())
        qFatal("bench_find: cannot read the days");
    g_history->search = std::make_shared<const AppointmentSearch>(g_history->days, g_history->current, Today);
    return *g_history;
}

// Four letters from inside a client's surname, in lower case.
QString fourLetters(int client)
{
    return history().clients[client].mid(1, 4).toLower();
}

void BM_FindReadDays(benchmark::State& state)
{
    History& h = history();
    for (auto _ : state) {
        QList<DayRecord> days;
        Settings current;
        if (!AppointmentSearch::readDays(h.db, days, current).ok())
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(days);
    }
    state.counters["days"] = double(h.days.size());
    qsizetype chars = 0;
    for (const DayRecord& d : std::as_const(h.days))
        chars += d.pageText.size();
    state.counters["page_chars"] = double(chars);
}

void BM_FindBuildSearch(benchmark::State& state)
{
    History& h = history();
    for (auto _ : state) {
        AppointmentSearch search(h.days, h.current, Today);
        benchmark::DoNotOptimize(search);
    }
}

// What the panel asks for: at most the lines it shows.
void BM_FindFourLetters(benchmark::State& state)
{
    History& h = history();
    const QString query = fourLetters(int(state.range(0)));
    for (auto _ : state) {
        const AppointmentSearch::Matches r = h.search->find(query, AppointmentSearch::ShownLimit);
        benchmark::DoNotOptimize(r);
    }
    state.counters["found"] = double(h.search->find(query).matches.size());
}

// What `ledgerly find` asks for: every match.
void BM_FindFourLettersAll(benchmark::State& state)
{
    History& h = history();
    const QString query = fourLetters(int(state.range(0)));
    for (auto _ : state) {
        const AppointmentSearch::Matches r = h.search->find(query);
        benchmark::DoNotOptimize(r);
    }
}

// Four letters of a name nobody has: the whole history is read.
void BM_FindNoMatch(benchmark::State& state)
{
    History& h = history();
    for (auto _ : state) {
        const AppointmentSearch::Matches r = h.search->find(QStringLiteral("xyzw"), AppointmentSearch::ShownLimit);
        benchmark::DoNotOptimize(r);
    }
}

// The first keystroke: one letter matches nearly every cell.
void BM_FindOneLetter(benchmark::State& state)
{
    History& h = history();
    for (auto _ : state) {
        const AppointmentSearch::Matches r = h.search->find(QStringLiteral("a"), AppointmentSearch::ShownLimit);
        benchmark::DoNotOptimize(r);
    }
}

} // namespace

BENCHMARK(BM_FindReadDays)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindBuildSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindFourLetters)->Arg(7)->Arg(1234)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindFourLettersAll)->Arg(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNoMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindOneLetter)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_history.reset();
    return 0;
}
