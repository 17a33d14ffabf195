#include "store/DatabaseCheck.h"

#include "store/Database.h"
#include "store/DatabaseSchema.h"
#include "store/DaySearchIndex.h"
#include "store/SqlDialect.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QUrl>
#include <QtEndian>

using DatabaseCheck::FileHeader;
using DatabaseCheck::Reading;

namespace {

QAtomicInt g_checkConnections;

// The read-only checks are not retried and may meet another copy's commit.
constexpr int CheckBusyTimeoutMillis = 2000;

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString notOurs(const QString& path, const QString& why)
{
    return QStringLiteral("The file %1 is not a Ledgerly database: %2").arg(shown(path), why);
}

quint32 be32(const QByteArray& h, int at)
{
    return qFromBigEndian<quint32>(h.constData() + at);
}

int sqliteCode(const QSqlError& error)
{
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    return numeric ? code : -1;
}

// SQLITE_READONLY_ROLLBACK: a read-only connection met a save cut off by a
// crash, which only a connection that may write puts right.
constexpr int ReadOnlyRollback = 776;

const QByteArray SqliteMagic("SQLite format 3\0", 16);
const QByteArray JournalMagic("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);

QString journalOf(const QString& path)
{
    return path + QStringLiteral("-journal");
}

// A journal beside the file that SQLite would play back into it: refused
// unless it can be the file's own, for SQLite takes the page size and the
// size to cut the file back to from the journal, and a journal of another
// file destroys this one. Ok when there is no such journal or it fits.
Result checkJournal(const QString& path, const FileHeader& file)
{
    QFile f(journalOf(path));
    if (!f.exists() || f.size() == 0 || !f.open(QIODevice::ReadOnly))
        return Result::success();
    const QByteArray h = f.read(28);
    // Anything else is no journal SQLite plays back.
    if (h.size() < 28 || !h.startsWith(JournalMagic))
        return Result::success();
    const qint64 originalPages = be32(h, 16);
    const qint64 sectorSize = be32(h, 20);
    const qint64 pageSize = be32(h, 24);
    const QString refused = QStringLiteral("The file %1 cannot be opened: the journal %2 beside it belongs to another "
                                           "file (%3); move that journal away if the file is sound without it");
    if (pageSize != file.pageSize) {
        return Result::failed(refused.arg(shown(path), shown(f.fileName()),
            QStringLiteral("its pages are of %1 bytes, the file's of %2").arg(pageSize).arg(file.pageSize)));
    }
    // Ledgerly's saves only ever make the file longer.
    if (originalPages < 1 || originalPages > file.pages) {
        return Result::failed(refused.arg(shown(path), shown(f.fileName()),
            QStringLiteral("it would cut the file of %1 pages to %2 pages").arg(file.pages).arg(originalPages)));
    }
    // The first page, when the journal holds it, is marked like the file.
    if (sectorSize >= 28 && sectorSize <= 65536 && f.seek(sectorSize)) {
        for (;;) {
            const QByteArray record = f.read(4 + pageSize + 4);
            if (record.size() < 4 + pageSize + 4)
                break;
            const qint64 page = be32(record, 0);
            if (page == 0 || page > originalPages + 1)
                break;
            if (page == 1) {
                const QByteArray first = record.mid(4, 100);
                if (!first.startsWith(SqliteMagic) || static_cast<qint32>(be32(first, 68)) != Database::ApplicationId)
                    return Result::failed(refused.arg(shown(path), shown(f.fileName()),
                        QStringLiteral("its copy of the first page is not of a Ledgerly database")));
                break;
            }
        }
    }
    return Result::success();
}

// Why a query of the checks failed. Another copy's lock is no fault of the
// file: Busy says so, and the caller may try again.
Result unreadable(const QString& path, const QSqlError& error)
{
    if (Database::statusOf(error).code == Result::Busy) {
        return Result::busy(QStringLiteral("The file %1 is in use by another copy of Ledgerly (%2)")
                                .arg(shown(path), error.databaseText()));
    }
    if (sqliteCode(error) == ReadOnlyRollback)
        return Result::failed(
            QStringLiteral("The file %1 holds a save cut off by a crash (in %2), which Ledgerly puts right when "
                           "it opens the file to work in it")
                .arg(shown(path), shown(journalOf(path))));
    return Result::failed(notOurs(path, QStringLiteral("it cannot be read (%1)").arg(error.text())));
}

Result damaged(const QString& path, const QString& why)
{
    return Result::failed(QStringLiteral("The file %1 is damaged: %2").arg(shown(path), why));
}

// The checks of Database::checkFile on the file at connected, a read-only
// connection; messages name path.
Result checkConnected(const QString& connected, const QString& path, Reading reading)
{
    Result checked;
    const QString name = QStringLiteral("ledgerly-check-%1").arg(g_checkConnections.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(DatabaseCheck::uriOf(connected, "ro"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1")
                                 .arg(CheckBusyTimeoutMillis));
        if (!db.open())
            checked
                = Result::failed(notOurs(path, QStringLiteral("it cannot be opened (%1)").arg(db.lastError().text())));
        else
            checked = DatabaseCheck::checkSchema(db, path, reading);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return checked;
}

QString notOursOnServer(const QString& address, const QString& why)
{
    return QStringLiteral("The database %1 is not a Ledgerly database: %2").arg(address, why);
}

} // namespace

namespace DatabaseCheck {

QString uriOf(const QString& path, const char* mode)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)
        + QStringLiteral("?mode=") + QLatin1String(mode);
}

bool isDamage(const QSqlError& error)
{
    const int primary = sqliteCode(error) & 0xFF;
    return sqliteCode(error) > 0 && (primary == 11 || primary == 26);
}

Result checkHeader(const QString& path, FileHeader* header)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Result::failed(QStringLiteral("The file %1 does not exist").arg(shown(path)));
    if (!info.isFile())
        return Result::failed(notOurs(path, QStringLiteral("it is not a file")));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Result::failed(QStringLiteral("The file %1 cannot be read: %2").arg(shown(path), f.errorString()));
    const qint64 size = f.size();
    if (size == 0)
        return Result::failed(notOurs(path, QStringLiteral("it is empty")));
    const QByteArray h = f.read(100);
    if (h.size() < 100 || !h.startsWith(SqliteMagic))
        return Result::failed(notOurs(path, QStringLiteral("it is not a database file")));

    qint64 pageSize = qFromBigEndian<quint16>(h.constData() + 16);
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        return Result::failed(notOurs(path, QStringLiteral("its header is damaged")));
    const qint64 pages = be32(h, 28);
    // The page count is only kept up to date when this matches the change counter.
    const bool pagesValid = be32(h, 92) == be32(h, 24) && pages > 0;
    if (size % pageSize != 0 || (pagesValid && pages * pageSize > size)) {
        return Result::failed(notOurs(path,
            QStringLiteral("it is incomplete (the file holds %1 bytes, its header counts %2 pages of %3 bytes)")
                .arg(size)
                .arg(pages)
                .arg(pageSize)));
    }

    const qint32 applicationId = static_cast<qint32>(be32(h, 68));
    if (applicationId != Database::ApplicationId)
        return Result::failed(notOurs(path, QStringLiteral("it belongs to another program")));
    const qint32 version = static_cast<qint32>(be32(h, 60));
    if (version > Database::SchemaVersion) {
        return Result::failed(QStringLiteral("The file %1 was written by a newer version of Ledgerly (data version "
                                             "%2; this version reads up to data version %3)")
                                  .arg(shown(path))
                                  .arg(version)
                                  .arg(Database::SchemaVersion));
    }
    if (version < 1)
        return Result::failed(notOurs(path, QStringLiteral("it was never completed (it has no data version)")));
    if (header) {
        header->pageSize = pageSize;
        header->pages = size / pageSize;
        // The read and write versions are 2 in write-ahead-log mode.
        header->walMode = h.at(18) == 2 || h.at(19) == 2;
    }
    return Result::success();
}

Result checkSchema(QSqlDatabase& db, const QString& path, Reading reading)
{
    const bool server = SqlDialect::isServer(db);
    QSqlError error;
    const QString why = DatabaseSchema::differences(db, error);
    if (error.isValid())
        return isDamage(error) ? damaged(path, error.databaseText()) : unreadable(path, error);
    if (!why.isEmpty())
        return Result::failed(server ? notOursOnServer(path, why) : notOurs(path, why));
    if (!server) {
        QSqlQuery ids(db);
        if (!ids.exec(QStringLiteral("SELECT (SELECT MIN(id) FROM tbl_Appt) < 1 OR (SELECT MAX(id) FROM tbl_Appt) > %1")
                          .arg(DaySearchIndex::LastDayId))
            || !ids.next())
            return isDamage(ids.lastError()) ? damaged(path, ids.lastError().databaseText())
                                             : unreadable(path, ids.lastError());
        if (ids.value(0).toInt() == 1)
            return Result::failed(notOurs(path, QStringLiteral("a day record's number is out of range")));
    }
    if (reading != Reading::SchemaOnly && !server) {
        QSqlQuery q(db);
        if (!q.exec(reading == Reading::Whole ? QStringLiteral("PRAGMA integrity_check")
                                              : QStringLiteral("PRAGMA quick_check")))
            return isDamage(q.lastError()) ? damaged(path, q.lastError().databaseText())
                                           : unreadable(path, q.lastError());
        QStringList problems;
        while (q.next())
            problems.append(q.value(0).toString());
        if (problems != QStringList {QStringLiteral("ok")})
            return damaged(path, problems.mid(0, 5).join(QStringLiteral("; ")));
    }
    return Result::success();
}

// Even a read-only connection makes a log and an index beside a file in
// write-ahead-log mode (which a copy of a file in that mode is too), so such a
// file is checked as a private copy of it and its log.
Result checkFile(const QString& path, Reading reading)
{
    FileHeader header;
    if (Result r = checkHeader(path, &header); !r.ok())
        return r;
    if (!header.walMode)
        return checkConnected(path, path, reading);
    QTemporaryDir snapshot;
    const QString copy = snapshot.filePath(QStringLiteral("snapshot.db"));
    const QString log = path + QStringLiteral("-wal");
    if (!snapshot.isValid() || !QFile::copy(path, copy)
        || (QFileInfo::exists(log) && !QFile::copy(log, copy + QStringLiteral("-wal"))))
        return Result::failed(
            QStringLiteral("The file %1 cannot be checked: no room for a copy of it").arg(shown(path)));
    QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return checkConnected(copy, path, reading);
}

Result checkServer(QSqlDatabase& db, const QString& address)
{
    qint64 version = 0;
    QSqlQuery meta(db);
    if (!meta.exec(QStringLiteral("SELECT to_regclass('ledgerly_meta') IS NOT NULL")) || !meta.next())
        return unreadable(address, meta.lastError());
    if (meta.value(0).toBool()) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT application_id, schema_version FROM ledgerly_meta")))
            return Result::failed(notOursOnServer(address, QStringLiteral("its table ledgerly_meta cannot be read")));
        if (!q.next() || q.value(0).toLongLong() != Database::ApplicationId)
            return Result::failed(notOursOnServer(address, QStringLiteral("it belongs to another program")));
        version = q.value(1).toLongLong();
        if (version > Database::SchemaVersion) {
            return Result::failed(
                QStringLiteral("The database %1 was written by a newer version of Ledgerly (data version %2; "
                               "this version reads up to data version %3)")
                    .arg(address)
                    .arg(version)
                    .arg(Database::SchemaVersion));
        }
    }
    if (version == 0) {
        QSqlQuery tables(db);
        if (!tables.exec(QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = "
                                        "current_schema() AND table_name <> 'ledgerly_meta' ORDER BY table_name")))
            return unreadable(address, tables.lastError());
        QStringList names;
        while (tables.next())
            names.append(tables.value(0).toString());
        if (!names.isEmpty()) {
            return Result::failed(notOursOnServer(
                address, QStringLiteral("it already holds other tables (%1)").arg(names.join(QStringLiteral(", ")))));
        }
        return Result::success();
    }
    return checkSchema(db, address, Reading::SchemaOnly);
}

