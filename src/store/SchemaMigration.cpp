#include "store/SchemaMigration.h"

#include "core/Settings.h"
#include "store/BackupClaims.h"
#include "store/Database.h"
#include "store/DatabaseSchema.h"
#include "store/DaySearchIndex.h"
#include "store/DefaultDocuments.h"
#include "store/SqlDialect.h"
#include "store/WriteTransaction.h"

#include <QSqlQuery>
#include <QVariant>
#include <array>
#include <cstdio>

namespace {

Result readPragmaInt(QSqlDatabase& db, const QString& name, qint64& out)
{
    QSqlQuery q(db);
    Result s = Database::exec(q, QStringLiteral("PRAGMA %1").arg(name));
    if (!s.ok())
        return s;
    if (!q.next())
        return Result::failed(QStringLiteral("PRAGMA %1 gave no value").arg(name));
    out = q.value(0).toLongLong();
    return Result::success();
}

Result execAll(QSqlDatabase& db, const QStringList& statements)
{
    for (const QString& sql : statements) {
        QSqlQuery q(db);
        Result s = Database::exec(q, sql);
        if (!s.ok())
            return s;
    }
    return Result::success();
}

// Schema version 0 -> 1: the three tables and their first records.
Result createSchema(QSqlDatabase& db, const Progress&)
{
    Result s = execAll(db, DatabaseSchema::createStatements(SqlDialect::isServer(db), 1));
    if (!s.ok())
        return s;

    const Settings d = Settings::defaults();
    QSqlQuery setup(db);
    s = Database::exec(setup,
        QStringLiteral("INSERT INTO tbl_Setup (location, open, close, timeslot, listno, names, FixedMemo, Readme, "
                       "Licence) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {d.location, d.open, d.close, d.slotMinutes, d.providerCount, d.names, QStringLiteral(""),
            DefaultDocuments::readme(), DefaultDocuments::licence()});
    if (!s.ok())
        return s;

    QSqlQuery order(db);
    const QString e = QStringLiteral("");
    return Database::exec(order,
        QStringLiteral("INSERT INTO tbl_Order (Name, Address, City, State, Zip, Country, Phone, Fax, Contact, "
                       "Practice, OrderDate) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {e, e, e, e, e, e, e, e, e, e, e});
}

// Schema version 1 -> 2: the read-me describes the keys this version added
// (find, undo and redo, Delete). The program never changes the documents
// otherwise, so the one it replaces is always an earlier version's.
Result updateReadme(QSqlDatabase& db, const Progress&)
{
    QSqlQuery q(db);
    return Database::exec(q, QStringLiteral("UPDATE tbl_Setup SET Readme = ?"), {DefaultDocuments::readme()});
}

// Schema version 2 -> 3: the search index of the day pages, filled from the
// days stored so far. A large history takes a while: progress hears of it,
// or else a line on stderr says what the program is doing meanwhile.
Result createSearchIndex(QSqlDatabase& db, const Progress& progress)
{
    if (progress)
        return DaySearchIndex::create(db, progress);
    bool told = false;
    return DaySearchIndex::create(db, [&](qint64, qint64 total) {
        if (told || total < 2000)
            return;
        told = true;
        std::fprintf(stderr, "Ledgerly: indexing %lld days for finding ...\n", static_cast<long long>(total));
    });
}

// Schema version 3 -> 4: the history of every stored change, empty at first,
// and the read-me that describes its keys.
Result createChangeHistory(QSqlDatabase& db, const Progress& progress)
{
    Result r = execAll(db, DatabaseSchema::createStatements(SqlDialect::isServer(db), 4));
    return r.ok() ? updateReadme(db, progress) : r;
}

// Schema version 4 -> 5: on a server, the table in which the desks claim the
// day's automatic back-up (BackupClaims). A file needs none: the desks that
// share it find the day's back-up in the folder beside it.
Result createBackupClaims(QSqlDatabase& db, const Progress&)
{
    if (!SqlDialect::isServer(db))
        return Result::success();
    QSqlQuery q(db);
    return Database::exec(q, BackupClaims::createStatement());
}

// Step k takes a file from schema version k to k + 1.
using MigrationStep = Result (*)(QSqlDatabase&, const Progress&);
constexpr std::array<MigrationStep, Database::SchemaVersion> Migrations
    = {&createSchema, &updateReadme, &createSearchIndex, &createChangeHistory, &createBackupClaims};

// The schema version: PRAGMA user_version in a file, ledgerly_meta on a server
// (0 while that table does not exist yet).
Result readSchemaVersion(QSqlDatabase& db, qint64& version)
{
    if (!SqlDialect::isServer(db))
        return readPragmaInt(db, QStringLiteral("user_version"), version);
    version = 0;
    QSqlQuery exists(db);
    Result r = Database::exec(exists, QStringLiteral("SELECT to_regclass('ledgerly_meta') IS NOT NULL"));
    if (!r.ok())
        return r;
    if (!exists.next() || !exists.value(0).toBool())
        return r;
    QSqlQuery q(db);
    r = Database::exec(q, QStringLiteral("SELECT schema_version FROM ledgerly_meta"));
    if (r.ok() && q.next())
        version = q.value(0).toLongLong();
    return r;
}

Result markAsOurs(QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (!SqlDialect::isServer(db))
        return Database::exec(q, QStringLiteral("PRAGMA application_id = %1").arg(Database::ApplicationId));
    Result r = Database::exec(q,
        QStringLiteral(
            "CREATE TABLE ledgerly_meta (application_id INTEGER NOT NULL, schema_version INTEGER NOT NULL)"));
    if (!r.ok())
        return r;
    QSqlQuery insert(db);
    return Database::exec(insert,
        QStringLiteral("INSERT INTO ledgerly_meta (application_id, schema_version) VALUES (?, 0)"),
        {Database::ApplicationId});
}

Result writeSchemaVersion(QSqlDatabase& db, qint64 version)
{
    QSqlQuery q(db);
    if (!SqlDialect::isServer(db))
        return Database::exec(q, QStringLiteral("PRAGMA user_version = %1").arg(version));
    return Database::exec(q, QStringLiteral("UPDATE ledgerly_meta SET schema_version = ?"), {version});
}

} // namespace

namespace SchemaMigration {

// On a server, where tables are made inside the transaction, two desks
// starting at once queue on an advisory lock.
Result migrate(QSqlDatabase& db, const Progress& progress)
{
    const bool server = SqlDialect::isServer(db);
    if (server) {
        QSqlQuery lock(db);
        Result r = Database::exec(lock, QStringLiteral("SELECT pg_advisory_lock(%1)").arg(Database::ApplicationId));
        if (!r.ok())
            return r;
    }
    Result s;
    for (;;) {
        bool done = false;
        s = WriteTransaction::run(db, [&](QSqlDatabase& tdb) {
            qint64 version = 0;
            Result r = readSchemaVersion(tdb, version);
            if (!r.ok())
                return r;
            if (version >= Database::SchemaVersion) {
                done = true;
                return Result::success();
            }
            if (version == 0) {
                r = markAsOurs(tdb);
                if (!r.ok())
                    return r;
            }
            r = Migrations[static_cast<std::size_t>(version)](tdb, progress);
            if (!r.ok())
                return r;
            return writeSchemaVersion(tdb, version + 1);
        });
        if (!s.ok() || done)
            break;
    }
    if (server) {
        QSqlQuery unlock(db);
        unlock.exec(QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(Database::ApplicationId));
    }
    return s;
}

} // namespace SchemaMigration
