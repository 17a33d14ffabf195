// Real processes of the store against one database file, as several desks of
// a practice run it. Each mode is one process; the tests start several.
//
//   store_stress run <database> <processes> <seconds>
//       Starts <processes> contend writers on <database> (logs next to it,
//       "<database>-writer-<id>.log"), waits for them and checks that every
//       token they logged is in the file. Prints each writer's figures, then
//       "processes=N saves=S seconds=T saves_per_second=X retries=R merges=M
//       busy=B failed=F lost=L slowest_ms=W" (W: the longest single save);
//       ends with 0 only when nothing failed or was lost.
//   store_stress contend <database> <seconds> <id> <log>
//       For <seconds> (0: until killed), appends a token only this process
//       writes ("[id:n]") to a random cell of one of five days and saves it
//       as the window commits a cell: re-read, change, save with merge. Each
//       token is written to <log> as "saved [id:n]" once its COMMIT has
//       returned. At the end prints one line of figures:
//       "saves=S seconds=T retries=R merges=M busy=B failed=F slowest_ms=W".
//   store_stress same-cell <database> <name>
//       Reads the first day's record, prints "ready", waits for a line on
//       standard input, writes <name> into the first cell of the base it
//       read and saves; prints "saved".
//   store_stress hold-lock <database>
//       Takes the file with BEGIN EXCLUSIVE, prints "locked", holds it until
//       a line (or the end) arrives on standard input, then commits and
//       prints "released".

#include "core/PageText.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int Days = 5;
constexpr int Rows = 20;
constexpr int Columns = 4;
const QDate FirstDay(2024, 6, 3);

void say(const char* line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void waitForLine()
{
    std::string line;
    std::getline(std::cin, line);
}

bool openDatabase(Database& db, const QString& path)
{
    const Result r = db.open(path);
    if (!r.ok())
        std::fprintf(stderr, "store_stress: %s\n", qPrintable(r.message));
    return r.ok();
}

// The day as a desk showing it has it: found, or made when nobody has yet.
Result shownDay(DayStore& store, const Settings& settings, const QDate& date, DayRecord& out)
{
    std::optional<DayRecord> found;
    Result s = store.find(date, found);
    if (!s.ok() || found) {
        if (found)
            out = *found;
        return s;
    }
    bool created = false;
    return store.open(date, settings, out, created);
}

int contend(const QString& path, int seconds, const QString& id, const QString& logPath)
{
    Database db(QStringLiteral("stress"));
    if (!openDatabase(db, path))
        return 3;
    Settings settings;
    if (!SettingsStore(db).read(settings).ok())
        return 4;
    // Unbuffered: each line reaches the file before the next save begins, so
    // a killed process never takes a logged token with it.
    QFile log(logPath);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return 5;

    DayStore store(db);
    QRandomGenerator* random = QRandomGenerator::global();
    QElapsedTimer clock;
    clock.start();
    qint64 saves = 0;
    qint64 merges = 0;
    qint64 busy = 0;
    qint64 failed = 0;
    qint64 slowest = 0; // ms of the longest save, its re-read and retries included
    for (qint64 n = 1; seconds <= 0 || clock.elapsed() < qint64(seconds) * 1000; ++n) {
        const QDate date = FirstDay.addDays(random->bounded(Days));
        const int row = random->bounded(Rows);
        const int col = random->bounded(Columns);
        const QString token = QStringLiteral("[%1:%2]").arg(id).arg(n);

        QElapsedTimer took;
        took.start();
        DayRecord base;
        Result s = shownDay(store, settings, date, base);
        DayStore::SaveOutcome outcome;
        if (s.ok()) {
            DayRecord edited = base;
            PageText::Cells cells = PageText::fit(base.pageText, Rows, Columns);
            QString& cell = cells[row][col];
            cell = cell.isEmpty() ? token : cell + QLatin1Char(' ') + token;
            edited.pageText = PageText::join(cells);
            outcome = store.save(base, edited, DayStore::SaveMode::KeepEmpty);
            s = outcome.status;
        }
        slowest = std::max(slowest, took.elapsed());
        if (s.ok()) {
            ++saves;
            if (outcome.merged)
                ++merges;
            log.write(QStringLiteral("saved %1\n").arg(token).toUtf8());
        } else if (s.code == Result::Busy) {
            ++busy;
            log.write(QStringLiteral("busy %1\n").arg(s.message).toUtf8());
        } else {
            ++failed;
            log.write(QStringLiteral("failed %1\n").arg(s.message).toUtf8());
        }
    }
    const QByteArray figures
        = QStringLiteral("saves=%1 seconds=%2 retries=%3 merges=%4 busy=%5 failed=%6 slowest_ms=%7")
              .arg(saves)
              .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 3)
              .arg(db.retry().totalRetries())
              .arg(merges)
              .arg(busy)
              .arg(failed)
              .arg(slowest)
              .toUtf8();
    say(figures.constData());
    return failed == 0 ? 0 : 1;
}

