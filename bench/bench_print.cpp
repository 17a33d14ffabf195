// Printing the worst-case day (8 providers, 76 rows, every cell filled) to a
// PDF file through the core printing: read the day, lay out the lists, write
// the file.

#include "BenchSupport.h"

#include "appointments/DayListPrint.h"
#include "appointments/DaySheetReader.h"
#include "platform/PdfPrintTarget.h"
#include "store/Database.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>

using namespace BenchSupport;

namespace {
void printDay(benchmark::State& state)
{
    const Workspace ws(SmallDayCount);
    Database db(QStringLiteral("bench-print"));
    if (const Result r = db.open(ws.databasePath(), false); !r.ok())
        return fail(state, r.message);
    const QString pdf = ws.folder() + QStringLiteral("/appointments.pdf");
    Latencies latencies;
    for (auto _ : state) {
        const auto start = Latencies::Clock::now();
        DaySheet sheet;
        if (const Result st = DaySheetReader::read(db, ws.days().busyA, sheet); !st.ok())
            return fail(state, st.message);
        PdfPrintTarget target(pdf, QStringLiteral("Appointments"));
        if (!DayListPrint::print(target, sheet))
            return fail(state, target.errorString());
        latencies.add(Latencies::Clock::now() - start);
        if (sheet.providerCount() != 8)
            return fail(state, QStringLiteral("not the worst-case day"));
    }
    latencies.report(state);
    state.counters["pdf_kB"] = double(QFileInfo(pdf).size()) / 1024.0;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    benchmark::RegisterBenchmark("PrintDay/8providers", printDay)
        ->Iterations(sized(30, 2))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    return runBenchmarks(argc, argv);
}
