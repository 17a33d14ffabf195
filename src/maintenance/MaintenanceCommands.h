#pragma once

#include <QStringList>

// `ledgerly backup FOLDER` and `ledgerly restore FOLDER`: the back-up
// window's two operations without a window, with the same checks. A restore
// reaches a database that no longer opens (a damaged file is what it is for).
namespace MaintenanceCommands {
inline constexpr char BackupName[] = "backup";
inline constexpr char RestoreName[] = "restore";

// arguments: what follows the command, the folder of the back-up's db.mdb.
// 0 on success, else a message on stderr and a non-zero code.
int backup(const QStringList& arguments);
int restore(const QStringList& arguments);
} // namespace MaintenanceCommands
