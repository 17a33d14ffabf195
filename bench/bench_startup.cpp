// Start-up: from process start until today's page is shown and idle, on a
// database of 15 000 days, beside a minimal Qt Widgets program that shows one
// window and quits, in the same run. Also the program's peak memory there.

#include "BenchSupport.h"

#include <QCoreApplication>

using namespace BenchSupport;

namespace {

void timeChild(benchmark::State& state, const QString& program, const QStringList& arguments, const QStringList& env)
{
    // Once untimed, so that every timed run finds the files in the cache.
    if (const ChildRun warm = runChild(program, arguments, env); !warm.error.isEmpty())
        return fail(state, warm.error);
    Latencies latencies;
    double peak = 0;
    for (auto _ : state) {
        const ChildRun run = runChild(program, arguments, env);
        if (!run.error.isEmpty())
            return fail(state, run.error);
        state.SetIterationTime(run.millis / 1000.0);
        latencies.add(std::chrono::duration_cast<Latencies::Clock::duration>(
            std::chrono::duration<double, std::milli>(run.millis)));
        peak = std::max(peak, run.peakRssMB);
    }
    latencies.report(state);
    state.counters["peak_rss_MB"] = peak;
}

void startup(benchmark::State& state)
{
    const Workspace ws(largeDayCount());
    timeChild(state, QStringLiteral(LEDGERLY_EXE), {QStringLiteral("--data-dir"), ws.folder()},
        {QStringLiteral("LEDGERLY_BENCH_EXIT_WHEN_IDLE=1"), QStringLiteral("QT_QPA_PLATFORM=offscreen")});
}

void minimalQt(benchmark::State& state, bool blank)
{
    timeChild(state, QStringLiteral(MINIMAL_QT_EXE), blank ? QStringList {QStringLiteral("--blank")} : QStringList {},
        {QStringLiteral("QT_QPA_PLATFORM=offscreen")});
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int iterations = sized(20, 2);
    benchmark::RegisterBenchmark("Startup/ledgerly", startup)
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark("Startup/minimal_qt", [](benchmark::State& s) { minimalQt(s, false); })
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark("Startup/minimal_qt_blank", [](benchmark::State& s) { minimalQt(s, true); })
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    return runBenchmarks(argc, argv);
}
