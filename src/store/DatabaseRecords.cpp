#include "store/DatabaseRecords.h"

#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/DatabaseSchema.h"
#include "store/DaySearchIndex.h"
#include "store/ServerConnection.h"
#include "store/SqlDialect.h"

#include <QAtomicInt>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <functional>

namespace {

int fieldIndex(const QString& table, const QString& field)
{
    return int(DatabaseSchema::fieldNames(table).indexOf(field));
}

const int ApptCalDate = fieldIndex(QStringLiteral("tbl_Appt"), QStringLiteral("CalDate"));
const int ApptVersion = fieldIndex(QStringLiteral("tbl_Appt"), QStringLiteral("Version"));

// Runs body in a transaction that sees one moment of the server and writes
// nothing.
Result inSnapshot(QSqlDatabase& db, const std::function<Result(QSqlDatabase&)>& body)
{
    QSqlQuery begin(db);
    Result s = Database::exec(begin, QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
    if (!s.ok())
        return s;
    s = body(db);
    QSqlQuery end(db);
    if (!s.ok()) {
        end.exec(QStringLiteral("ROLLBACK"));
        return s;
    }
    return Database::exec(end, QStringLiteral("COMMIT"));
}

// A file of an earlier data version lacks the tables later versions added.
bool holdsTable(QSqlDatabase& db, const DatabaseSchema::Table& table)
{
    if (table.since == 1 || SqlDialect::isServer(db))
        return true;
    QSqlQuery q(db);
    return Database::exec(
               q, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"), {table.name})
               .ok()
        && q.next();
}

} // namespace

Result DatabaseRecords::read(QSqlDatabase& db)
{
    m_tables.clear();
    for (const DatabaseSchema::Table& table : DatabaseSchema::tables()) {
        if (holdsTable(db, table))
            m_tables.append({table.name, DatabaseSchema::fieldNames(table.name), {}});
    }
    for (Table& t : m_tables) {
        QSqlQuery q(db);
        Result s = Database::exec(
            q, QStringLiteral("SELECT %1 FROM %2 ORDER BY id").arg(t.fields.join(QStringLiteral(", ")), t.name));
        if (!s.ok())
            return s;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < t.fields.size(); ++i)
                row.append(q.value(i));
            t.rows.append(row);
        }
    }
    return Result::success();
}

Result DatabaseRecords::replaceIn(QSqlDatabase& db) const
{
    for (const Table& t : m_tables) {
        QSqlQuery del(db);
        Result s = Database::exec(del, QStringLiteral("DELETE FROM %1").arg(t.name));
        if (!s.ok())
            return s;
        const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (?%3)")
                                   .arg(t.name, t.fields.join(QStringLiteral(", ")),
                                       QStringLiteral(", ?").repeated(int(t.fields.size()) - 1));
        for (const QVariantList& row : t.rows) {
            QSqlQuery q(db);
            s = Database::exec(q, insert, row);
            if (!s.ok())
                return s;
        }
    }
    // The index is made from the records, never copied with them.
    return DaySearchIndex::rebuild(db);
}

Result DatabaseRecords::readServer(Database& server)
{
    return server.read(
        [this](QSqlDatabase& db) { return inSnapshot(db, [this](QSqlDatabase& tdb) { return read(tdb); }); });
}

Result DatabaseRecords::readFile(const QString& path)
{
    static QAtomicInt made;
    const QString name = QStringLiteral("ledgerly-restore-source-%1").arg(made.fetchAndAddRelaxed(1));
    Result s;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (!db.open()) {
            s = Result::failed(QStringLiteral("Cannot open %1: %2").arg(path, db.lastError().text()));
        } else {
            QSqlQuery begin(db);
            s = Database::exec(begin, QStringLiteral("BEGIN"));
            if (s.ok())
                s = read(db);
            QSqlQuery end(db);
            end.exec(QStringLiteral("ROLLBACK"));
            if (!s.ok())
                s.message = QStringLiteral("Cannot read %1: %2").arg(path, s.message);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return s;
}

Result DatabaseRecords::writeNewFile(const QString& path, const QString& source) const
{
    static QAtomicInt made;
    Database file(QStringLiteral("ledgerly-backup-copy-%1").arg(made.fetchAndAddRelaxed(1)));
    // open() makes the file whole, with our schema and marks, but only where
    // none exists yet.
    if (Result opened = file.open(path, true); !opened.ok())
        return opened;
    Result s = file.write([this](QSqlDatabase& db) { return replaceIn(db); });
    file.close();
    if (!s.ok())
        s.message = QStringLiteral("Cannot copy %1: %2").arg(source, s.message);
    return s;
}

Result DatabaseRecords::replaceServer(Database& server) const
{
    return server.write([this](QSqlDatabase& db) {
        // A desk still showing a day saves onto it by comparing contents;
        // each restored day also gets a version above the one it replaces.
        QHash<QString, qint64> versions;
        QSqlQuery old(db);
        Result r = Database::exec(old, QStringLiteral("SELECT CalDate, Version FROM tbl_Appt"));
        if (!r.ok())
            return r;
        while (old.next())
            versions.insert(old.value(0).toString(), old.value(1).toLongLong());
        ChangeHistory::Content before;
        r = ChangeHistory::readContent(db, before);
        if (!r.ok())
            return r;
        DatabaseRecords restored = *this;
        for (QVariantList& row : restored.m_tables[0].rows) {
            const qint64 was = versions.value(row[ApptCalDate].toString(), 0);
            row[ApptVersion] = std::max(row[ApptVersion].toLongLong(), was) + 1;
        }
        r = restored.replaceIn(db);
        if (!r.ok())
            return r;
        // The desks read their shown day again, the restored record its new
        // base: merged against the replaced one, it would keep texts the
        // restore took away.
        r = ServerConnection::announceRestore(db);
        if (!r.ok())
            return r;
        // The ids came from the file: new records continue after them.
        for (const Table& t : restored.m_tables) {
            QSqlQuery q(db);
            r = Database::exec(q,
                QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), "
                               "(SELECT COALESCE(MAX(id), 0) + 1 FROM %2), false)")
                    .arg(t.name.toLower(), t.name));
            if (!r.ok())
                return r;
        }
        // After the restored history, which took the ids it came with.
        return ChangeHistory::recordReplacement(db, before);
    });
}
