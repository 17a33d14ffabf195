#pragma once

#include "core/Result.h"

#include <QString>

class QSqlDatabase;
class QSqlError;

// Checking a database without writing to it: whether a file is a sound
// Ledgerly database this program can read (its header, a journal beside it,
// its schema, and on request every page), and whether a server database may
// be used. A check that another copy's lock kept from reading comes back
// Busy, and may be tried again; anything else that is wrong is Failed, with a
// message that names the file and says why.
namespace DatabaseCheck {

// How much of a file the checks read besides its schema.
enum class Reading {
    SchemaOnly,
    Quick, // PRAGMA quick_check: every page, without comparing the indexes with their tables
    Whole, // PRAGMA integrity_check
};

struct FileHeader
{
    qint64 pageSize = 0;
    qint64 pages = 0; // as the file's size counts them
    bool walMode = false;
};

// The checks that need no SQLite: a file of another kind, a cut-off copy, or
// a database of another program or of a newer version. Fills header when the
// file passes.
Result checkHeader(const QString& path, FileHeader* header = nullptr);

// The header, then the schema and as much of the file as reading asks for,
// through a read-only connection of its own.
Result checkFile(const QString& path, Reading reading);

// The tables and fields of db, a file's or a server's, must all be there as
// the program makes them; messages name path.
Result checkSchema(QSqlDatabase& db, const QString& path, Reading reading);

// Whether a server database may be used: Ok when it is one of ours of a
// version this program reads, or holds no tables at all.
Result checkServer(QSqlDatabase& db, const QString& address);

// A copy of the program killed in the middle of a save leaves its rollback
// journal next to the file, and the file itself half written (its header may
// then count pages the file does not have yet). SQLite puts the file back as
// it was before that save on the first read through a connection that may
// write; the read-only checks cannot, so this comes before them. Only for a
// file whose header, in the parts no save ever changes, names it ours, and a
// journal that can be its own; else the refusal.
Result rollBackInterruptedSave(const QString& path, const QString& connectionName);

// SQLITE_CORRUPT and SQLITE_NOTADB: a page that cannot be what it should.
bool isDamage(const QSqlError& error);

// SQLite names the file by URI so that the mode ("ro", "rw") can say "never
// create it".
QString uriOf(const QString& path, const char* mode);

} // namespace DatabaseCheck
