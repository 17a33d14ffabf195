#include "BenchSupport.h"

#include "core/DayLayout.h"
#include "core/PageText.h"
#include "platform/Clock.h"
#include "store/Database.h"
#include "store/DaySearchIndex.h"
#include "store/SettingsStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <sqlite3.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace BenchSupport {
namespace {
bool g_failed = false;

QString cacheFolder()
{
    const QString configured = qEnvironmentVariable("LEDGERLY_BENCH_CACHE");
    return configured.isEmpty() ? QStringLiteral(LEDGERLY_BENCH_CACHE_DIR) : configured;
}

const QStringList& worstCaseClients()
{
    static const QStringList clients = [] {
        std::mt19937 rng(20240515);
        QStringList out;
        for (int i = 0; i < 3000; ++i) {
            QString name = syllables(rng, 2 + i % 2).toUpper() + QStringLiteral(", ") + syllables(rng, 2);
            if (i % 20 == 0)
                name.replace(QLatin1Char('E'), QChar(0x00C9)); // some names with accents
            out.append(name);
        }
        return out;
    }();
    return clients;
}

// One day's page: every cell filled with probability fill.
QString pageFor(const QDate& day, double fill)
{
    const DayLayout layout = DayLayout::fromSettings(worstCaseSettings());
    std::mt19937 random(quint32(day.toJulianDay()));
    std::uniform_real_distribution<double> coin(0.0, 1.0);
    PageText::Cells cells;
    for (int r = 0; r < layout.pageRows(); ++r) {
        QStringList row;
        for (int c = 0; c < layout.pageColumns(); ++c)
            row.append(coin(random) < fill ? clientName(int(random() % 100000)) : QString());
        cells.append(row);
    }
    return PageText::join(cells);
}

// Every cell booked with one of the worst-case clients.
QString bookedPage(const QDate& day)
{
    const DayLayout layout = DayLayout::fromSettings(worstCaseSettings());
    std::mt19937 random(quint32(day.toJulianDay()));
    std::uniform_int_distribution<int> client(0, int(worstCaseClients().size()) - 1);
    PageText::Cells cells;
    for (int r = 0; r < layout.pageRows(); ++r) {
        QStringList row;
        for (int c = 0; c < layout.pageColumns(); ++c)
            row.append(worstCaseClients()[client(random)]);
        cells.append(row);
    }
    return PageText::join(cells);
}

void check(int rc, sqlite3* db, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        qFatal("generating a benchmark database: %s: %s", what, sqlite3_errmsg(db));
}

// Fills a new, empty Ledgerly database with the days through bare SQLite:
// one transaction, no flushing, so that tens of megabytes take seconds.
void fillDays(const QString& path, const Days& days, double fill)
{
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), db, "open");
    check(sqlite3_exec(db, "PRAGMA synchronous = OFF; BEGIN", nullptr, nullptr, nullptr), db, "begin");
    sqlite3_stmt* insert = nullptr;
    check(sqlite3_prepare_v2(db,
              "INSERT INTO tbl_Appt (CalDate, Clinic, Data, Memo, location, open, Close, timeslot, Listno, Names, "
              "Version) VALUES (?, 0, ?, ?, ?, ?, ?, ?, ?, ?, 1)",
              -1, &insert, nullptr),
        db, "prepare");
    const Settings s = worstCaseSettings();
    const QByteArray location = s.location.toUtf8();
    const QByteArray open = s.open.toUtf8();
    const QByteArray close = s.close.toUtf8();
    const QByteArray names = s.names.toUtf8();
    const QDate today = Clock::today();
    for (QDate d = days.first; d <= days.last; d = d.addDays(1)) {
        const bool full = d == days.busyA || d == days.busyB || d == today;
        const QByteArray date = d.toString(Qt::ISODate).toUtf8();
        const QByteArray page = (fill > 1 ? bookedPage(d)
                : full                    ? fullPage(int(d.toJulianDay() % 7))
                                          : pageFor(d, fill))
                                    .toUtf8();
        const QByteArray memo = d.dayOfWeek() == 1 ? QByteArrayLiteral("Order supplies; call the lab") : QByteArray();
        sqlite3_bind_text(insert, 1, date.constData(), int(date.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, page.constData(), int(page.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, memo.constData(), int(memo.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, location.constData(), int(location.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 5, open.constData(), int(open.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 6, close.constData(), int(close.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 7, s.slotMinutes);
        sqlite3_bind_int(insert, 8, s.providerCount);
        sqlite3_bind_text(insert, 9, names.constData(), int(names.size()), SQLITE_TRANSIENT);
        check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    // Written around the program: its next open makes the search index as it
    // does for a file of an earlier version.
    if (Database::SchemaVersion >= 4)
        check(sqlite3_exec(db, "DROP TABLE day_search; DROP TABLE tbl_History; PRAGMA user_version = 2", nullptr,
                  nullptr, nullptr),
            db, "index");
    sqlite3_close(db);
}

void generate(const QString& path, int dayCount, qint64 targetBytes)
{
    {
        // The schema and settings come from the program's own store.
        Database db(QStringLiteral("bench-generate-%1").arg(QRandomGenerator::global()->generate()));
        const Result opened = db.open(path);
        if (!opened.ok())
            qFatal("generating a benchmark database: %s", qPrintable(opened.message));
        const Result st = SettingsStore(db).writeLayout(worstCaseSettings());
        if (!st.ok())
            qFatal("generating a benchmark database: %s", qPrintable(st.message));
    }
    // On disk a record takes about 840 bytes of separators, layout copies
    // and b-tree slack, plus its names with their share of overflow pages.
    const double perRecord = double(targetBytes) / double(dayCount);
    const double namesBytes = double(fullPage(0).toUtf8().size()) * 1.05;
    // A target of 0 asks for the worst case: every slot booked.
    const double fill = targetBytes == 0 ? 2.0 : std::clamp((perRecord - 840.0) / namesBytes, 0.0, 1.0);
    fillDays(path, daysFor(dayCount), fill);
    Database db(QStringLiteral("bench-generate-%1").arg(QRandomGenerator::global()->generate()));
    if (const Result opened = db.open(path, false); !opened.ok())
        qFatal("generating a benchmark database: %s", qPrintable(opened.message));
}
} // namespace

// Pronounceable surnames of two or three syllables, the same on every run.
QString syllables(std::mt19937& rng, int count)
{
    static const char* const parts[] = {"ka", "lo", "mer", "an", "di", "son", "bre", "tu", "vel", "ri", "cha", "no",
        "pe", "gar", "ly", "hom", "za", "qui", "ste", "fo", "wen", "bar", "el", "is", "ton", "ma", "gu", "ne"};
    std::uniform_int_distribution<int> pick(0, int(std::size(parts)) - 1);
    QString s;
    for (int i = 0; i < count; ++i)
        s += QLatin1String(parts[pick(rng)]);
    return s;
}

bool smoke()
{
    static const bool on = qEnvironmentVariableIntValue("LEDGERLY_BENCH_SMOKE") != 0;
    return on;
}

int sized(int full, int smokeValue)
{
    return smoke() ? smokeValue : full;
}

int largeDayCount()
{
    return sized(15000, 200);
}

qint64 largeDatabaseBytes()
{
    return smoke() ? qint64(5) << 20 : qint64(70) << 20;
}

qint64 databaseBytes(int dayCount)
{
    if (dayCount == largeDayCount())
        return largeDatabaseBytes();
    return qint64(dayCount) << 16;
}

Settings worstCaseSettings()
{
    Settings s = Settings::defaults();
    s.location = QStringLiteral("Riverside Clinic");
    s.open = QStringLiteral("07:00 AM");
    s.close = QStringLiteral("07:00 PM");
    s.slotMinutes = 10;
    s.providerCount = 8;
    s.names = QStringLiteral(" Dr Abernathy - Dr Okonkwo - Dr Lindqvist - Dr Marchetti - Dr Vasquez - Dr Nakamura - "
                             "Dr Petrov - Dr Whitfield -");
    return s;
}

QString clientName(int n)
{
    static const char* const surnames[]
        = {"HENDERSON", "OKAFOR", "MACALLISTER", "NGUYEN", "FITZGERALD", "KOWALSKI", "DELACROIX", "PATEL", "SORENSEN",
            "RAMIREZ", "THORNBURY", "BLACKWOOD", "ABERNATHY", "LINDGREN", "CARVALHO", "WHITAKER"};
    static const char* const firsts[] = {"MARGARET", "JOHN", "AISHA", "PETER", "ELEANOR", "RAJ", "SOPHIE", "LIAM",
        "BEATRIZ", "OWEN", "HANNAH", "TOMAS", "GRACE", "IBRAHIM", "CLARA", "DANIEL"};
    QString s = QString::fromLatin1(surnames[n % 16]) + QStringLiteral(", ")
        + QString::fromLatin1(firsts[(n / 16) % 16]) + QStringLiteral(" ") + QString::number(5550000 + n % 10000)
        + QStringLiteral("0000000000");
    s.truncate(20);
    return s;
}

QString fullPage(int variant)
{
    const DayLayout layout = DayLayout::fromSettings(worstCaseSettings());
    PageText::Cells cells;
    for (int r = 0; r < layout.pageRows(); ++r) {
        QStringList row;
        for (int c = 0; c < layout.pageColumns(); ++c)
            row.append(clientName(variant * 997 + r * layout.pageColumns() + c));
        cells.append(row);
    }
    return PageText::join(cells);
}

Days daysFor(int dayCount)
{
    const QDate today = Clock::today();
    Days d;
    d.last = today.addDays(dayCount >= 100 ? 30 : 1);
    d.first = d.last.addDays(-(dayCount - 1));
    for (int k = 1;; ++k) {
        d.busyA = today.addDays(-k - 1);
        d.busyB = today.addDays(-k);
        if (d.busyA.month() == d.busyB.month())
            break;
    }
    return d;
}

QString cachedDatabase(int dayCount, qint64 targetBytes)
{
    const QString folder = cacheFolder();
    if (!QDir().mkpath(folder))
        qFatal("cannot make the benchmark cache folder %s", qPrintable(folder));
    // The days are placed around today, so a file serves one date only; and
    // one schema only (its version and the search index's objects).
    QCryptographicHash schema(QCryptographicHash::Sha1);
    for (const DaySearchIndex::FileObject& object : DaySearchIndex::fileObjects())
        schema.addData(object.sql.toUtf8());
    const QString prefix = QStringLiteral("days-%1-%2k-").arg(dayCount).arg(targetBytes >> 10);
    const QString name = prefix
        + QStringLiteral("v%1-%2-")
              .arg(Database::SchemaVersion)
              .arg(QString::fromLatin1(schema.result().toHex().left(8)))
        + Clock::today().toString(Qt::ISODate) + QStringLiteral(".mdb");
    const QString path = folder + QLatin1Char('/') + name;
    if (QFileInfo::exists(path))
        return path;
    for (const QString& stale : QDir(folder).entryList({prefix + QStringLiteral("*.mdb")}, QDir::Files))
        QFile::remove(folder + QLatin1Char('/') + stale);
    // Several benchmark programs may make the same file at once: each builds
    // its own and moves it into place whole.
    const QString building
        = path + QStringLiteral(".part-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    std::fprintf(stderr, "Generating %s (%d days) ...\n", qPrintable(path), dayCount);
    generate(building, dayCount, targetBytes);
    if (std::rename(QFile::encodeName(building).constData(), QFile::encodeName(path).constData()) != 0)
        qFatal("cannot move %s into place", qPrintable(building));
    return path;
}

QString cachedWorstCaseDatabase()
{
    return cachedDatabase(largeDayCount(), 0);
}

QString oneClientsFourLetters()
{
    const QStringList& clients = worstCaseClients();
    for (int c = 7;; ++c) {
        const QString name = clients[c % clients.size()].toLower();
        for (int at = 0; at + 4 <= name.size(); ++at) {
            const QString part = name.mid(at, 4);
            const auto holders = std::count_if(
                clients.begin(), clients.end(), [&](const QString& n) { return n.toLower().contains(part); });
            if (holders == 1)
                return part;
        }
    }
}

QString sharedFourLetters()
{
    return worstCaseClients()[7].mid(1, 4).toLower();
}

bool inMemoryAvailable()
{
    return QFileInfo(QStringLiteral("/dev/shm")).isWritable();
}

Workspace::Workspace(int dayCount, bool inMemory)
    : m_days(daysFor(dayCount))
{
    const QString source = cachedDatabase(dayCount, databaseBytes(dayCount));
    const QString base = inMemory ? QStringLiteral("/dev/shm") : QDir::tempPath();
    m_dir = std::make_unique<QTemporaryDir>(base + QStringLiteral("/ledgerly-bench-XXXXXX"));
    if (!m_dir->isValid() || !QFile::copy(source, databasePath()))
        qFatal("cannot copy %s into a work folder", qPrintable(source));
    QFile::setPermissions(databasePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

Workspace::Workspace(const QString& source, int dayCount)
    : m_days(daysFor(dayCount))
{
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/ledgerly-bench-XXXXXX"));
    if (!m_dir->isValid() || !QFile::copy(source, databasePath()))
        qFatal("cannot copy %s into a work folder", qPrintable(source));
    QFile::setPermissions(databasePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void Latencies::report(benchmark::State& state, const std::string& name) const
{
    if (m_ms.empty())
        return;
    std::vector<double> sorted = m_ms;
    std::sort(sorted.begin(), sorted.end());
    const std::string prefix = name.empty() ? std::string() : name + "_";
    state.counters[prefix + "median_ms"] = sorted[sorted.size() / 2];
    state.counters[prefix + "p90_ms"] = sorted[std::min(sorted.size() - 1, sorted.size() * 9 / 10)];
}

double peakRssMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

ChildRun runChild(const QString& program, const QStringList& arguments, const QStringList& extraEnv)
{
    ChildRun out;
    std::vector<QByteArray> argStore {QFile::encodeName(program)};
    for (const QString& a : arguments)
        argStore.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<QByteArray> envStore;
    for (const QString& e : extraEnv)
        envStore.push_back(e.toLocal8Bit());
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        const bool replaced = std::any_of(envStore.begin(), envStore.end(),
            [&](const QByteArray& x) { return entry.startsWith(x.left(x.indexOf('=') + 1)); });
        if (!replaced)
            envp.push_back(*e);
    }
    for (QByteArray& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    // The child's own output goes to a file, shown only when it fails.
    const QByteArray log
        = QFile::encodeName(QDir::tempPath() + QStringLiteral("/ledgerly-bench-child-%1.log").arg(::getpid()));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);

    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        out.error = QStringLiteral("cannot start %1").arg(program);
        return out;
    }
    int status = 0;
    rusage usage {};
    if (::wait4(pid, &status, 0, &usage) != pid) {
        out.error = QStringLiteral("lost %1").arg(program);
        return out;
    }
    out.millis = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    out.peakRssMB = double(usage.ru_maxrss) / 1024.0;
    out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (out.exitCode != 0) {
        QFile f(QFile::decodeName(log));
        f.open(QIODevice::ReadOnly);
        out.error = QStringLiteral("%1 ended with %2: %3")
                        .arg(program)
                        .arg(out.exitCode)
                        .arg(QString::fromLocal8Bit(f.readAll().right(2000)));
    }
    QFile::remove(QFile::decodeName(log));
    return out;
}

void fail(benchmark::State& state, const QString& why)
{
    g_failed = true;
    static std::string message;
    message = why.toStdString();
    std::fprintf(stderr, "%s\n", message.c_str());
    state.SkipWithError(message.c_str());
}

int runBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return g_failed ? 1 : 0;
}
} // namespace BenchSupport
