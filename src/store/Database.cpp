#include "store/Database.h"

#include "core/Settings.h"
#include "store/DatabaseSchema.h"
#include "store/DefaultDocuments.h"
#include "store/ServerWatchdog.h"
#include "store/SqlDialect.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QRandomGenerator>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QUrl>
#include <QUrlQuery>
#include <QtEndian>
#include <array>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

Database* g_current = nullptr;
// The LISTEN/NOTIFY channel through which desks on one server tell of commits.
const QString ChangeChannel = QStringLiteral("ledgerly_changes");
// The payload of the notification that tells of a restore.
const QString RestoreNotice = QStringLiteral("restore");
// How long a statement on the server waits for another desk's row lock before
// giving up as busy; the retry policy then takes over.
constexpr int ServerLockTimeoutMillis = 2000;
// A statement the server itself gives up after this long (a slow server; a
// frozen one is the watchdog's).
constexpr int ServerStatementTimeoutMillis = 5000;
// How long one attempt of an access (a transaction, a few statements) may
// wait for the server's answers before the connection is cut: longer than
// the server's own limits, so that a server that answers at all says why.
constexpr int ServerAnswerMillis = 7000;
// libpq's options: a bounded connect, and over TCP, a dead peer noticed
// while idle (keepalives) and while waiting on sent data.
const QString ServerConnectOptions
    = QStringLiteral("connect_timeout=5;keepalives=1;keepalives_idle=10;keepalives_interval=5;keepalives_count=2;"
                     "tcp_user_timeout=10000");
const QString ConnectionLostText = QStringLiteral("the connection to the database server was lost");
const QString NoAnswerText = QStringLiteral("the database server does not answer");
QAtomicInt g_checkConnections;

// SQLite waits this long inside a statement before reporting busy; the retry
// policy does the real waiting, so it stays short.
constexpr int BusyTimeoutMillis = 20;
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

// SQLite names the file by URI so that the mode can say "never create it".
QString uriOf(const QString& path, const char* mode)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)
        + QStringLiteral("?mode=") + QLatin1String(mode);
}

// A transaction that rolls back unless committed. BEGIN and COMMIT go through
// QSqlQuery so that a busy COMMIT keeps its SQLite code.
class WriteTransaction
{
public:
    explicit WriteTransaction(QSqlDatabase& db)
        : m_db(db)
    {
    }
    ~WriteTransaction()
    {
        if (m_active) {
            QSqlQuery q(m_db);
            q.exec(QStringLiteral("ROLLBACK"));
        }
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    Result begin()
    {
        QSqlQuery q(m_db);
        if (!q.exec(SqlDialect::beginWrite(m_db)))
            return Database::statusOf(q.lastError());
        m_active = true;
        return Result::success();
    }
    Result commit()
    {
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("COMMIT")))
            return Database::statusOf(q.lastError());
        m_active = false;
        return Result::success();
    }

private:
    QSqlDatabase& m_db;
    bool m_active = false;
};

