// Real processes of the store against one database file, as several desks of
// a practice run it. Each mode is one process; the tests start several.
//
//   store_stress contend <database> <seconds> <id> <log>
//       For <seconds> (0: until killed), appends a token only this process
//       writes ("[id:n]") to a random cell of one of five days and saves it
//       as the window commits a cell: re-read, change, save with merge. Each
//       token is written to <log> as "saved [id:n]" once its COMMIT has
//       returned. At the end prints one line of figures:
//       "saves=S seconds=T retries=R merges=M busy=B failed=F".
//   store_stress same-cell <database> <name>
//       Reads the first day's record, prints "ready", waits for a line on
//       standard input, writes <name> into the first cell of the base it
//       read and saves; prints "saved".
//   store_stress hold-lock <database>
//       Takes the file with BEGIN EXCLUSIVE, prints "locked", holds it until
//       a line (or the end) arrives on standard input, then commits and
//       prints "released".

#include "appointments/PageText.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <cstdio>
#include <iostream>
#include <string>

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
    const Database::OpenResult r = db.open(path);
    if (!r.ok)
        std::fprintf(stderr, "store_stress: %s\n", qPrintable(r.message));
    return r.ok;
}

// The day as a desk showing it has it: found, or made when nobody has yet.
StoreStatus shownDay(DayStore& store, const Settings& settings, const QDate& date, DayRecord& out)
{
    std::optional<DayRecord> found;
    StoreStatus s = store.find(date, found);
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
    for (qint64 n = 1; seconds <= 0 || clock.elapsed() < qint64(seconds) * 1000; ++n) {
        const QDate date = FirstDay.addDays(random->bounded(Days));
        const int row = random->bounded(Rows);
        const int col = random->bounded(Columns);
        const QString token = QStringLiteral("[%1:%2]").arg(id).arg(n);

        DayRecord base;
        StoreStatus s = shownDay(store, settings, date, base);
        DayStore::SaveOutcome outcome;
        if (s.ok()) {
            DayRecord edited = base;
            PageText::Cells cells = PageText::fit(base.data, Rows, Columns);
            QString& cell = cells[row][col];
            cell = cell.isEmpty() ? token : cell + QLatin1Char(' ') + token;
            edited.data = PageText::join(cells);
            outcome = store.save(base, edited, DayStore::SaveMode::KeepEmpty);
            s = outcome.status;
        }
        if (s.ok()) {
            ++saves;
            if (outcome.merged)
                ++merges;
            log.write(QStringLiteral("saved %1\n").arg(token).toUtf8());
        } else if (s.code == StoreStatus::Busy) {
            ++busy;
            log.write(QStringLiteral("busy %1\n").arg(s.message).toUtf8());
        } else {
            ++failed;
            log.write(QStringLiteral("failed %1\n").arg(s.message).toUtf8());
        }
    }
    const QByteArray figures = QStringLiteral("saves=%1 seconds=%2 retries=%3 merges=%4 busy=%5 failed=%6")
                                   .arg(saves)
                                   .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 3)
                                   .arg(db.retry().totalRetries())
                                   .arg(merges)
                                   .arg(busy)
                                   .arg(failed)
                                   .toUtf8();
    say(figures.constData());
    return failed == 0 ? 0 : 1;
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
    PageText::Cells cells = PageText::fit(base.data, Rows, Columns);
    cells[0][0] = name;
    edited.data = PageText::join(cells);
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
    if (mode == QLatin1String("contend") && args.size() == 5)
        return contend(args[1], args[2].toInt(), args[3], args[4]);
    if (mode == QLatin1String("same-cell") && args.size() == 3)
        return sameCell(args[1], args[2]);
    if (mode == QLatin1String("hold-lock") && args.size() == 2)
        return holdLock(args[1]);
    std::fputs("usage: store_stress contend <database> <seconds> <id> <log>\n"
               "       store_stress same-cell <database> <name>\n"
               "       store_stress hold-lock <database>\n",
        stderr);
    return 2;
}
