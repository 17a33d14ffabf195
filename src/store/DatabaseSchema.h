#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QSqlDatabase;
class QSqlError;

// The tables, fields and indexes of a Ledgerly database, on both engines: what
// a new database is made with, what every database opened or restored must
// hold exactly (nothing missing, nothing changed, nothing more), and the
// fields a back-up copies.
namespace DatabaseSchema {

enum class FieldType {
    Key, // the record number: SQLite's rowid, a BIGSERIAL on a server
    Text,
    Integer,
};

struct Field
{
    QString name;
    FieldType type = FieldType::Text;
    bool notNull = false;
    QString defaultValue; // SQL text; empty for none
};

struct Table
{
    QString name;
    QList<Field> fields;
    int since = 1; // the data version that made it
};

struct Index
{
    QString name;
    QString table;
    QString field;
    bool unique = false;
    int since = 1;
};

const QList<Table>& tables();
const QList<Index>& indexes();

// The names of a table's fields in the order they are made, the key first.
QStringList fieldNames(const QString& table);

// The statements that make the tables and indexes data version `version`
// added, in order.
QStringList createStatements(bool server, int version = 1);

// What a file or server database holds that differs from the description:
// empty when nothing, else a clause such as `it holds a trigger "x" that
// Ledgerly did not make`. Reads only. A query that fails leaves its error in
// error (and the clause empty): another copy's lock is no fault of the file.
QString differences(QSqlDatabase& db, QSqlError& error);

} // namespace DatabaseSchema