// With notify, a server transaction tells the other desks of its commit.
Result inTransaction(QSqlDatabase& db, const std::function<Result(QSqlDatabase&)>& body, bool notify = false)
{
    WriteTransaction tx(db);
    Result s = tx.begin();
    if (!s.ok())
        return s;
    s = body(db);
    if (!s.ok())
        return s;
    if (notify && SqlDialect::isServer(db)) {
        // Delivered to the other desks only when (and if) this commits.
        QSqlQuery notify(db);
        s = Database::exec(notify, QStringLiteral("NOTIFY %1").arg(ChangeChannel));
        if (!s.ok())
            return s;
    }
    return tx.commit();
}

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
Result createSchema(QSqlDatabase& db)
{
    Result s = execAll(db, DatabaseSchema::createStatements(SqlDialect::isServer(db)));
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

// Step k takes a file from schema version k to k + 1.
using MigrationStep = Result (*)(QSqlDatabase&);
constexpr std::array<MigrationStep, Database::SchemaVersion> Migrations = {&createSchema};

// Brings the file up to SchemaVersion, one step per transaction. Each step
// re-reads the version inside its transaction, so two copies opening an old
// file at once do not both run it.
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

// Brings the file up to SchemaVersion, one step per transaction. Each step
// re-reads the version inside its transaction, so two copies opening an old
// file at once do not both run it. On a server, where tables are made inside
// the transaction, two desks starting at once queue on an advisory lock.
Result migrate(QSqlDatabase& db)
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
        s = inTransaction(db, [&](QSqlDatabase& tdb) {
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
            r = Migrations[static_cast<std::size_t>(version)](tdb);
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

// SQLITE_CORRUPT and SQLITE_NOTADB: a page that cannot be what it should.
bool isDamage(const QSqlError& error)
{
    const int primary = sqliteCode(error) & 0xFF;
    return sqliteCode(error) > 0 && (primary == 11 || primary == 26);
}

// SQLITE_READONLY_ROLLBACK: a read-only connection met a save cut off by a
// crash, which only a connection that may write puts right.
constexpr int ReadOnlyRollback = 776;

struct FileHeader
{
    qint64 pageSize = 0;
    qint64 pages = 0; // as the file's size counts them
    bool walMode = false;
};

static const QByteArray SqliteMagic("SQLite format 3\0", 16);
static const QByteArray JournalMagic("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);

QString journalOf(const QString& path)
{
    return path + QStringLiteral("-journal");
}

// The checks that need no SQLite: a file of another kind, a cut-off copy, or
// a database of another program or of a newer version.
QString checkHeader(const QString& path, FileHeader* header = nullptr)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("The file %1 does not exist").arg(shown(path));
    if (!info.isFile())
        return notOurs(path, QStringLiteral("it is not a file"));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("The file %1 cannot be read: %2").arg(shown(path), f.errorString());
    const qint64 size = f.size();
    if (size == 0)
        return notOurs(path, QStringLiteral("it is empty"));
    const QByteArray h = f.read(100);
    if (h.size() < 100 || !h.startsWith(SqliteMagic))
        return notOurs(path, QStringLiteral("it is not a database file"));

    qint64 pageSize = qFromBigEndian<quint16>(h.constData() + 16);
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        return notOurs(path, QStringLiteral("its header is damaged"));
    const qint64 pages = be32(h, 28);
    // The page count is only kept up to date when this matches the change counter.
    const bool pagesValid = be32(h, 92) == be32(h, 24) && pages > 0;
    if (size % pageSize != 0 || (pagesValid && pages * pageSize > size)) {
        return notOurs(path,
            QStringLiteral("it is incomplete (the file holds %1 bytes, its header counts %2 pages of %3 bytes)")
                .arg(size)
                .arg(pages)
                .arg(pageSize));
    }

    const qint32 applicationId = static_cast<qint32>(be32(h, 68));
    if (applicationId != Database::ApplicationId)
        return notOurs(path, QStringLiteral("it belongs to another program"));
    const qint32 version = static_cast<qint32>(be32(h, 60));
    if (version > Database::SchemaVersion) {
        return QStringLiteral("The file %1 was written by a newer version of Ledgerly (data version %2; this version "
                              "reads up to data version %3)")
            .arg(shown(path))
            .arg(version)
            .arg(Database::SchemaVersion);
    }
    if (version < 1)
        return notOurs(path, QStringLiteral("it was never completed (it has no data version)"));
    if (header) {
        header->pageSize = pageSize;
        header->pages = size / pageSize;
        // The read and write versions are 2 in write-ahead-log mode.
        header->walMode = h.at(18) == 2 || h.at(19) == 2;
    }
    return QString();
}

// A journal beside the file that SQLite would play back into it: refused
// unless it can be the file's own, for SQLite takes the page size and the
// size to cut the file back to from the journal, and a journal of another
// file destroys this one. Empty when there is no such journal or it fits.
QString checkJournal(const QString& path, const FileHeader& file)
{
    QFile f(journalOf(path));
    if (!f.exists() || f.size() == 0 || !f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray h = f.read(28);
    // Anything else is no journal SQLite plays back.
    if (h.size() < 28 || !h.startsWith(JournalMagic))
        return QString();
    const qint64 originalPages = be32(h, 16);
    const qint64 sectorSize = be32(h, 20);
    const qint64 pageSize = be32(h, 24);
    const QString refused = QStringLiteral("The file %1 cannot be opened: the journal %2 beside it belongs to another "
                                           "file (%3); move that journal away if the file is sound without it");
    if (pageSize != file.pageSize) {
        return refused.arg(shown(path), shown(f.fileName()),
            QStringLiteral("its pages are of %1 bytes, the file's of %2").arg(pageSize).arg(file.pageSize));
    }
    // Ledgerly's saves only ever make the file longer.
    if (originalPages < 1 || originalPages > file.pages) {
        return refused.arg(shown(path), shown(f.fileName()),
            QStringLiteral("it would cut the file of %1 pages to %2 pages").arg(file.pages).arg(originalPages));
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
                    return refused.arg(shown(path), shown(f.fileName()),
                        QStringLiteral("its copy of the first page is not of a Ledgerly database"));
                break;
            }
        }
    }
    return QString();
}

// Reads the schema through a read-only connection: the tables and fields the
// program uses must all be there.
// Why a query of the checks failed. Another copy's lock is no fault of the
// file: busy says so, and the caller may try again.
QString unreadable(const QString& path, const QSqlError& error, bool* busy)
{
    if (Database::statusOf(error).code == Result::Busy) {
        *busy = true;
        return QStringLiteral("The file %1 is in use by another copy of Ledgerly (%2)")
            .arg(shown(path), error.databaseText());
    }
    if (sqliteCode(error) == ReadOnlyRollback)
        return QStringLiteral("The file %1 holds a save cut off by a crash (in %2), which Ledgerly puts right when "
                              "it opens the file to work in it")
            .arg(shown(path), shown(journalOf(path)));
    return notOurs(path, QStringLiteral("it cannot be read (%1)").arg(error.text()));
}

// How much of a file the checks read besides its schema.
enum class Reading {
    SchemaOnly,
    Quick, // PRAGMA quick_check: every page, without comparing the indexes with their tables
    Whole, // PRAGMA integrity_check
};

QString damaged(const QString& path, const QString& why)
{
    return QStringLiteral("The file %1 is damaged: %2").arg(shown(path), why);
}

QString checkSchema(QSqlDatabase& db, const QString& path, Reading reading, bool* busy)
{
    const bool server = SqlDialect::isServer(db);
    QSqlError error;
    const QString why = DatabaseSchema::differences(db, error);
    if (error.isValid())
        return isDamage(error) ? damaged(path, error.databaseText()) : unreadable(path, error, busy);
    if (!why.isEmpty())
        return server ? QStringLiteral("The database %1 is not a Ledgerly database: %2").arg(path, why)
                      : notOurs(path, why);
    if (reading != Reading::SchemaOnly && !server) {
        QSqlQuery q(db);
        if (!q.exec(reading == Reading::Whole ? QStringLiteral("PRAGMA integrity_check")
                                              : QStringLiteral("PRAGMA quick_check")))
            return isDamage(q.lastError()) ? damaged(path, q.lastError().databaseText())
                                           : unreadable(path, q.lastError(), busy);
        QStringList problems;
        while (q.next())
            problems.append(q.value(0).toString());
        if (problems != QStringList {QStringLiteral("ok")})
            return damaged(path, problems.mid(0, 5).join(QStringLiteral("; ")));
    }
    return QString();
}

// The checks of Database::checkFile on the file at connected, a read-only
// connection; messages name path.
QString checkConnected(const QString& connected, const QString& path, Reading reading, bool* busy)
{
    QString why;
    const QString name = QStringLiteral("ledgerly-check-%1").arg(g_checkConnections.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(uriOf(connected, "ro"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1")
                                 .arg(CheckBusyTimeoutMillis));
        if (!db.open())
            why = notOurs(path, QStringLiteral("it cannot be opened (%1)").arg(db.lastError().text()));
        else
            why = checkSchema(db, path, reading, busy);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return why;
}

// The checks of Database::checkFile; busy is set when another copy's lock
// kept them from reading the file. They never write: even a read-only
// connection makes a log and an index beside a file in write-ahead-log mode
// (which a copy of a file in that mode is too), so such a file is checked as a
// private copy of it and its log.
QString checkFileFor(const QString& path, Reading reading, bool* busy)
{
    *busy = false;
    FileHeader header;
    QString why = checkHeader(path, &header);
    if (!why.isEmpty())
        return why;
    if (!header.walMode)
        return checkConnected(path, path, reading, busy);
    QTemporaryDir snapshot;
    const QString copy = snapshot.filePath(QStringLiteral("snapshot.db"));
    const QString log = path + QStringLiteral("-wal");
    if (!snapshot.isValid() || !QFile::copy(path, copy)
        || (QFileInfo::exists(log) && !QFile::copy(log, copy + QStringLiteral("-wal"))))
        return QStringLiteral("The file %1 cannot be checked: no room for a copy of it").arg(shown(path));
    QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return checkConnected(copy, path, reading, busy);
}

// A copy of the program killed in the middle of a save leaves its rollback
// journal next to the file, and the file itself half written (its header may
// then count pages the file does not have yet). SQLite puts the file back as
// it was before that save on the first read through a connection that may
// write; the read-only checks cannot, so this comes before them. Only for a
// file whose header, in the parts no save ever changes, names it ours, and a
// journal that can be its own; else the refusal.
QString rollBackInterruptedSave(const QString& path, const QString& connectionName)
{
    if (QFileInfo(journalOf(path)).size() <= 0)
        return QString();
    FileHeader header;
    if (!checkHeader(path, &header).isEmpty())
        return QString();
    if (QString why = checkJournal(path, header); !why.isEmpty())
        return why;
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
    return QString();
}

} // namespace

Database::Database(const QString& connectionName)
    : m_connectionName(connectionName)
{
}

Database::~Database()
{
    close();
    if (g_current == this)
        g_current = nullptr;
}

QString Database::checkFile(const QString& path)
{
    return checkFile(path, false);
}

QString Database::checkFile(const QString& path, bool integrity)
{
    bool busy = false;
    return checkFileFor(path, integrity ? Reading::Whole : Reading::SchemaOnly, &busy);
}

void Database::checkWholeFileLater(const QString& path, QObject* context, std::function<void(const QString&)> done)
{
    QPointer<QObject> receiver(context);
    auto report = [receiver, done](const QString& why) {
        if (receiver)
            QMetaObject::invokeMethod(
                receiver.data(), [done, why] { done(why); }, Qt::QueuedConnection);
    };
    if (isServerAddress(path)) {
        report(QString());
        return;
    }
    QThreadPool::globalInstance()->start([path, report] {
        bool busy = false;
        report(checkFileFor(path, Reading::Quick, &busy));
    });
}

bool Database::isServerAddress(const QString& path)
{
    return path.startsWith(QLatin1String("postgresql://")) || path.startsWith(QLatin1String("postgres://"));
}

namespace {

// libpq's reason for a failed connect, in plain words where it is a common
// one; anything else (a wrong name, a refused login) is for whoever set the
// server up, and stays as the server said it.
QString whyNotConnected(const QString& libpqText)
{
    const QString text = libpqText.toLower();
    if (text.contains(QLatin1String("timeout expired")))
        return NoAnswerText;
    for (const char* down : {"connection refused", "no such file or directory", "is the server running", "starting up",
             "shutting down", "in recovery mode", "could not translate host name"}) {
        if (text.contains(QLatin1String(down)))
            return QStringLiteral("the database server cannot be reached");
    }
    return libpqText.trimmed();
}

QString notOursOnServer(const QString& address, const QString& why)
{
    return QStringLiteral("The database %1 is not a Ledgerly database: %2").arg(address, why);
}

// Reads, without writing anything, whether a server database may be used: empty
// when it is one of ours of a version this program reads, or holds no tables
// at all; else why not.
QString checkServerDatabase(QSqlDatabase& db, const QString& address, bool* busy)
{
    qint64 version = 0;
    QSqlQuery meta(db);
    if (!meta.exec(QStringLiteral("SELECT to_regclass('ledgerly_meta') IS NOT NULL")) || !meta.next())
        return unreadable(address, meta.lastError(), busy);
    if (meta.value(0).toBool()) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT application_id, schema_version FROM ledgerly_meta")))
            return notOursOnServer(address, QStringLiteral("its table ledgerly_meta cannot be read"));
        if (!q.next() || q.value(0).toLongLong() != Database::ApplicationId)
            return notOursOnServer(address, QStringLiteral("it belongs to another program"));
        version = q.value(1).toLongLong();
        if (version > Database::SchemaVersion) {
            return QStringLiteral("The database %1 was written by a newer version of Ledgerly (data version %2; this "
                                  "version reads up to data version %3)")
                .arg(address)
                .arg(version)
                .arg(Database::SchemaVersion);
        }
    }
    if (version == 0) {
        QSqlQuery tables(db);
        if (!tables.exec(QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = "
                                        "current_schema() AND table_name <> 'ledgerly_meta' ORDER BY table_name")))
            return unreadable(address, tables.lastError(), busy);
        QStringList names;
        while (tables.next())
            names.append(tables.value(0).toString());
        if (!names.isEmpty()) {
            return notOursOnServer(
                address, QStringLiteral("it already holds other tables (%1)").arg(names.join(QStringLiteral(", "))));
        }
        return QString();
    }
    return checkSchema(db, address, Reading::SchemaOnly, busy);
}

} // namespace

// Connects (again) and sets up the session: a bounded wait for row locks, and
// the subscription to the other desks' change notifications. Each time on a
// new driver: Qt's PostgreSQL driver cannot close a connection that broke (it
// keeps the old one's subscriptions and socket watch), so it is dropped whole.
bool Database::connectServer(QString& error)
{
    removeConnection();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
        const QUrlQuery query(m_serverUrl);
        // host=/folder in the query names a Unix socket folder, as libpq does.
        db.setHostName(query.hasQueryItem(QStringLiteral("host")) ? query.queryItemValue(QStringLiteral("host"))
                                                                  : m_serverUrl.host());
        if (m_serverUrl.port() > 0)
            db.setPort(m_serverUrl.port());
        db.setUserName(m_serverUrl.userName());
        db.setDatabaseName(m_serverUrl.path().mid(1));
        db.setConnectOptions(ServerConnectOptions);
    }
    QSqlDatabase db = connection();
    if (!db.open()) {
        error = whyNotConnected(db.lastError().databaseText());
        return false;
    }
    QSqlDriver* driver = db.driver();
    const Result session = withinAnswerTime([&] {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SET lock_timeout = %1").arg(ServerLockTimeoutMillis))
            || !q.exec(QStringLiteral("SET statement_timeout = %1").arg(ServerStatementTimeoutMillis)))
            return Result::failed(q.lastError().text());
        if (!driver->subscribeToNotification(ChangeChannel))
            return Result::failed(driver->lastError().text());
        return Result::success();
    });
    if (!session.ok()) {
        error = session.message;
        return false;
    }
    m_notificationConnection = QObject::connect(driver, &QSqlDriver::notification, driver,
        [this](const QString& name, QSqlDriver::NotificationSource source, const QVariant& payload) {
            if (name != ChangeChannel || source == QSqlDriver::SelfSource)
                return;
            if (payload.toString() == RestoreNotice)
                ++m_replacements;
            ++m_notifications;
            if (onChangedElsewhere)
                onChangedElsewhere();
        });
    m_lost = false;
    m_lostWhy.clear();
    return true;
}

