// Peak memory (RSS) of the appointment window on a database of 15 000 days:
// once today's page is shown, and after walking 365 days back through the
// calendar. The walk runs in a child process of its own, so that nothing the
// benchmark itself holds counts.

#include "BenchSupport.h"
#include "BenchWindows.h"

#include "appointments/ApptWindow.h"
#include "appointments/MonthCalendar.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "shell/Windows.h"
#include "store/Database.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <cstdio>

using namespace BenchSupport;

namespace {

// Child: --walk FOLDER DAYS RESULTFILE. Writes "<MB at start> <MB after>".
int walk(int argc, char** argv)
{
    const BenchWindowsApp app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 5)
        return 2;
    Database db;
    if (const Result r = db.open(args[2] + QStringLiteral("/db.mdb"), false); !r.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(r.message));
        return 1;
    }
    double atStart = 0;
    {
        ApptWindow w(db, Windows::host());
        w.show();
        QCoreApplication::processEvents();
        atStart = peakRssMB();
        const int days = args[3].toInt();
        for (int i = 1; i <= days; ++i) {
            const QDate day = Clock::today().addDays(-i);
            w.calendar()->showMonthOf(day);
            const CalendarMath::Dates& dates = w.calendar()->dates();
            const auto at = std::find(dates.begin(), dates.end(), day);
            w.calendar()->activateDay(int(at - dates.begin()));
            QCoreApplication::processEvents();
            if (w.currentDate() != day) {
                std::fprintf(stderr, "the walk stopped at %s\n", qPrintable(day.toString(Qt::ISODate)));
                return 1;
            }
        }
        w.close();
    }
    QFile out(args[4]);
    if (!out.open(QIODevice::WriteOnly))
        return 1;
    out.write(QByteArray::number(atStart) + ' ' + QByteArray::number(peakRssMB()));
    return 0;
}

void peakMemory(benchmark::State& state, int days)
{
    const Workspace ws(largeDayCount());
    const QString result = ws.folder() + QStringLiteral("/walk.txt");
    for (auto _ : state) {
        const ChildRun run = runChild(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--walk"), ws.folder(), QString::number(days), result});
        if (!run.error.isEmpty())
            return fail(state, run.error);
        QFile f(result);
        f.open(QIODevice::ReadOnly);
        const QList<QByteArray> mb = f.readAll().split(' ');
        if (mb.size() != 2)
            return fail(state, QStringLiteral("the walk reported nothing"));
        state.counters["rss_shown_MB"] = mb[0].toDouble();
        state.counters["rss_walked_MB"] = mb[1].toDouble();
        state.counters["peak_rss_MB"] = run.peakRssMB;
        state.SetIterationTime(run.millis / 1000.0);
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--walk") == 0)
        return walk(argc, argv);
    QCoreApplication app(argc, argv);
    const int days = sized(365, 20);
    benchmark::RegisterBenchmark(
        ("PeakMemory/walk" + std::to_string(days)).c_str(), [=](benchmark::State& s) { peakMemory(s, days); })
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    return runBenchmarks(argc, argv);
}
