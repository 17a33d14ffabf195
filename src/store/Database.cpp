#include "store/Database.h"

#include "store/DatabaseCheck.h"
#include "store/SchemaMigration.h"
#include "store/ServerConnection.h"
#include "store/WriteTransaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <sqlite3.h>
#include <sys/stat.h>

namespace {

// SQLite waits this long inside a statement before reporting busy; the retry
// policy does the real waiting, so it stays short.
constexpr int BusyTimeoutMillis = 20;

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

Database::Database(const QString& connectionName)
    : m_connectionName(connectionName)
{
}

Database::~Database()
{
    close();
}

bool Database::isServerAddress(const QString& path)
{
    return path.startsWith(QLatin1String("postgresql://")) || path.startsWith(QLatin1String("postgres://"));
}

Result Database::openServer(const QString& address, const Progress& migrationProgress)
{
    m_server = std::make_unique<ServerConnection>(m_connectionName, QUrl(address));
    m_path = m_server->address();
    m_server->onNotification = [this](bool restore) {
        if (restore)
            ++m_replacements;
        if (onChangedElsewhere)
            onChangedElsewhere();
    };
    const Result opened = m_server->open(m_retry, migrationProgress);
    if (!opened.ok())
        close();
    return opened;
}

// Runs step on the server with a limit on how long it waits for answers.
Result Database::withinAnswerTime(const std::function<Result()>& step)
{
    return m_server ? m_server->withinAnswerTime(step) : step();
}

// This connection on the file, for writing or for reading only.
Result Database::connectFile(const QString& path, bool readOnly)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    // Not immutable when reading only: other desks may be saving meanwhile.
    db.setDatabaseName(DatabaseCheck::uriOf(path, readOnly ? "ro" : "rw"));
    db.setConnectOptions(QStringLiteral("%1QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%2")
                             .arg(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;") : QString())
                             .arg(BusyTimeoutMillis));
    if (db.open())
        return Result::success();
    const QString text = db.lastError().text();
    db = QSqlDatabase();
    removeConnection();
    return Result::failed(QStringLiteral("The file %1 cannot be opened: %2").arg(shown(path), text));
}

Result Database::open(const QString& path, bool createIfMissing, const Progress& migrationProgress)
{
    close();
    if (isServerAddress(path))
        return openServer(path, migrationProgress);
    const QFileInfo info(path);
    if (!info.exists()) {
        if (!createIfMissing)
            return Result::failed(QStringLiteral("The file %1 does not exist").arg(shown(path)));
        if (!info.absoluteDir().exists())
            return Result::failed(
                QStringLiteral("The file %1 cannot be created: its folder does not exist").arg(shown(path)));
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
                {
                    // It answers with a row: finished before the migration
                    // commits.
                    QSqlQuery journal(db);
                    made = exec(journal, QStringLiteral("PRAGMA journal_mode = DELETE"));
                }
                if (made.ok())
                    made = SchemaMigration::migrate(db);
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(tempName);
        if (!made.ok()) {
            QFile::remove(building);
            return Result::failed(QStringLiteral("The file %1 cannot be created: %2").arg(shown(path), made.message));
        }
        if (!QFile::rename(building, path)) {
            QFile::remove(building);
            if (!QFileInfo::exists(path))
                return Result::failed(QStringLiteral("The file %1 cannot be created").arg(shown(path)));
        }
    }

    // Another copy may hold the file for a moment (it may be starting, or
    // saving): the checks wait under the retry policy like any read.
    const Result checked = m_retry.run([&] {
        const Result rolledBack = DatabaseCheck::rollBackInterruptedSave(path, m_connectionName);
        if (!rolledBack.ok())
            return rolledBack;
        return DatabaseCheck::checkFile(path, DatabaseCheck::Reading::SchemaOnly);
    });
    if (!checked.ok())
        return checked;

    // Taken before SQLite opens the file: should a restore replace it in
    // between, the next look sees a change and opens the file again.
    const std::optional<FileIdentity> identity = identityOf(path);
    if (Result connected = connectFile(path, false); !connected.ok())
        return connected;
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
        s = m_retry.run([&] {
            QSqlDatabase db = connection();
            return SchemaMigration::migrate(db, migrationProgress);
        });
    }
    if (!s.ok()) {
        close();
        s.message = QStringLiteral("The file %1 cannot be opened: %2").arg(shown(path), s.message);
    }
    return s;
}