Database::OpenResult Database::openServer(const QString& address)
{
    const QUrl url(address);
    // Shown in messages; a password is never part of it.
    const QString shownAddress = url.toString(QUrl::RemovePassword);
    if (!url.isValid() || url.path().size() < 2)
        return {false,
            QStringLiteral("The database address %1 is not valid: it must be "
                           "postgresql://USER@HOST[:PORT]/DBNAME")
                .arg(shownAddress)};
    if (!url.password().isEmpty())
        return {false,
            QStringLiteral("The database address %1 holds a password: keep it in ~/.pgpass or PGPASSWORD "
                           "instead")
                .arg(shownAddress)};
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return {false,
            QStringLiteral("The database %1 cannot be opened: Qt's PostgreSQL driver (QPSQL) is not "
                           "installed")
                .arg(shownAddress)};

    m_server = true;
    m_path = shownAddress;
    m_serverUrl = url;
    m_watchdog = std::make_unique<ServerWatchdog>();
    QString error;
    if (!connectServer(error)) {
        close();
        return {false, QStringLiteral("The database %1 cannot be opened: %2").arg(shownAddress, error)};
    }

    QString why;
    Result s = m_retry.run([&] {
        return withinAnswerTime([&] {
            QSqlDatabase db = connection();
            bool busy = false;
            why = checkServerDatabase(db, shownAddress, &busy);
            return busy ? Result::busy(why) : Result::success();
        });
    });
    if (!s.ok() || !why.isEmpty()) {
        close();
        return {false, why.isEmpty() ? s.message : why};
    }
    s = m_retry.run([this] {
        return withinAnswerTime([this] {
            QSqlDatabase db = connection();
            return migrate(db);
        });
    });
    if (s.ok()) {
        s = withinAnswerTime([&] {
            QSqlDatabase db = connection();
            bool busy = false;
            why = checkSchema(db, shownAddress, Reading::SchemaOnly, &busy);
            return Result::success();
        });
    }
    if (!s.ok() || !why.isEmpty()) {
        close();
        return {false,
            why.isEmpty() ? QStringLiteral("The database %1 cannot be opened: %2").arg(shownAddress, s.message) : why};
    }
    return {true, QString()};
}

