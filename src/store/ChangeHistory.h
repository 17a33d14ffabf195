#pragma once

#include "core/DayMerge.h"
#include "core/DayRecord.h"
#include "core/Result.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

class Database;
class QSqlDatabase;
struct DayLayout;

// One stored change: what a slot, a daily memo, the closed flag or the fixed
// memo held before and after it, when and at which desk. A slot is kept as it
// was shown then (row and column, time and provider), since a later layout
// may place it elsewhere or name its provider otherwise.
struct ChangeEntry
{
    enum class Kind { Slot, Memo, Closed, FixedMemo };

    qint64 id = 0;
    QDate day; // the fixed memo, the same on every day: the day it was changed
    Kind kind = Kind::Slot;
    int row = 0; // grid row and column of a slot
    int column = 0;
    QString time; // the slot's time as shown ("10:00 AM"); empty for a row without one
    int minutes = -1; // the same in minutes from midnight; -1 without one
    QString provider;
    QString before;
    QString after;
    QDateTime changedAt;
    QString userName;
    QString machineName;
    QString reason; // empty for a desk's own change, else RestoreReason
};

// The history of every stored change, kept in tbl_History of the same
// database. DayStore::save and SettingsStore::saveFixedMemo write it in the
// transaction of the save itself, so that a change and its entry are stored
// together or not at all; a restore records what it replaced afterwards.
namespace ChangeHistory {
inline const QString RestoreReason = QStringLiteral("restored from back-up");

// Everything a restore can change: the days by date, and the fixed memo.
struct Content
{
    QMap<QDate, DayRecord> days;
    QString fixedMemo;
};

// The slot at a grid row and column of a page laid out in layout: its
// place, time and provider, no day and no texts.
ChangeEntry slotAt(const DayLayout& layout, int row, int column);

// The entries for a day stored as before and now as after (nullopt: no
// record), one per slot whose text differs, matched by time and column when
// the two are in different layouts, and one each for the memo and the flag.
QList<ChangeEntry> dayChanges(const std::optional<DayRecord>& before, const std::optional<DayRecord>& after);
// The entries for every difference between two whole contents.
QList<ChangeEntry> contentChanges(const Content& before, const Content& after);
ChangeEntry fixedMemoChange(const QString& before, const QString& after);

// Writes entries, stamped with Clock::now(), this desk and reason, inside
// the transaction open on db.
Result write(QSqlDatabase& db, QList<ChangeEntry> entries, const QString& reason = QString());

// Reads the content of db.
Result readContent(QSqlDatabase& db, Content& out);
// Records, in one transaction of db, how its content differs from before
// (the content a restore replaced), with RestoreReason.
Result recordReplacement(QSqlDatabase& db, const Content& before);

// A day's entries, newest first.
Result readDay(Database& db, const QDate& day, QList<ChangeEntry>& out);

struct Size
{
    qint64 changes = 0;
    qint64 bytes = 0; // the texts they keep
};
Result size(Database& db, Size& out);

// Where a change was made, as one line shows it: "10:00 AM, Dr Lee",
// "Daily memo", "Open/closed", "Fixed memo".
QString placeOf(const ChangeEntry& entry);
// One line: when, who, where, and the text before and after.
QString describe(const ChangeEntry& entry);

// Puts the text entry's change replaced back into day, a page shown in
// layout (its slot found by time), or into fixedMemo. False when the slot is
// not on that page.
bool putBack(const ChangeEntry& entry, const DayLayout& layout, DayMerge::Content& day, QString& fixedMemo);

// This desk: the user logged in and the machine's name.
QString userName();
QString machineName();
} // namespace ChangeHistory
