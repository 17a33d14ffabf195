#include "maintenance/MaintenanceCommands.h"

#include "maintenance/BackupRestore.h"
#include "platform/DataFolder.h"
#include "store/Database.h"

#include <QFileInfo>
#include <cstdio>

namespace MaintenanceCommands {
namespace {
int failed(const char* command, const QString& message, int code = 1)
{
    std::fprintf(stderr, "ledgerly %s: %s\n", command, message.toUtf8().constData());
    return code;
}

void say(const QString& line)
{
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

// The folder named, as the back-up window's boxes take it.
bool folderArgument(const char* command, const QStringList& arguments, QString& folder, int& code)
{
    if (arguments.size() != 1 || arguments.first().isEmpty()) {
        code = failed(command, QStringLiteral("expected: %1 FOLDER").arg(QString::fromLatin1(command)), 2);
        return false;
    }
    folder = arguments.first();
    return true;
}
} // namespace

int backup(const QStringList& arguments)
{
    QString folder;
    int code = 0;
    if (!folderArgument(BackupName, arguments, folder, code))
        return code;
    const QString address = DataFolder::databaseAddress();
    const QString target = BackupRestore::pathIn(folder);
    QString reason;
    if (Database::isServerAddress(address)) {
        Database db(QStringLiteral("ledgerly-backup"));
        const Database::OpenResult opened = db.open(address, false);
        if (!opened.ok)
            return failed(BackupName, opened.message);
        if (!QFileInfo(folder).isDir())
            return failed(BackupName, QStringLiteral("The folder %1 cannot be found").arg(folder));
        reason = BackupRestore::backupServer(db, target);
    } else {
        if (!QFileInfo::exists(address))
            return failed(BackupName, QStringLiteral("There is no database %1 to back up").arg(address));
        reason = BackupRestore::probeDestination(folder, address);
        if (reason.isEmpty())
            reason = BackupRestore::backup(address, target);
    }
    if (!reason.isEmpty())
        return failed(BackupName, reason);
    say(QStringLiteral("Backed up into %1").arg(target));
    return 0;
}

int restore(const QStringList& arguments)
{
    QString folder;
    int code = 0;
    if (!folderArgument(RestoreName, arguments, folder, code))
        return code;
    const QString address = DataFolder::databaseAddress();
    const QString source = BackupRestore::pathIn(folder);
    QString reason;
    if (Database::isServerAddress(address)) {
        Database db(QStringLiteral("ledgerly-restore"));
        const Database::OpenResult opened = db.open(address, false);
        if (!opened.ok)
            return failed(RestoreName, opened.message);
        reason = BackupRestore::probeSource(folder, QString());
        if (reason.isEmpty())
            reason = BackupRestore::restoreServer(source, db, DataFolder::path());
    } else {
        reason = BackupRestore::probeSource(folder, address);
        if (reason.isEmpty())
            reason = BackupRestore::restore(source, address, nullptr).reason;
    }
    if (!reason.isEmpty())
        return failed(RestoreName, reason);
    say(QStringLiteral("Restored from %1").arg(source));
    return 0;
}
} // namespace MaintenanceCommands