Result Database::reconnectIfLost()
{
    if (!m_server || (!m_lost && isOpen()))
        return Result::success();
    if (!m_lost) {
        // The driver found the connection broken on its own, reading the
        // server's farewell while it looked for notifications. Told like a
        // failed statement: the next access connects again.
        m_lost = true;
        m_lostWhy = ConnectionLostText;
        return Result::failed(m_lostWhy);
    }
    QString error;
    if (!connectServer(error))
        return Result::failed(error);
    return Result::success();
}

// A failed statement on a server may mean the connection broke: then the next
// access connects again (nothing is lost; the transaction rolled back).
void Database::noteFailure(const Result& s)
{
    if (!m_server || m_lost || s.ok() || s.code == Result::Busy)
        return;
    const Result probed = withinAnswerTime([this] {
        QSqlQuery probe(connection());
        return isOpen() && probe.exec(QStringLiteral("SELECT 1")) ? Result::success() : Result::failed(QString());
    });
    if (!probed.ok() && !m_lost) {
        m_lost = true;
        m_lostWhy = ConnectionLostText;
    }
}

// What the server said on a broken connection means nothing to a receptionist.
Result Database::explainFailure(Result s) const
{
    if (m_lost && s.code == Result::Failed)
        s.message = m_lostWhy;
    return s;
}