Result Database::openReadOnly(const QString& path, PageReading pages)
{
    close();
    if (isServerAddress(path))
        return openServer(path, {});
    DatabaseCheck::FileHeader header;
    if (Result checked = DatabaseCheck::checkHeader(path, &header); !checked.ok())
        return checked;
    if (header.walMode) {
        return Result::failed(
            QStringLiteral("The file %1 is in write-ahead-log mode, which only reading it would change: open it in "
                           "Ledgerly once to put it back into rollback-journal mode")
                .arg(shown(path)));
    }
    const std::optional<FileIdentity> identity = identityOf(path);
    if (Result connected = connectFile(path, true); !connected.ok())
        return connected;
    m_path = path;
    m_identity = identity;
    m_readOnly = true;
    const bool alongside = pages == PageReading::Alongside;
    const Result checked = m_retry.run([&] {
        QSqlDatabase db = connection();
        return DatabaseCheck::checkSchema(
            db, path, alongside ? DatabaseCheck::Reading::SchemaOnly : DatabaseCheck::Reading::Quick);
    });
    if (!checked.ok())
        close();
    else if (alongside)
        m_pagesRead = std::async(
            std::launch::async, [path] { return DatabaseCheck::checkFile(path, DatabaseCheck::Reading::Quick); });
    return checked;
}

Result Database::pagesRead()
{
    if (!m_pagesRead.valid())
        return Result::success();
    const Result read = m_pagesRead.get();
    if (read.code != Result::Busy || !isOpen())
        return read;
    return m_retry.run([&] {
        QSqlDatabase db = connection();
        return DatabaseCheck::checkSchema(db, m_path, DatabaseCheck::Reading::Quick);
    });
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
    if (m_pagesRead.valid())
        m_pagesRead.wait();
    m_pagesRead = {};
    removeConnection();
    m_path.clear();
    m_server.reset();
    m_readOnly = false;
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
    const Result opened = m_readOnly ? openReadOnly(path) : open(path, false);
    if (!opened.ok()) {
        m_path = path;
        // Failed even when busy: the open has waited under the retry policy
        // already.
        return Result::failed(opened.message);
    }
    ++m_replacements;
    return Result::success();
}

bool Database::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

// Every access: connect again after a lost server connection, run the step
// (under the retry policy or once), and say where a failure happened.
Result Database::access(const std::function<Result()>& step, bool retried, const QString& failure)
{
    Result s = m_server ? m_server->reconnectIfLost() : Result::success();
    if (s.ok())
        s = followReplacedFile();
    if (s.ok() && !isOpen())
        s = Result::failed(QStringLiteral("the database is not open"));
    if (s.ok()) {
        const auto attempt = [&] { return withinAnswerTime(step); };
        s = retried ? m_retry.run(attempt) : attempt();
        if (m_server) {
            m_server->noteFailure(s);
            s = m_server->explainFailure(s);
        }
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
            return WriteTransaction::run(db, [&](QSqlDatabase& tdb) {
                // A restore puts its file in place while holding the write
                // lock, so it cannot come now; it may have come just before.
                // Then the step runs again on the new file.
                if (!m_server && fileReplaced())
                    return Result::busy(QStringLiteral("a restore has just replaced the file"));
                Result done = body(tdb);
                // On a server the other desks learn of the commit.
                if (done.ok() && m_server)
                    done = ServerConnection::notifyChange(tdb);
                return done;
            });
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
        return m_server->notifications();
    QSqlDatabase db = connection();
    QSqlQuery q(db);
    if (!exec(q, QStringLiteral("PRAGMA data_version")).ok() || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
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
            return Result::failed(ServerConnection::NoAnswerText);
        return Result::failed(error.text());
    }
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    const int primary = code & 0xFF;
    if (numeric && (primary == 5 || primary == 6)) {
        return Result::busy(
            QStringLiteral("another copy of Ledgerly is using the file (%1)").arg(error.databaseText()));
    }
    if (DatabaseCheck::isDamage(error))
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
