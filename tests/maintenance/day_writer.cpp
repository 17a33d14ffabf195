// Saves days into a database over and over, as another copy of the program
// would, until <database>.stop appears; prints "ready" after the first save.
// Each save writes one token into both the page and the memo of a day, so a
// consistent copy of the file never shows a day whose two disagree.

#include "store/Database.h"
#include "store/DayStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[argc - 1]);
    Database db(QStringLiteral("writer"));
    DayStore store(db);
    if (argc != 2 || !db.open(path, false).ok())
        return 2;
    for (int i = 0; i < 100000 && !QFileInfo::exists(path + QStringLiteral(".stop")); ++i) {
        DayRecord rec;
        bool created = false;
        const QString token = QStringLiteral("save %1;").arg(i);
        if (!store.open(QDate(2024, 1, 1).addDays(i % 40), Settings::defaults(), rec, created).ok())
            return 3;
        DayRecord edited = rec;
        edited.pageText = token.repeated(6000 / token.size()); // several pages, so a torn copy would show
        edited.memo = token;
        if (!store.save(rec, edited).status.ok())
            return 4;
        if (i == 0)
            std::puts("ready");
        std::fflush(stdout);
        // A breath between saves, as between a receptionist's, lets the copy in.
        QThread::msleep(2);
    }
    return 0;
}