// Runs step on the server with a limit on how long it waits for answers; a
// server that does not answer in time loses the connection, and the next
// access connects again.
Result Database::withinAnswerTime(const std::function<Result()>& step)
{
    if (!m_server || !m_watchdog)
        return step();
    m_watchdog->arm(serverSocket(), std::chrono::milliseconds(ServerAnswerMillis));
    const Result s = step();
    if (!m_watchdog->disarm())
        return s;
    m_lost = true;
    m_lostWhy = NoAnswerText;
    return Result::failed(m_lostWhy);
}

int Database::serverSocket() const
{
    if (!isOpen())
        return -1;
    const QVariant v = connection().driver()->handle();
    // Qt names the type by its struct.
    if (v.isValid() && (qstrcmp(v.typeName(), "PGconn*") == 0 || qstrcmp(v.typeName(), "pg_conn*") == 0))
        return PQsocket(*static_cast<PGconn* const*>(v.constData()));
    return -1;
}

// This connection on the file, for writing or for reading only; empty when
// it is made, else why not.
QString Database::connectFile(const QString& path, bool readOnly)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    // Not immutable when reading only: other desks may be saving meanwhile.
    db.setDatabaseName(uriOf(path, readOnly ? "ro" : "rw"));
    db.setConnectOptions(QStringLiteral("%1QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%2")
                             .arg(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;") : QString())
                             .arg(BusyTimeoutMillis));
    if (db.open())
        return QString();
    const QString text = db.lastError().text();
    db = QSqlDatabase();
    removeConnection();
    return QStringLiteral("The file %1 cannot be opened: %2").arg(shown(path), text);
}

