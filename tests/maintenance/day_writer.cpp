// Saves days into a database over and over, as another copy of the program
// would, until a file named <database>.stop appears. Every save writes one
// token into both the page and the memo of a day, so a consistent copy of
// the file never shows a day whose page and memo disagree.
//
// Usage: day_writer <database> ; prints "ready" after the first save.

#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString stopFile = path + QStringLiteral(".stop");

    Database db(QStringLiteral("writer"));
    if (!db.open(path, false).ok())
        return 3;
    Settings settings;
    if (!SettingsStore(db).read(settings).ok())
        return 4;
    DayStore store(db);
    for (int i = 0; i < 100000 && !QFileInfo::exists(stopFile); ++i) {
        DayRecord rec;
        bool created = false;
        if (!store.open(QDate(2024, 1, 1).addDays(i % 40), settings, rec, created).ok())
            return 5;
        DayRecord edited = rec;
        // Several pages' worth, so that a torn copy would show.
        const QString token = QStringLiteral("save %1;").arg(i);
        edited.pageText = token.repeated(6000 / token.size());
        edited.memo = token;
        if (!store.save(rec, edited).status.ok())
            return 6;
        if (i == 0) {
            std::puts("ready");
            std::fflush(stdout);
        }
        // A breath between saves, as between two of a receptionist's; without
        // it this loop would hold the file nearly all the time and no reader
        // of any kind would get in.
        QThread::msleep(2);
    }
    return 0;
}
