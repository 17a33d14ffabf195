#pragma once

#include "core/Result.h"

#include <QDate>
#include <QList>
#include <QString>

// The back-ups the program makes by itself, once a day, each a db.mdb in a
// folder of the back-up folder named by its date (backups/2024-05-15/db.mdb),
// so that every one of them restores as a back-up made by hand does. Only
// some are kept: the newest DailyKept and the first of each of the last
// MonthsKept months; the others are removed, but only once the day's new
// back-up has been made and checked.
namespace AutomaticBackups {
inline constexpr int DailyKept = 14;
inline constexpr int MonthsKept = 12; // this month and the eleven before it

// Of the dates back-ups were made on, those to keep on today. A date after
// today (a clock put back) is kept: it is not this rule's to judge.
QList<QDate> kept(const QList<QDate>& made, const QDate& today);

// The back-up folder when none was set: backups/ in the data folder, beside
// db.mdb (on a server: in this desk's data folder).
QString defaultFolder();
// The folder of the day's back-up in folder.
QString folderOf(const QString& folder, const QDate& day);
// The days the back-ups in folder were made on, newest first.
QList<QDate> listed(const QString& folder);
// Removes from folder the back-ups kept() does not keep; the names of those
// that could not be removed are left in failed.
void removeOutdated(const QString& folder, const QDate& today, QStringList* failed = nullptr);

// What an attempt at the day's back-up came to.
struct [[nodiscard]] Outcome
{
    Result result;
    bool made = false; // false and Ok: it had been made already (here or by another desk)
    QString path; // the day's db.mdb
};

// Makes day's back-up of the database at address (a file or a server) into
// folder, unless it is there already or, on a server, another desk has
// claimed the day; desk names this one in the claim. Blocks: the caller runs
// it away from the window's thread.
Outcome make(const QString& address, const QString& folder, const QDate& day, const QString& desk);

// This desk, as the claims name it: user@machine.
QString deskName();
} // namespace AutomaticBackups
