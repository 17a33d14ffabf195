// Real processes of the store on one database, as several desks of a practice
// run it; the tests start several.
//
//   store_stress same-cell <database> <name>
//       Reads the first day's record (making it when there is none), prints
//       "ready", waits for a line on standard input, writes <name> into the
//       first cell of the base it read and saves; prints "saved".
//   store_stress hold-lock <database>
//       Takes the file with BEGIN EXCLUSIVE, prints "locked", holds it until
//       a line (or the end) arrives on standard input, then commits and
//       prints "released".

#include "core/PageText.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

void say(const char* line)
{
    std::puts(line);
    std::fflush(stdout);
}

void waitForLine()
{
    std::string line;
    std::getline(std::cin, line);
}

int sameCell(Database& db, const QString& name)
{
    Settings settings;
    DayStore store(db);
    DayRecord base;
    bool created = false;
    if (!SettingsStore(db).read(settings).ok() || !store.open(QDate(2024, 6, 3), settings, base, created).ok())
        return 5;
    say("ready");
    waitForLine();
    DayRecord edited = base;
    PageText::Cells cells = PageText::fit(base.pageText, 20, 4);
    cells[0][0] = name;
    edited.pageText = PageText::join(cells);
    if (!store.save(base, edited, DayStore::SaveMode::KeepEmpty).status.ok())
        return 6;
    say("saved");
    return 0;
}

int holdLock(Database& db)
{
    QSqlQuery q(db.connection());
    if (!q.exec("BEGIN EXCLUSIVE"))
        return 4;
    say("locked");
    waitForLine();
    if (!q.exec("COMMIT"))
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
    if (!(mode == QLatin1String("same-cell") && args.size() == 3)
        && !(mode == QLatin1String("hold-lock") && args.size() == 2)) {
        std::fputs("usage: store_stress same-cell <database> <name>\n"
                   "       store_stress hold-lock <database>\n",
            stderr);
        return 2;
    }
    Database db("stress");
    if (const Result r = db.open(args[1]); !r.ok()) {
        std::fprintf(stderr, "store_stress: %s\n", qPrintable(r.message));
        return 3;
    }
    return mode == QLatin1String("hold-lock") ? holdLock(db) : sameCell(db, args[2]);
}
