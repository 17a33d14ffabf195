// Back-up of the large database (about 70 MB) beside a plain cp of the same
// file, the two in turn within each iteration.

#include "BenchSupport.h"

#include "maintenance/BackupRestore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

using namespace BenchSupport;

namespace {
// Reported: median_ms of the back-up, cp_median_ms of the copy; the
// benchmark's own time is the back-up's.
void backup(benchmark::State& state)
{
    const Workspace live(largeDayCount());
    QTemporaryDir target;
    const QString backupPath = target.path() + QStringLiteral("/db.mdb");
    const QString cp = QStandardPaths::findExecutable(QStringLiteral("cp"));
    const QStringList cpArgs = {live.databasePath(), target.path() + QStringLiteral("/copy.mdb")};
    Latencies backups, copies;
    for (auto _ : state) {
        const auto start = Latencies::Clock::now();
        if (const Result done = BackupRestore::backup(live.databasePath(), backupPath); !done.ok())
            return fail(state, done.message);
        backups.add(Latencies::Clock::now() - start);
        const ChildRun run = runChild(cp, cpArgs);
        if (!run.error.isEmpty())
            return fail(state, run.error);
        copies.addMillis(run.millis);
        state.SetIterationTime(backups.last() / 1000.0);
    }
    backups.report(state);
    copies.report(state, "cp");
    state.counters["db_MB"] = double(QFileInfo(live.databasePath()).size()) / (1 << 20);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::RegisterBenchmark("Backup", backup)
        ->Iterations(sized(10, 1))
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    return runBenchmarks(argc, argv);
}
