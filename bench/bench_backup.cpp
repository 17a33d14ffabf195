// Back-up of the large database (about 70 MB) beside a plain cp of the same
// file, in the same run.

#include "BenchSupport.h"

#include "maintenance/BackupRestore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

using namespace BenchSupport;

namespace {
void backup(benchmark::State& state)
{
    const Workspace live(largeDayCount());
    QTemporaryDir target;
    const QString copy = target.path() + QStringLiteral("/db.mdb");
    Latencies latencies;
    for (auto _ : state) {
        const auto start = Latencies::Clock::now();
        if (const QString why = BackupRestore::backup(live.databasePath(), copy); !why.isEmpty())
            return fail(state, why);
        latencies.add(Latencies::Clock::now() - start);
    }
    latencies.report(state);
    state.counters["db_MB"] = double(QFileInfo(live.databasePath()).size()) / (1 << 20);
}

void plainCopy(benchmark::State& state)
{
    const Workspace live(largeDayCount());
    QTemporaryDir target;
    const QString cp = QStandardPaths::findExecutable(QStringLiteral("cp"));
    const QStringList args = {live.databasePath(), target.path() + QStringLiteral("/db.mdb")};
    Latencies latencies;
    for (auto _ : state) {
        const ChildRun run = runChild(cp, args);
        if (!run.error.isEmpty())
            return fail(state, run.error);
        state.SetIterationTime(run.millis / 1000.0);
        latencies.add(std::chrono::duration_cast<Latencies::Clock::duration>(
            std::chrono::duration<double, std::milli>(run.millis)));
    }
    latencies.report(state);
    state.counters["db_MB"] = double(QFileInfo(live.databasePath()).size()) / (1 << 20);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int iterations = sized(10, 1);
    benchmark::RegisterBenchmark("Backup/backup", backup)
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("Backup/cp", plainCopy)
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    return runBenchmarks(argc, argv);
}