// "name=value ..." as numbers by name.
QHash<QString, double> figuresOf(const QString& line)
{
    QHash<QString, double> out;
    for (const QString& field : line.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.insert(field.section(QLatin1Char('='), 0, 0), field.section(QLatin1Char('='), 1).toDouble());
    return out;
}

QSet<QString> storedTokens(Database& db)
{
    static const QRegularExpression token(QStringLiteral("\\[[0-9]+:[0-9]+\\]"));
    QSet<QString> out;
    for (int d = 0; d < Days; ++d) {
        std::optional<DayRecord> rec;
        if (!DayStore(db).find(FirstDay.addDays(d), rec).ok())
            return {};
        if (!rec)
            continue;
        for (const QRegularExpressionMatch& m : token.globalMatch(rec->pageText))
            out.insert(m.captured());
    }
    return out;
}

// The writers' logs are logBase-writer-N.log (by default next to the file; a
// server database needs a folder named).
int run(const QString& path, int processes, int seconds, const QString& logBase)
{
    std::vector<std::unique_ptr<QProcess>> writers;
    QStringList logs;
    for (int i = 1; i <= processes; ++i) {
        logs.append(logBase + QStringLiteral("-writer-%1.log").arg(i));
        QFile::remove(logs.last());
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("contend"), path, QString::number(seconds), QString::number(i), logs.last()});
        writers.push_back(std::move(p));
    }
    QHash<QString, double> total;
    double longest = 0;
    double slowest = 0;
    for (auto& p : writers) {
        if (!p->waitForFinished(-1) || p->exitStatus() != QProcess::NormalExit)
            return 6;
        const QString line = QString::fromUtf8(p->readAllStandardOutput()).trimmed();
        say(line.toUtf8().constData());
        const QHash<QString, double> figures = figuresOf(line);
        for (auto it = figures.begin(); it != figures.end(); ++it)
            total[it.key()] += it.value();
        longest = std::max(longest, figures.value(QStringLiteral("seconds")));
        slowest = std::max(slowest, figures.value(QStringLiteral("slowest_ms")));
    }

    Database db(QStringLiteral("stress-check"));
    if (!openDatabase(db, path))
        return 3;
    const QSet<QString> stored = storedTokens(db);
    qint64 lost = 0;
    for (const QString& log : logs) {
        QFile f(log);
        if (!f.open(QIODevice::ReadOnly))
            return 5;
        while (!f.atEnd()) {
            const QByteArray line = f.readLine().trimmed();
            if (line.startsWith("saved ") && !stored.contains(QString::fromUtf8(line.mid(6))))
                ++lost;
        }
    }
    const QByteArray summary = QStringLiteral("processes=%1 saves=%2 seconds=%3 saves_per_second=%4 retries=%5 "
                                              "merges=%6 busy=%7 failed=%8 lost=%9 slowest_ms=%10")
                                   .arg(processes)
                                   .arg(total.value(QStringLiteral("saves")))
                                   .arg(longest, 0, 'f', 3)
                                   .arg(longest > 0 ? total.value(QStringLiteral("saves")) / longest : 0, 0, 'f', 1)
                                   .arg(total.value(QStringLiteral("retries")))
                                   .arg(total.value(QStringLiteral("merges")))
                                   .arg(total.value(QStringLiteral("busy")))
                                   .arg(total.value(QStringLiteral("failed")))
                                   .arg(lost)
                                   .arg(slowest)
                                   .toUtf8();
    say(summary.constData());
    return total.value(QStringLiteral("failed")) == 0 && lost == 0 ? 0 : 1;
}

int sameCell(const QString& path, const QString& name)
{
    Database db(QStringLiteral("stress"));
    if (!openDatabase(db, path))
        return 3;
    Settings settings;
    if (!SettingsStore(db).read(settings).ok())
        return 4;
    DayStore store(db);
    DayRecord base;
    if (!shownDay(store, settings, FirstDay, base).ok())
        return 5;
    say("ready");
    waitForLine();
    DayRecord edited = base;
    PageText::Cells cells = PageText::fit(base.pageText, Rows, Columns);
    cells[0][0] = name;
    edited.pageText = PageText::join(cells);
    if (!store.save(base, edited, DayStore::SaveMode::KeepEmpty).status.ok())
        return 6;
    say("saved");
    return 0;
}

int holdLock(const QString& path)
{
    Database db(QStringLiteral("stress"));
    if (!openDatabase(db, path))
        return 3;
    QSqlQuery q(db.connection());
    if (!q.exec(QStringLiteral("BEGIN EXCLUSIVE")))
        return 4;
    say("locked");
    waitForLine();
    if (!q.exec(QStringLiteral("COMMIT")))
        return 5;
    say("released");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("run") && (args.size() == 4 || args.size() == 5))
        return run(args[1], args[2].toInt(), args[3].toInt(), args.value(4, args[1]));
    if (mode == QLatin1String("contend") && args.size() == 5)
        return contend(args[1], args[2].toInt(), args[3], args[4]);
    if (mode == QLatin1String("same-cell") && args.size() == 3)
        return sameCell(args[1], args[2]);
    if (mode == QLatin1String("hold-lock") && args.size() == 2)
        return holdLock(args[1]);
    std::fputs("usage: store_stress run <database> <processes> <seconds> [<log base>]\n"
               "       store_stress contend <database> <seconds> <id> <log>\n"
               "       store_stress same-cell <database> <name>\n"
               "       store_stress hold-lock <database>\n",
        stderr);
    return 2;
}
