#pragma once

#include <QString>
#include <QStringList>

class QSqlDatabase;

// The few statements whose form differs between the SQL databases the store
// may run on: the embedded SQLite file and a PostgreSQL server. Everything
// else the store sends is plain SQL that both accept.
namespace SqlDialect {
// True for a connection to a PostgreSQL server.
bool isServer(const QSqlDatabase& db);
// Column definition of a table's generated integer key.
QString idColumn(const QSqlDatabase& db);
// Starts a transaction in which two writers cannot both read a record and
// then both update it: SQLite takes the write lock at once; PostgreSQL runs
// it serializable and fails the later one (which is then retried).
QString beginWrite(const QSqlDatabase& db);
// An INSERT that does nothing when a row with the same value in the unique
// column key already exists.
QString insertIgnoringDuplicate(const QString& table, const QStringList& columns, const QString& key);
} // namespace SqlDialect
