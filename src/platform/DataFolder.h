#pragma once

#include <QString>

// The folder that holds db.mdb. Chosen once at start-up (--data-dir, or the
// program's own folder when it holds a db.mdb, else the per-user data folder).
namespace DataFolder {
QString path();
void setPath(const QString& folder);
QString databasePath();
// The database the program runs on: a postgresql:// address when one was
// given (--database or LEDGERLY_DATABASE), else databasePath().
QString databaseAddress();
void setDatabaseAddress(const QString& address);
// The default when no folder was given: the executable's folder if a db.mdb
// is there (a portable install), otherwise QStandardPaths::AppDataLocation
// (created if missing).
QString resolveDefault();
} // namespace DataFolder
