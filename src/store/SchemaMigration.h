#pragma once

#include "core/Progress.h"
#include "core/Result.h"

#include <functional>

class QSqlDatabase;

// The numbered schema of a Ledgerly database: PRAGMA user_version in a file,
// the table ledgerly_meta on a server. Each version has one step that brings a
// database from the version before it; a new database goes through them all
// from version 0, which makes its tables and first records.
namespace SchemaMigration {
// Brings db up to Database::SchemaVersion, one step per transaction. Each
// step re-reads the version inside its transaction, so two copies opening an
// old database at once do not both run it. A step that reads every day
// record tells progress of the days done so far out of all of them now and
// then; without progress it says on stderr what it does when they are many.
Result migrate(QSqlDatabase& db, const Progress& progress = {});
} // namespace SchemaMigration
