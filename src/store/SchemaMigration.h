#pragma once

#include "core/Result.h"

class QSqlDatabase;

// The numbered schema of a Ledgerly database: PRAGMA user_version in a file,
// the table ledgerly_meta on a server. Each version has one step that brings a
// database from the version before it; a new database goes through them all
// from version 0, which makes its tables and first records.
namespace SchemaMigration {
// Brings db up to Database::SchemaVersion, one step per transaction. Each
// step re-reads the version inside its transaction, so two copies opening an
// old database at once do not both run it.
Result migrate(QSqlDatabase& db);
} // namespace SchemaMigration
