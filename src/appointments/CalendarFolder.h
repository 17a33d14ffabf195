#pragma once

#include "core/Result.h"

#include <QObject>
#include <QString>
#include <QTimer>

class Database;

// A folder that holds one iCalendar file per provider, kept current: a
// calendar program or a phone that subscribes to a file there (through a
// folder shared with it) sees the provider's slots from today to 90 days
// later. Each file is rewritten in one step, so a reader never sees a part.
class CalendarFolder : public QObject
{
    Q_OBJECT

public:
    // With an empty folder, the one configured() names at each rewrite, so
    // that a folder chosen while the window is open is kept from then on.
    CalendarFolder(Database& db, const QString& folder, QObject* parent = nullptr);

    // The folder LEDGERLY_CALENDAR_FOLDER names, else the one chosen at this
    // desk (calendars.ini in the data folder); empty when none is.
    static QString configured();
    // Keeps folder for every start at this desk; empty for none.
    static void choose(const QString& folder);
    // "provider-2.ics": named by column, so that a subscription survives a
    // change of the provider's name (the calendar inside carries the name).
    static QString fileName(int providerColumn);

    // Rewrites the files a second after the last call, once for many saves,
    // on a thread and connection of their own: a practice's next 90 days can
    // take a good part of a second to write, which the window must not wait
    // for.
    void changed();
    // Rewrites every provider's file now and removes those of providers the
    // current settings no longer have; with no folder, does nothing.
    Result rewrite();
    // The same from db into folder.
    static Result rewrite(Database& db, const QString& folder);

private:
    void rewriteInBackground();
    void backgroundDone(const Result& written);

    Database& m_db;
    QString m_folder;
    QTimer m_delay;
    // Other desks' changes to days not shown here reach the files too.
    QTimer m_everyFewMinutes;
    bool m_writing = false; // a rewrite is under way in the background
    bool m_again = false; // and another was asked for meanwhile
};
