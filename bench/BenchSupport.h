#pragma once

#include "core/Settings.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

// What the benchmark programs share: the worst-case day page, databases of
// many days (made once and kept in a cache folder), a working copy per run,
// per-iteration latencies and child processes timed with their peak memory.
namespace BenchSupport {

// LEDGERLY_BENCH_SMOKE=1: a quick pass that only checks that everything runs
// (small databases, few iterations).
bool smoke();
// full outside a smoke pass, else smokeValue.
int sized(int full, int smokeValue);

// Days in the large database and its size on disk (about 70 MB).
int largeDayCount();
qint64 largeDatabaseBytes();
inline constexpr int SmallDayCount = 10;
// The size a database of dayCount days is made to: about 70 MB for the large
// one; small ones have every page full.
qint64 databaseBytes(int dayCount);

// The worst-case page: 8 providers, 10-minute slots from 07:00 AM to 07:00 PM.
Settings worstCaseSettings();
// A page of that layout with every cell filled with a 20-character name
// (variant changes the names).
// Pronounceable surnames of two or three syllables, the same on every run.
QString syllables(std::mt19937& rng, int count);
QString fullPage(int variant);
// A name of exactly 20 characters.
QString clientName(int n);

// The days of a generated database, all relative to the real today: two past
// days of the same month with full pages (the day change alternates between
// them), and today with a full page.
struct Days
{
    QDate first;
    QDate last;
    QDate busyA;
    QDate busyB;
};
Days daysFor(int dayCount);

// A database of dayCount day records in the worst-case layout, totalling
// about targetBytes (the busy days and today full, the others partly filled),
// generated on first use and kept in the cache folder. The path of the cached
// file, which must not be written to.
QString cachedDatabase(int dayCount, qint64 targetBytes);

// The worst case for finding: largeDayCount() days in the worst-case layout,
// every slot booked with one of 3 000 clients, so that four letters of a
// surname find a few thousand appointments. The path of the cached file.
QString cachedWorstCaseDatabase();
// Four letters of one of those clients' name that no other client's holds,
// in lower case; and four that many of them share.
QString oneClientsFourLetters();
QString sharedFourLetters();

// A temporary folder holding db.mdb, a copy of a cached database. On tmpfs
// (/dev/shm) when inMemory, so that the disk's flush time drops out.
class Workspace
{
public:
    explicit Workspace(int dayCount, bool inMemory = false);
    // A copy of the file at source.
    explicit Workspace(const QString& source, int dayCount);
    QString folder() const { return m_dir->path(); }
    QString databasePath() const { return m_dir->path() + QStringLiteral("/db.mdb"); }
    const Days& days() const { return m_days; }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    Days m_days;
};
bool inMemoryAvailable();

// Per-iteration wall-clock times, reported as median and 90th percentile
// counters in milliseconds: median_ms and p90_ms, or NAME_median_ms and
// NAME_p90_ms.
class Latencies
{
public:
    using Clock = std::chrono::steady_clock;
    void add(Clock::duration d) { m_ms.push_back(std::chrono::duration<double, std::milli>(d).count()); }
    void addMillis(double ms) { m_ms.push_back(ms); }
    double last() const { return m_ms.empty() ? 0 : m_ms.back(); }
    void report(benchmark::State& state, const std::string& name = {}) const;

private:
    std::vector<double> m_ms;
};

// Peak resident memory of this process so far (VmHWM), in megabytes.
double peakRssMB();

// Runs a program to its end: wall time from start to exit, its exit code and
// its peak resident memory. extraEnv entries are "NAME=value".
struct ChildRun
{
    double millis = 0;
    int exitCode = -1;
    double peakRssMB = 0;
    QString error;
};
ChildRun runChild(const QString& program, const QStringList& arguments, const QStringList& extraEnv = {});

// Marks the benchmark as failed (the program then exits with 1).
void fail(benchmark::State& state, const QString& why);

// The standard main: QApplication or not is the caller's; this parses the
// benchmark options, runs and shuts down.
int runBenchmarks(int argc, char** argv);
} // namespace BenchSupport
