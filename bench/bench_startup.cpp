// Start-up: from process start until today's page is shown and idle, on a
// database of 15 000 days, beside a minimal Qt Widgets program showing one
// window with a line of text, and a blank window (which never sets up fonts).
// The three start in turn within each iteration, so that all of them meet the
// same machine. Also the program's peak memory there.

#include "BenchSupport.h"

#include <QCoreApplication>

using namespace BenchSupport;

namespace {

struct Program
{
    QString path;
    QStringList arguments;
    QStringList env;
};

// Reported: median_ms and peak_rss_MB of the program, minimal_* and blank_*
// of the yardsticks; the benchmark's own time is the program's.
void startup(benchmark::State& state)
{
    const Workspace ws(largeDayCount());
    const QStringList offscreen {QStringLiteral("QT_QPA_PLATFORM=offscreen")};
    const Program ledgerly {QStringLiteral(LEDGERLY_EXE), {QStringLiteral("--data-dir"), ws.folder()},
        offscreen + QStringList {QStringLiteral("LEDGERLY_BENCH_EXIT_WHEN_IDLE=1")}};
    const Program minimal {QStringLiteral(MINIMAL_QT_EXE), {}, offscreen};
    const Program blank {QStringLiteral(MINIMAL_QT_EXE), {QStringLiteral("--blank")}, offscreen};
    const Program* programs[] = {&ledgerly, &minimal, &blank};
    Latencies times[3];
    double peak[3] = {0, 0, 0};

    // Each once untimed, so that every timed run finds its files in the cache.
    for (const Program* p : programs) {
        if (const ChildRun warm = runChild(p->path, p->arguments, p->env); !warm.error.isEmpty())
            return fail(state, warm.error);
    }
    for (auto _ : state) {
        for (int i = 0; i < 3; ++i) {
            const ChildRun run = runChild(programs[i]->path, programs[i]->arguments, programs[i]->env);
            if (!run.error.isEmpty())
                return fail(state, run.error);
            times[i].addMillis(run.millis);
            peak[i] = std::max(peak[i], run.peakRssMB);
        }
        state.SetIterationTime(times[0].last() / 1000.0);
    }
    times[0].report(state);
    times[1].report(state, "minimal");
    times[2].report(state, "blank");
    state.counters["peak_rss_MB"] = peak[0];
    state.counters["minimal_peak_rss_MB"] = peak[1];
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::RegisterBenchmark("Startup", startup)
        ->Iterations(sized(20, 2))
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    return runBenchmarks(argc, argv);
}
