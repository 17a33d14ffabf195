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
    CalendarFolder(Database& db, const QString& folder, QObject* parent = nullptr);

    // The folder LEDGERLY_CALENDAR_FOLDER names; empty when none is set.
    static QString configured();
    // "provider-2.ics": named by column, so that a subscription survives a
    // change of the provider's name (the calendar inside carries the name).
    static QString fileName(int providerColumn);

    // Rewrites the files a second after the last call, once for many saves.
    void changed();
    // Rewrites every provider's file now and removes those of providers the
    // current settings no longer have.
    Result rewrite();

private:
    Database& m_db;
    QString m_folder;
    QTimer m_delay;
};
