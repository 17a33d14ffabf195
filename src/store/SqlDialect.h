#pragma once

#include <QString>
#include <QStringList>

// The few statements whose form differs between the SQL databases the store
// may run on. Everything else the store sends is plain SQL that both SQLite
// and PostgreSQL accept.
namespace SqlDialect {
// Column definition of a table's generated integer key.
QString idColumn();
// Starts a transaction that takes the write lock at once, so two writers
// cannot both read a record and then both update it.
QString beginWrite();
// An INSERT that does nothing when a row with the same value in the unique
// column key already exists.
QString insertIgnoringDuplicate(const QString& table, const QStringList& columns, const QString& key);
} // namespace SqlDialect
