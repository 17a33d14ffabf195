#pragma once

#include "core/Result.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

class Database;
class QSqlDatabase;

// Every record of a database, table by table, in the fields DatabaseSchema
// names: what a server's back-up reads and writes into a db.mdb, and what a
// restore from a db.mdb puts back on a server.
class DatabaseRecords
{
public:
    // Reads the server's records as they are at one moment: one transaction
    // that sees a snapshot and writes nothing.
    Result readServer(Database& server);
    // Reads the records of the db.mdb at path in one transaction, through a
    // read-only connection (a back-up medium may be read-only).
    Result readFile(const QString& path);

    // Makes the database file path, which must not exist yet, with our schema
    // and marks and these records. source names where the records came from.
    Result writeNewFile(const QString& path, const QString& source) const;
    // Replaces the server's records by these in one transaction that
    // announces a restore to the other desks. Each restored day gets a
    // version above the one it replaces, and new records continue after the
    // restored ids.
    Result replaceServer(Database& server) const;

private:
    // Replaces the records read so far by those of every table of db.
    Result read(QSqlDatabase& db);
    // Replaces the records of db by these, table by table, and indexes the
    // days anew.
    Result replaceIn(QSqlDatabase& db) const;

    struct Table
    {
        QString name;
        QStringList fields;
        QList<QVariantList> rows;
    };
    QList<Table> m_tables;
};
