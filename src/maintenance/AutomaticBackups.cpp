#include "maintenance/AutomaticBackups.h"

#include "maintenance/BackupRestore.h"
#include "platform/DataFolder.h"
#include "platform/FileSystem.h"
#include "store/BackupClaims.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <functional>
#include <set>

namespace AutomaticBackups {
namespace {
const QString DayFormat = QStringLiteral("yyyy-MM-dd");

int monthIndex(const QDate& d)
{
    return d.year() * 12 + d.month() - 1;
}

// The back-up itself, as the back-up window makes one: the same checks of
// the folder, the same checked copy put in place in one step.
Result backUp(const QString& address, const QString& dayFolder, const QString& desk, const QDate& day, bool& made)
{
    const QString target = BackupRestore::pathIn(dayFolder);
    if (!Database::isServerAddress(address)) {
        if (Result r = BackupRestore::probeDestination(dayFolder, address); !r.ok())
            return r;
        made = true;
        return BackupRestore::backup(address, target);
    }
    static QAtomicInt connections;
    Database server(QStringLiteral("ledgerly-automatic-backup-%1").arg(connections.fetchAndAddRelaxed(1)));
    if (Result r = server.open(address, false); !r.ok())
        return r;
    bool granted = false;
    if (Result r = BackupClaims::claim(server, day, desk, granted); !r.ok())
        return r;
    if (!granted)
        return Result::success();
    made = true;
    Result r = FileSystem::checkFolder(dayFolder);
    if (r.ok())
        r = BackupRestore::backupServer(server, target);
    // A claim whose back-up failed is given up, so that the next start, here
    // or at another desk, tries again.
    if (Result settled = BackupClaims::settle(server, day, desk, r.ok()); r.ok() && !settled.ok())
        return settled;
    return r;
}
} // namespace

QList<QDate> kept(const QList<QDate>& made, const QDate& today)
{
    std::set<QDate, std::greater<>> past;
    QList<QDate> keep;
    for (const QDate& d : made) {
        if (d > today)
            keep.append(d);
        else
            past.insert(d);
    }
    int daily = 0;
    QList<int> monthsSeen;
    for (const QDate& d : past) {
        if (daily++ < DailyKept)
            keep.append(d);
    }
    // Walking from the oldest, the first date met in a month is its first.
    for (auto it = past.rbegin(); it != past.rend(); ++it) {
        const int month = monthIndex(*it);
        if (monthIndex(today) - month >= MonthsKept || monthsSeen.contains(month))
            continue;
        monthsSeen.append(month);
        if (!keep.contains(*it))
            keep.append(*it);
    }
    std::sort(keep.begin(), keep.end(), std::greater<>());
    return keep;
}

QString defaultFolder()
{
    return DataFolder::path() + QStringLiteral("/backups");
}

QString folderOf(const QString& folder, const QDate& day)
{
    return folder + QLatin1Char('/') + day.toString(DayFormat);
}

QList<QDate> listed(const QString& folder)
{
    QList<QDate> days;
    for (const QString& name : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDate day = QDate::fromString(name, DayFormat);
        if (day.isValid() && QFileInfo::exists(BackupRestore::pathIn(folder + QLatin1Char('/') + name)))
            days.append(day);
    }
    std::sort(days.begin(), days.end(), std::greater<>());
    return days;
}

void removeOutdated(const QString& folder, const QDate& today, QStringList* failed)
{
    const QList<QDate> made = listed(folder);
    const QList<QDate> keep = kept(made, today);
    for (const QDate& day : made) {
        if (keep.contains(day))
            continue;
        // Only what a back-up consists of: anything else someone put there stays.
        const QString dayFolder = folderOf(folder, day);
        FileSystem::removeAbandonedTemporaries(dayFolder);
        const bool removed = QFile::remove(BackupRestore::pathIn(dayFolder));
        QDir().rmdir(dayFolder);
        if (!removed && failed)
            failed->append(dayFolder);
    }
}

Outcome make(const QString& address, const QString& folder, const QDate& day, const QString& desk)
{
    Outcome outcome;
    const QString dayFolder = folderOf(folder, day);
    outcome.path = BackupRestore::pathIn(dayFolder);
    if (QFileInfo::exists(outcome.path) && Database::checkFile(outcome.path, false).ok())
        return outcome;
    // Only the default folder is made: a chosen one that is missing is most
    // likely a stick not plugged in, and a folder of that name on this disk
    // would hide it.
    if (folder == defaultFolder())
        QDir().mkpath(folder);
    if (Result r = FileSystem::checkFolder(folder); !r.ok()) {
        outcome.result = r;
        return outcome;
    }
    if (!QDir().mkpath(dayFolder)) {
        outcome.result = Result::failed(QStringLiteral("The folder %1 cannot be made").arg(dayFolder));
        return outcome;
    }
    outcome.result = backUp(address, dayFolder, desk, day, outcome.made);
    if (!outcome.result.ok() || !outcome.made) {
        outcome.made = false;
        QDir().rmdir(dayFolder); // only when empty
        return outcome;
    }
    // The older ones go only now that the new one is in place and checked.
    removeOutdated(folder, day);
    return outcome;
}

// The desk as the history names it.
QString deskName()
{
    return ChangeHistory::userName() + QLatin1Char('@') + ChangeHistory::machineName();
}
} // namespace AutomaticBackups
