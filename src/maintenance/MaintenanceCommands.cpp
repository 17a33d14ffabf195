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
// What a command does with the folder named: empty when done, else why not.
using Operation = std::function<QString(const QString& folder, const QString& database)>;

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
    const QString folder = arguments.first();
    if (const QString reason = operation(folder, DataFolder::databaseAddress()); !reason.isEmpty())
        return fail(reason, 1);
    std::fprintf(stdout, "%s\n", done.arg(BackupRestore::pathIn(folder)).toUtf8().constData());
    std::fflush(stdout);
    return 0;
}

// Runs body on the server database at address, opened for it.
QString onServer(const QString& address, const std::function<QString(Database&)>& body)
{
    Database db(QStringLiteral("ledgerly-maintenance"));
    const Database::OpenResult opened = db.open(address, false);
    return opened.ok ? body(db) : opened.message;
}
} // namespace

int backup(const QStringList& arguments)
{
    return runOnFolder(BackupName, arguments, QStringLiteral("Backed up into %1"),
        [](const QString& folder, const QString& address) -> QString {
            const QString target = BackupRestore::pathIn(folder);
            if (Database::isServerAddress(address)) {
                return onServer(address, [&](Database& db) {
                    const QString problem = FileSystem::folderProblem(folder);
                    return problem.isEmpty() ? BackupRestore::backupServer(db, target) : problem;
                });
            }
            if (!QFileInfo::exists(address))
                return QStringLiteral("There is no database %1 to back up").arg(address);
            const QString problem = BackupRestore::probeDestination(folder, address);
            return problem.isEmpty() ? BackupRestore::backup(address, target) : problem;
        });
}

int restore(const QStringList& arguments)
{
    return runOnFolder(RestoreName, arguments, QStringLiteral("Restored from %1"),
        [](const QString& folder, const QString& address) -> QString {
            const QString source = BackupRestore::pathIn(folder);
            if (Database::isServerAddress(address)) {
                return onServer(address, [&](Database& db) {
                    const QString problem = BackupRestore::probeSource(folder, QString());
                    return problem.isEmpty() ? BackupRestore::restoreServer(source, db, DataFolder::path()) : problem;
                });
            }
            const QString problem = BackupRestore::probeSource(folder, address);
            return problem.isEmpty() ? BackupRestore::restore(source, address, nullptr).reason : problem;
        });
}
} // namespace MaintenanceCommands