Database::OpenResult Database::open(const QString& path, bool createIfMissing)
{
    close();
    if (isServerAddress(path))
        return openServer(path);
    const QFileInfo info(path);
    if (!info.exists()) {
        if (!createIfMissing)
            return {false, QStringLiteral("The file %1 does not exist").arg(shown(path))};
        if (!info.absoluteDir().exists())
            return {false, QStringLiteral("The file %1 cannot be created: its folder does not exist").arg(shown(path))};
        // Built under a temporary name and moved into place whole, so that no
        // other copy ever sees a half-made file; if one of them made the file
        // first, theirs is kept.
        const QString building
            = path + QStringLiteral(".new-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const QString tempName = m_connectionName + QStringLiteral("-create");
        Result made;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), tempName);
            db.setDatabaseName(building);
            if (!db.open()) {
                made = Result::failed(db.lastError().text());
            } else {
                made = execAll(db, {QStringLiteral("PRAGMA journal_mode = DELETE")});
                if (made.ok())
                    made = migrate(db);
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(tempName);
        if (!made.ok()) {
            QFile::remove(building);
            return {false, QStringLiteral("The file %1 cannot be created: %2").arg(shown(path), made.message)};
        }
        if (!QFile::rename(building, path)) {
            QFile::remove(building);
            if (!QFileInfo::exists(path))
                return {false, QStringLiteral("The file %1 cannot be created").arg(shown(path))};
        }
    }

    // Another copy may hold the file for a moment (it may be starting, or
    // saving): the checks wait under the retry policy like any read.
    QString why;
    const Result checked = m_retry.run([&] {
        why = rollBackInterruptedSave(path, m_connectionName);
        if (!why.isEmpty())
            return Result::success();
        bool busy = false;
        why = checkFileFor(path, Reading::SchemaOnly, &busy);
        return busy ? Result::busy(why) : Result::success();
    });
    if (!checked.ok() || !why.isEmpty())
        return {false, why};

    // Taken before SQLite opens the file: should a restore replace it in
    // between, the next look sees a change and opens the file again.
    const std::optional<FileIdentity> identity = identityOf(path);
    if (QString why = connectFile(path, false); !why.isEmpty())
        return {false, why};
    m_path = path;
    m_identity = identity;

    Result s = m_retry.run([this] {
        QSqlDatabase db = connection();
        QSqlQuery q(db);
        Result r = exec(q, QStringLiteral("PRAGMA journal_mode = DELETE"));
        if (r.ok() && (!q.next() || q.value(0).toString().toLower() != QLatin1String("delete")))
            r = Result::failed(QStringLiteral("the file cannot be switched to rollback-journal mode"));
        if (r.ok()) {
            QSqlQuery sync(db);
            r = exec(sync, QStringLiteral("PRAGMA synchronous = FULL"));
        }
        return r;
    });
    if (s.ok()) {
        s = m_retry.run([this] {
            QSqlDatabase db = connection();
            return migrate(db);
        });
    }
    if (!s.ok()) {
        close();
        return {false, QStringLiteral("The file %1 cannot be opened: %2").arg(shown(path), s.message)};
    }
    return {true, QString()};
}

