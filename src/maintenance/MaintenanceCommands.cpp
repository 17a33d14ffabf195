#include "maintenance/MaintenanceCommands.h"

#include "maintenance/BackupRestore.h"
#include "platform/DataFolder.h"
#include "platform/FileSystem.h"
#include "store/Database.h"

#include <QFileInfo>
#include <cstdio>
#include <functional>

namespace MaintenanceCommands {
namespace {
// What a command does with the folder named.
using Operation = std::function<Result(const QString& folder, const QString& database)>;

// Takes the folder argument, runs operation on it and reports as a command
// does: a line on success, the reason on stderr and a non-zero code else.
int runOnFolder(const char* command, const QStringList& arguments, const QString& done, const Operation& operation)
{
    const auto fail = [command](const QString& message, int code) {
        std::fprintf(stderr, "ledgerly %s: %s\n", command, message.toUtf8().constData());
        return code;
    };
    if (arguments.size() != 1 || arguments.first().isEmpty())
        return fail(QStringLiteral("expected: %1 FOLDER").arg(QString::fromLatin1(command)), 2);
    // Unlike the window's boxes, a relative folder is taken from the working
    // folder, as by any command, and the shell has already expanded a "~".
    const QString folder = arguments.first();
    if (const Result outcome = operation(folder, DataFolder::databaseAddress()); !outcome.ok())
        return fail(outcome.message, 1);
    std::fprintf(stdout, "%s\n", done.arg(BackupRestore::pathIn(folder)).toUtf8().constData());
    std::fflush(stdout);
    return 0;
}

// Runs body on the server database at address, opened for it.
Result onServer(const QString& address, const std::function<Result(Database&)>& body)
{
    Database db(QStringLiteral("ledgerly-maintenance"));
    const Result opened = db.open(address, false);
    return opened.ok() ? body(db) : opened;
}
} // namespace

int backup(const QStringList& arguments)
{
    return runOnFolder(BackupName, arguments, QStringLiteral("Backed up into %1"),
        [](const QString& folder, const QString& address) -> Result {
            const QString target = BackupRestore::pathIn(folder);
            if (Database::isServerAddress(address)) {
                return onServer(address, [&](Database& db) {
                    const Result found = FileSystem::checkFolder(folder);
                    return found.ok() ? BackupRestore::backupServer(db, target) : found;
                });
            }
            if (!QFileInfo::exists(address))
                return Result::failed(QStringLiteral("There is no database %1 to back up").arg(address));
            const Result probed = BackupRestore::probeDestination(folder, address);
            return probed.ok() ? BackupRestore::backup(address, target) : probed;
        });
}

int restore(const QStringList& arguments)
{
    return runOnFolder(RestoreName, arguments, QStringLiteral("Restored from %1"),
        [](const QString& folder, const QString& address) -> Result {
            const QString source = BackupRestore::pathIn(folder);
            if (Database::isServerAddress(address)) {
                return onServer(address, [&](Database& db) {
                    const Result probed = BackupRestore::probeSource(folder, QString());
                    return probed.ok() ? BackupRestore::restoreServer(source, db, DataFolder::path()) : probed;
                });
            }
            const Result probed = BackupRestore::probeSource(folder, address);
            return probed.ok() ? BackupRestore::restore(source, address, nullptr).result : probed;
        });
}
} // namespace MaintenanceCommands
