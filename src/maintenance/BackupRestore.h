#pragma once

#include "core/Result.h"

#include <QString>
#include <QStringList>

class Database;

// Back-up and restore of the database file. The back-up is a consistent copy
// taken through SQLite even while another copy of the program writes, and it
// replaces the previous back-up only once it is complete and checked. A
// restore accepts only a sound Ledgerly database, replaces the live file in
// one step and keeps the replaced file beside it. Failures come back as a
// Result whose message is ready for the retry prompt. The SQL of it all is the store's
// (DatabaseFileCopy, DatabaseRecords); this is the file work around it.
class BackupRestore
{
public:
    static inline const QString FileName = QStringLiteral("db.mdb");
    static inline const QString KeptName = QStringLiteral("db-before-restore.mdb");

    // What a restore came to. The live file may be replaced and the restore
    // still fail: then the connection could not be opened on it again, and
    // reopening is all that is left to do.
    struct [[nodiscard]] RestoreOutcome
    {
        Result result;
        bool replaced = false; // the live file was replaced
    };

    // The folder a box's text names, as a full path: the text without the
    // blanks around it, "~" and "~/..." standing for the home folder. An
    // empty text and a relative path are refused with the reason: a window
    // has no working folder a relative path could start from.
    static Result folderFromText(const QString& text, QString& folder);

    // The database file in a folder: the folder followed by "/db.mdb".
    static QString pathIn(const QString& folderText);

    // The folder both boxes start with: the first medium mounted under one of
    // mediaRoots (a USB stick, a memory card), else the home folder.
    static QString presetFolder(const QStringList& mediaRoots = defaultMediaRoots());
    static QStringList defaultMediaRoots();

    // Checks, before anything is closed, that a back-up can be written into
    // the folder a box names: it exists, it can be written and it is not the
    // folder of the live database.
    static Result probeDestination(const QString& folderText, const QString& livePath);
    // Checks that the folder a box names holds a db.mdb that can be restored.
    static Result probeSource(const QString& folderText, const QString& livePath);

    // Copies the live database to targetPath. The copy is written under a
    // temporary name in the target's folder, flushed, checked and only then
    // renamed over targetPath, so an earlier back-up there survives any
    // failure.
    static Result backup(const QString& livePath, const QString& targetPath);

    // Replaces the live database by the one at sourcePath. connection, when it
    // is open on livePath (or closed), is closed for the replacement and
    // opened again on the restored file, or on the untouched live file after a
    // failure (which may fail too while another copy holds the file). The
    // replaced file is kept as db-before-restore.mdb in the live folder.
    static RestoreOutcome restore(const QString& sourcePath, const QString& livePath, Database* connection);

    // On a server database the back-up is a db.mdb file all the same, in the
    // very format of the file database: the server's records, read in one
    // transaction, written under a temporary name, flushed, checked and
    // renamed over targetPath.
    static Result backupServer(Database& server, const QString& targetPath);
    // Replaces the server's records by those of the db.mdb at sourcePath in
    // one transaction that tells the other desks. A source that is not sound
    // is refused with the server untouched. The server's present records are
    // first written as db-before-restore.mdb into keptFolder.
    static Result restoreServer(const QString& sourcePath, Database& server, const QString& keptFolder);
};