Result rollBackInterruptedSave(const QString& path, const QString& connectionName)
{
    if (QFileInfo(journalOf(path)).size() <= 0)
        return Result::success();
    FileHeader header;
    if (!checkHeader(path, &header).ok())
        return Result::success();
    if (Result refused = checkJournal(path, header); !refused.ok())
        return refused;
    const QString name = connectionName + QStringLiteral("-recover");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(uriOf(path, "rw"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(CheckBusyTimeoutMillis));
        if (db.open()) {
            // Busy here means the journal belongs to a save still under way
            // in another copy: nothing to put right.
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master"));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return Result::success();
}

} // namespace DatabaseCheck

Result Database::checkFile(const QString& path, bool integrity)
{
    return DatabaseCheck::checkFile(path, integrity ? Reading::Whole : Reading::SchemaOnly);
}

void Database::checkWholeFileLater(const QString& path, QObject* context, std::function<void(const Result&)> done)
{
    QPointer<QObject> receiver(context);
    auto report = [receiver, done](const Result& checked) {
        if (receiver)
            QMetaObject::invokeMethod(
                receiver.data(), [done, checked] { done(checked); }, Qt::QueuedConnection);
    };
    if (isServerAddress(path)) {
        report(Result::success());
        return;
    }
    QThreadPool::globalInstance()->start([path, report] { report(DatabaseCheck::checkFile(path, Reading::Quick)); });
}