Database::OpenResult Database::openReadOnly(const QString& path)
{
    close();
    if (isServerAddress(path))
        return openServer(path);
    FileHeader header;
    if (QString why = checkHeader(path, &header); !why.isEmpty())
        return {false, why};
    if (header.walMode) {
        return {false,
            QStringLiteral("The file %1 is in write-ahead-log mode, which only reading it would change: open it in "
                           "Ledgerly once to put it back into rollback-journal mode")
                .arg(shown(path))};
    }
    const std::optional<FileIdentity> identity = identityOf(path);
    if (QString why = connectFile(path, true); !why.isEmpty())
        return {false, why};
    m_path = path;
    m_identity = identity;
    m_readOnly = true;
    QString why;
    const Result s = m_retry.run([&] {
        QSqlDatabase db = connection();
        bool busy = false;
        why = checkSchema(db, path, Reading::Quick, &busy);
        return busy ? Result::busy(why) : Result::success();
    });
    if (!s.ok() || !why.isEmpty()) {
        close();
        return {false, why.isEmpty() ? s.message : why};
    }
    return {true, QString()};
}

void Database::removeConnection()
{
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

void Database::close()
{
    removeConnection();
    m_path.clear();
    m_server = false;
    m_readOnly = false;
    m_serverUrl.clear();
    m_watchdog.reset();
    m_lost = false;
    m_lostWhy.clear();
    m_notificationConnection = {};
    m_identity.reset();
}

std::optional<Database::FileIdentity> Database::identityOf(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileIdentity {quint64(st.st_dev), quint64(st.st_ino)};
}

bool Database::fileReplaced() const
{
    return identityOf(m_path) != m_identity;
}

Result Database::followReplacedFile()
{
    // A path without an open connection: an earlier attempt to open the
    // restored file failed, and this one tries again.
    if (m_server || m_path.isEmpty() || (isOpen() && !fileReplaced()))
        return Result::success();
    const QString path = m_path;
    const OpenResult opened = m_readOnly ? openReadOnly(path) : open(path, false);
    if (!opened.ok) {
        m_path = path;
        return Result::failed(opened.message);
    }
    ++m_replacements;
    return Result::success();
}

Result Database::announceRestore(QSqlDatabase& db)
{
    QSqlQuery q(db);
    return exec(q, QStringLiteral("NOTIFY %1, '%2'").arg(ChangeChannel, RestoreNotice));
}

bool Database::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

sqlite3* Database::handle() const
{
    if (!isOpen())
        return nullptr;
    const QVariant v = connection().driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(v.constData());
    return nullptr;
}

// Every access: connect again after a lost server connection, run the step
// (under the retry policy or once), and say where a failure happened.
Result Database::access(const std::function<Result()>& step, bool retried, const QString& failure)
{
    Result s = reconnectIfLost();
    if (s.ok())
        s = followReplacedFile();
    if (s.ok() && !isOpen())
        s = Result::failed(QStringLiteral("the database is not open"));
    if (s.ok()) {
        const auto attempt = [&] { return withinAnswerTime(step); };
        s = retried ? m_retry.run(attempt) : attempt();
        noteFailure(s);
        s = explainFailure(s);
    }
    if (!s.ok()) {
        const QString where = m_server ? QStringLiteral("the database %1").arg(shown(m_path))
                                       : QStringLiteral("the file %1").arg(shown(m_path));
        s.message = failure.arg(where, s.message);
        s.message[0] = s.message[0].toUpper();
    }
    return s;
}

Result Database::write(const std::function<Result(QSqlDatabase&)>& body)
{
    return access(
        [&] {
            Result s = followReplacedFile();
            if (!s.ok())
                return s;
            QSqlDatabase db = connection();
            return inTransaction(
                db,
                [&](QSqlDatabase& tdb) {
                    // A restore puts its file in place while holding the
                    // write lock, so it cannot come now; it may have come
                    // just before. Then the step runs again on the new file.
                    if (!m_server && fileReplaced())
                        return Result::busy(QStringLiteral("a restore has just replaced the file"));
                    return body(tdb);
                },
                true);
        },
        true, QStringLiteral("The changes could not be saved to %1: %2"));
}

Result Database::read(const std::function<Result(QSqlDatabase&)>& body)
{
    return access(
        [&] {
            QSqlDatabase db = connection();
            return body(db);
        },
        true, QStringLiteral("%1 could not be read: %2"));
}

Result Database::readOnce(const std::function<Result(QSqlDatabase&)>& body)
{
    return access(
        [&] {
            QSqlDatabase db = connection();
            return body(db);
        },
        false, QStringLiteral("%1 could not be read: %2"));
}

std::optional<qint64> Database::dataVersion()
{
    if (!followReplacedFile().ok() || !isOpen())
        return std::nullopt;
    if (m_server)
        return m_notifications;
    QSqlDatabase db = connection();
    qint64 version = 0;
    if (!readPragmaInt(db, QStringLiteral("data_version"), version).ok())
        return std::nullopt;
    return version;
}

Result Database::statusOf(const QSqlError& error)
{
    const QString state = error.nativeErrorCode();
    // PostgreSQL reports a five-character SQLSTATE; SQLite's codes have at
    // most four digits.
    if (state.size() == 5) {
        static const QStringList busyStates
            = {QStringLiteral("40001"), QStringLiteral("40P01"), QStringLiteral("55P03")};
        if (busyStates.contains(state)) {
            return Result::busy(
                QStringLiteral("another copy of Ledgerly is saving the same records (%1)").arg(error.databaseText()));
        }
        // statement_timeout: a server too slow to answer, not another desk.
        if (state == QLatin1String("57014"))
            return Result::failed(NoAnswerText);
        return Result::failed(error.text());
    }
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    const int primary = code & 0xFF;
    if (numeric && (primary == 5 || primary == 6)) {
        return Result::busy(
            QStringLiteral("another copy of Ledgerly is using the file (%1)").arg(error.databaseText()));
    }
    if (isDamage(error))
        return Result::failed(QStringLiteral("it is damaged (%1)").arg(error.databaseText()));
    // SQLite's own words for these name no cause a person can act on.
    if (numeric && primary == SQLITE_FULL)
        return Result::failed(QStringLiteral("the disk is full"));
    if (numeric && (code == SQLITE_READONLY_DIRECTORY || primary == SQLITE_CANTOPEN))
        return Result::failed(QStringLiteral("the folder that holds it cannot be written"));
    if (numeric && primary == SQLITE_READONLY)
        return Result::failed(QStringLiteral("it cannot be written"));
    if (numeric && primary == SQLITE_IOERR)
        return Result::failed(
            QStringLiteral("the disk could not be read or written (is it damaged, or was it taken out?)"));
    return Result::failed(error.text());
}

Result Database::exec(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    query.setForwardOnly(true);
    // PostgreSQL prepares only queries and data changes, not CREATE or NOTIFY.
    if (values.isEmpty()) {
        if (!query.exec(sql))
            return statusOf(query.lastError());
        return Result::success();
    }
    if (!query.prepare(sql))
        return statusOf(query.lastError());
    for (const QVariant& v : values)
        query.addBindValue(v);
    if (!query.exec())
        return statusOf(query.lastError());
    return Result::success();
}

Database* Database::current()
{
    return g_current;
}

void Database::setCurrent(Database* db)
{
    g_current = db;
}
