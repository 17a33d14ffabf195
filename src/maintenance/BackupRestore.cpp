#include "maintenance/BackupRestore.h"

#include "platform/FileSystem.h"
#include "store/Database.h"
#include "store/DatabaseSchema.h"
#include "store/RetryPolicy.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sqlite3.h>
#include <unistd.h>

namespace {
using Connection = std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)>;

QString errorOf(sqlite3* db)
{
    if (!db)
        return QStringLiteral("out of memory");
    // SQLite's words for these name no cause a person can act on.
    switch (sqlite3_extended_errcode(db)) {
    case SQLITE_FULL:
        return QStringLiteral("the disk is full");
    case SQLITE_READONLY_DIRECTORY:
    case SQLITE_CANTOPEN:
        return QStringLiteral("the folder cannot be written");
    case SQLITE_IOERR_WRITE:
    case SQLITE_IOERR_FSYNC:
        return QStringLiteral("the disk could not be written (is it damaged, or was it taken out?)");
    default:
        return QString::fromUtf8(sqlite3_errmsg(db));
    }
}

bool isBusy(int rc)
{
    return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED;
}

QString inUse(const QString& path)
{
    return QStringLiteral("%1 is in use by another copy of the program").arg(QDir::toNativeSeparators(path));
}

// While another copy saves day after day, the file is free only in the short
// gaps between its writes; SQLite's own busy wait polls too seldom to find
// them. This one looks every half millisecond for up to 100 ms, after which
// the retry policy pauses with the windows repainting.
int pollForGap(void*, int count)
{
    constexpr int PollMicros = 500;
    constexpr int MaxPolls = 200;
    if (count >= MaxPolls)
        return 0;
    QThread::usleep(PollMicros);
    return 1;
}

Connection openFile(const QString& path, int flags, QString& reason)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    Connection db(raw, &sqlite3_close_v2);
    if (rc != SQLITE_OK) {
        reason = QStringLiteral("Cannot open %1: %2").arg(path, errorOf(raw));
        db.reset();
    } else {
        sqlite3_busy_handler(raw, &pollForGap, nullptr);
    }
    return db;
}

// Runs one statement under the shared back-off; busy comes back as Busy.
Result execute(sqlite3* db, const char* sql, RetryPolicy& policy)
{
    return policy.run([&] {
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            return Result::success();
        if (isBusy(rc))
            return Result::busy(errorOf(db));
        return Result::failed(errorOf(db));
    });
}

// A consistent copy through SQLite's backup: the source is read in one step
// under a shared lock, so another copy's write lands wholly before or wholly
// after it. Page by page through two page caches, it takes a few times as
// long as copying the file.
QString copyByBackup(sqlite3* from, const QString& source, const QString& target, RetryPolicy& policy)
{
    QString reason;
    Connection to = openFile(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, reason);
    if (!to)
        return reason;
    sqlite3_backup* backup = sqlite3_backup_init(to.get(), "main", from, "main");
    if (!backup)
        return QStringLiteral("Cannot copy %1: %2").arg(source, errorOf(to.get()));
    const Result st = policy.run([&] {
        const int rc = sqlite3_backup_step(backup, -1);
        if (rc == SQLITE_DONE)
            return Result::success();
        if (isBusy(rc))
            return Result::busy(inUse(source));
        return Result::failed(QString::fromUtf8(sqlite3_errstr(rc)));
    });
    const int finished = sqlite3_backup_finish(backup);
    if (st.code == Result::Busy)
        return st.message;
    if (!st.ok())
        return QStringLiteral("Cannot copy %1: %2").arg(source, st.message);
    if (finished != SQLITE_OK)
        return QStringLiteral("Cannot copy %1: %2").arg(source, errorOf(to.get()));
    return QString();
}

// The same consistency at the speed of a file copy: the file is copied byte
// for byte while a read transaction holds its shared lock, so no other copy
// of the program can write it meanwhile (starting the transaction also rolls
// back what a writer that died may have left). The bytes are read through
// SQLite's own handle of the file: opening and closing the file once more in
// this process would drop the locks SQLite holds on it.
QString copyLocked(sqlite3* from, const QString& source, const QString& target, RetryPolicy& policy)
{
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(from, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods)
        return QStringLiteral("Cannot copy %1: the file cannot be read").arg(source);
    const Result locked = policy.run([&] {
        const int rc = sqlite3_exec(from, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            return Result::success();
        const Result st = isBusy(rc) ? Result::busy(inUse(source)) : Result::failed(errorOf(from));
        sqlite3_exec(from, "ROLLBACK", nullptr, nullptr, nullptr);
        return st;
    });
    if (locked.code == Result::Busy)
        return locked.message;
    if (!locked.ok())
        return QStringLiteral("Cannot copy %1: %2").arg(source, locked.message);

    QString reason;
    sqlite3_int64 size = 0;
    // Written unbuffered so that a failure tells its cause (errno).
    const auto cannotWrite = [&target](int error) {
        return FileSystem::describeFailure(
            QStringLiteral("Cannot write the copy in %1").arg(QFileInfo(target).absolutePath()), error);
    };
    const int out = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK) {
        reason = QStringLiteral("Cannot copy %1: its size cannot be read").arg(source);
    } else if (out < 0) {
        reason = cannotWrite(errno);
    } else {
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (sqlite3_int64 at = 0; at < size && reason.isEmpty();) {
            const int n = int(std::min<sqlite3_int64>(chunk.size(), size - at));
            if (file->pMethods->xRead(file, chunk.data(), n, at) != SQLITE_OK) {
                reason = QStringLiteral("Cannot copy %1: it cannot be read").arg(source);
                break;
            }
            for (int done = 0; done < n;) {
                const ssize_t w = ::write(out, chunk.constData() + done, size_t(n - done));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0) {
                    reason = cannotWrite(w < 0 ? errno : ENOSPC);
                    break;
                }
                done += int(w);
            }
            at += n;
        }
    }
    if (out >= 0 && ::close(out) != 0 && reason.isEmpty())
        reason = cannotWrite(errno);
    sqlite3_exec(from, "ROLLBACK", nullptr, nullptr, nullptr);
    return reason;
}

// A consistent copy of a whole database into an existing (empty) file. A
// file in write-ahead-log mode (not one this program makes) keeps part of its
// content beside it, so only SQLite's backup copies it whole.
QString copyDatabase(const QString& source, int sourceFlags, const QString& target, RetryPolicy& policy)
{
    QString reason;
    Connection from = openFile(source, sourceFlags, reason);
    if (!from)
        return reason;
    bool walMode = false;
    sqlite3_stmt* mode = nullptr;
    if (sqlite3_prepare_v2(from.get(), "PRAGMA journal_mode", -1, &mode, nullptr) == SQLITE_OK
        && sqlite3_step(mode) == SQLITE_ROW)
        walMode = qstricmp(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal") == 0;
    sqlite3_finalize(mode);
    if (walMode)
        return copyByBackup(from.get(), source, target, policy);
    return copyLocked(from.get(), source, target, policy);
}

// Removes a temporary file (and a journal SQLite may have left beside it)
// unless it was put in place.
class TemporaryFile
{
public:
    explicit TemporaryFile(QString path)
        : m_path(std::move(path))
    {
    }
    ~TemporaryFile()
    {
        if (m_path.isEmpty())
            return;
        QFile::remove(m_path);
        QFile::remove(m_path + QStringLiteral("-journal"));
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const QString& path() const { return m_path; }
    void release() { m_path.clear(); }

private:
    QString m_path;
};

// Bytes 18 and 19 of the header are 2 for a file in write-ahead-log mode.
bool inWalMode(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(20);
    return header.size() == 20 && header.at(18) == 2 && header.at(19) == 2;
}

QString folderOf(const QString& filePath)
{
    return QFileInfo(filePath).absolutePath();
}

bool sameFolder(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// Writes a copy of source into folder under a temporary name, checked and
// flushed; out names it when it succeeds. The copy takes the access rights of
// permissionsOf (a temporary file is private to its owner, and a database in a
// shared folder must stay readable by the other users).
QString checkedCopy(const QString& source, int sourceFlags, const QString& folder, const QString& permissionsOf,
    RetryPolicy& policy, std::unique_ptr<TemporaryFile>& out)
{
    QString path;
    if (QString r = FileSystem::createTemporary(folder, path); !r.isEmpty())
        return r;
    auto tmp = std::make_unique<TemporaryFile>(path);
    // Media without access rights (FAT) refuse this harmlessly.
    QFile::setPermissions(path, QFileInfo(permissionsOf).permissions());
    if (QString r = copyDatabase(source, sourceFlags, path, policy); !r.isEmpty())
        return r;
    if (QString r = Database::checkFile(path, true); !r.isEmpty())
        return QStringLiteral("The copy of %1 is not sound: %2").arg(source, r);
    if (QString r = FileSystem::flush(path); !r.isEmpty())
        return r;
    out = std::move(tmp);
    return QString();
}

// Keeps the live file's present content as db-before-restore.mdb: a second
// name for the same data where the medium allows it, else a copy.
QString keepLiveFile(const QString& livePath, RetryPolicy& policy)
{
    const QString folder = folderOf(livePath);
    const QString kept = folder + QLatin1Char('/') + BackupRestore::KeptName;
    QString linked;
    if (QString r = FileSystem::createTemporary(folder, linked); !r.isEmpty())
        return r;
    TemporaryFile name(linked);
    QFile::remove(linked);
    if (FileSystem::link(livePath, linked).isEmpty())
        return FileSystem::replace(linked, kept);

    std::unique_ptr<TemporaryFile> copy;
    if (QString r = checkedCopy(livePath, SQLITE_OPEN_READONLY, folder, livePath, policy, copy); !r.isEmpty())
        return r;
    if (QString r = FileSystem::replace(copy->path(), kept); !r.isEmpty())
        return r;
    copy->release();
    return QString();
}

// Puts the restored file in place of the live one while holding the live
// file's write lock, so that no other copy is half-way through a write and no
// journal of the old file is left to be played back onto the new one.
QString replaceLiveFile(const QString& restored, const QString& livePath, RetryPolicy& policy)
{
    Connection lock(nullptr, &sqlite3_close_v2);
    if (QFileInfo::exists(livePath)) {
        QString reason;
        lock = openFile(livePath, SQLITE_OPEN_READWRITE, reason);
        if (lock) {
            const Result st = execute(lock.get(), "BEGIN IMMEDIATE", policy);
            if (st.code == Result::Busy)
                return inUse(livePath);
            // A live file too damaged to lock is exactly what a restore is
            // for: go on without the lock.
        }
        if (QString r = keepLiveFile(livePath, policy); !r.isEmpty())
            return r;
    }
    // Before the rename: once the restored file is in place, another copy
    // may follow it at once and be writing its own journal there.
    QFile::remove(livePath + QStringLiteral("-journal"));
    if (QString r = FileSystem::replace(restored, livePath); !r.isEmpty())
        return r;
    if (lock)
        sqlite3_exec(lock.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    return FileSystem::flushFolder(folderOf(livePath));
}

// The records of a database, table by table, in the columns below.
struct TableRows
{
    QString table;
    QStringList columns;
    QList<QVariantList> rows;
};
using Contents = QList<TableRows>;

// Every table of the database with its fields, no rows yet.
Contents emptyContents()
{
    Contents out;
    for (const DatabaseSchema::Table& table : DatabaseSchema::tables())
        out.append({table.name, DatabaseSchema::fieldNames(table.name), {}});
    return out;
}

int fieldIndex(const QString& table, const QString& field)
{
    return int(DatabaseSchema::fieldNames(table).indexOf(field));
}

const int ApptCalDate = fieldIndex(QStringLiteral("tbl_Appt"), QStringLiteral("CalDate"));
const int ApptVersion = fieldIndex(QStringLiteral("tbl_Appt"), QStringLiteral("Version"));

Result readContents(QSqlDatabase& db, Contents& out)
{
    out = emptyContents();
    for (TableRows& t : out) {
        QSqlQuery q(db);
        Result s = Database::exec(
            q, QStringLiteral("SELECT %1 FROM %2 ORDER BY id").arg(t.columns.join(QStringLiteral(", ")), t.table));
        if (!s.ok())
            return s;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < t.columns.size(); ++i)
                row.append(q.value(i));
            t.rows.append(row);
        }
    }
    return Result::success();
}

Result replaceContents(QSqlDatabase& db, const Contents& contents)
{
    for (const TableRows& t : contents) {
        QSqlQuery del(db);
        Result s = Database::exec(del, QStringLiteral("DELETE FROM %1").arg(t.table));
        if (!s.ok())
            return s;
        const QString insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (?%3)")
                                   .arg(t.table, t.columns.join(QStringLiteral(", ")),
                                       QStringLiteral(", ?").repeated(int(t.columns.size()) - 1));
        for (const QVariantList& row : t.rows) {
            QSqlQuery q(db);
            s = Database::exec(q, insert, row);
            if (!s.ok())
                return s;
        }
    }
    return Result::success();
}

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

// The records of a db.mdb, read in one transaction through a read-only
// connection (a back-up medium may be read-only).
QString readFileContents(const QString& path, Contents& out)
{
    static QAtomicInt made;
    const QString name = QStringLiteral("ledgerly-restore-source-%1").arg(made.fetchAndAddRelaxed(1));
    QString reason;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        if (!db.open()) {
            reason = QStringLiteral("Cannot open %1: %2").arg(path, db.lastError().text());
        } else {
            QSqlQuery begin(db);
            Result s = Database::exec(begin, QStringLiteral("BEGIN"));
            if (s.ok())
                s = readContents(db, out);
            QSqlQuery end(db);
            end.exec(QStringLiteral("ROLLBACK"));
            if (!s.ok())
                reason = QStringLiteral("Cannot read %1: %2").arg(path, s.message);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return reason;
}

// Writes contents as a new, checked and flushed db.mdb under a temporary name
// in folder; out names it when it succeeds.
QString writeFileCopy(const Contents& contents, const QString& folder, const QString& permissionsOf,
    const QString& source, std::unique_ptr<TemporaryFile>& out)
{
    QString path;
    if (QString r = FileSystem::createTemporary(folder, path); !r.isEmpty())
        return r;
    auto tmp = std::make_unique<TemporaryFile>(path);
    // Database::open makes the file whole, with our schema and marks, but
    // only where none exists yet.
    QFile::remove(path);
    {
        static QAtomicInt made;
        Database file(QStringLiteral("ledgerly-backup-copy-%1").arg(made.fetchAndAddRelaxed(1)));
        const Database::OpenResult opened = file.open(path, true);
        if (!opened.ok)
            return opened.message;
        const Result s = file.write([&](QSqlDatabase& db) { return replaceContents(db, contents); });
        file.close();
        if (!s.ok())
            return QStringLiteral("Cannot copy %1: %2").arg(source, s.message);
    }
    // A back-up replacing an earlier one keeps its access rights. Media
    // without access rights (FAT) refuse this harmlessly.
    if (!permissionsOf.isEmpty())
        QFile::setPermissions(path, QFileInfo(permissionsOf).permissions());
    if (QString r = Database::checkFile(path, true); !r.isEmpty())
        return QStringLiteral("The copy of %1 is not sound: %2").arg(source, r);
    if (QString r = FileSystem::flush(path); !r.isEmpty())
        return r;
    out = std::move(tmp);
    return QString();
}
} // namespace

QString BackupRestore::pathIn(const QString& folderText)
{
    return folderText + QLatin1Char('/') + FileName;
}

QStringList BackupRestore::defaultMediaRoots()
{
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = QDir::home().dirName();
    return {QStringLiteral("/media/") + user, QStringLiteral("/run/media/") + user};
}

QString BackupRestore::presetFolder(const QStringList& mediaRoots)
{
    for (const QString& root : mediaRoots) {
        const QFileInfoList media = QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        if (!media.isEmpty())
            return media.first().absoluteFilePath();
    }
    return QDir::homePath();
}

QString BackupRestore::probeDestination(const QString& folderText, const QString& livePath)
{
    const QString folder = folderOf(pathIn(folderText));
    if (QString r = FileSystem::folderProblem(folder); !r.isEmpty())
        return r;
    if (sameFolder(folder, folderOf(livePath)))
        return QStringLiteral("The folder %1 is the program's own data folder").arg(folder);
    QString probe;
    if (QString r = FileSystem::createTemporary(folder, probe); !r.isEmpty())
        return r;
    QFile::remove(probe);
    return QString();
}

QString BackupRestore::probeSource(const QString& folderText, const QString& livePath)
{
    const QString path = pathIn(folderText);
    const QString folder = folderOf(path);
    if (QString r = FileSystem::folderProblem(folder); !r.isEmpty())
        return r;
    if (sameFolder(folder, folderOf(livePath)))
        return QStringLiteral("The folder %1 is the program's own data folder").arg(folder);
    if (!QFileInfo::exists(path))
        return QStringLiteral("There is no %1 in the folder %2").arg(FileName, folder);
    return Database::checkFile(path, true);
}

QString BackupRestore::backup(const QString& livePath, const QString& targetPath)
{
    const QString folder = folderOf(targetPath);
    FileSystem::removeAbandonedTemporaries(folder);
    RetryPolicy policy;
    std::unique_ptr<TemporaryFile> copy;
    if (QString r = checkedCopy(livePath, SQLITE_OPEN_READWRITE, folder,
            QFileInfo::exists(targetPath) ? targetPath : livePath, policy, copy);
        !r.isEmpty())
        return r;
    if (QString r = FileSystem::replace(copy->path(), targetPath); !r.isEmpty())
        return r;
    copy->release();
    return FileSystem::flushFolder(folder);
}

BackupRestore::RestoreResult BackupRestore::restore(
    const QString& givenSource, const QString& livePath, Database* connection)
{
    RestoreResult result;
    if (QString r = Database::checkFile(givenSource, true); !r.isEmpty()) {
        result.reason = r;
        return result;
    }
    // Even a read-only connection makes an index beside a file in
    // write-ahead-log mode and may play its log into it: such a source is
    // read from a private copy of the file and its log.
    QTemporaryDir snapshot;
    QString sourcePath = givenSource;
    if (inWalMode(givenSource)) {
        sourcePath = snapshot.filePath(FileName);
        const QString log = givenSource + QStringLiteral("-wal");
        if (!snapshot.isValid() || !QFile::copy(givenSource, sourcePath)
            || (QFileInfo::exists(log) && !QFile::copy(log, sourcePath + QStringLiteral("-wal")))) {
            result.reason = QStringLiteral("Cannot read %1: no room for a copy of it").arg(givenSource);
            return result;
        }
        QFile::setPermissions(sourcePath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    FileSystem::removeAbandonedTemporaries(folderOf(livePath));
    RetryPolicy ownPolicy;
    RetryPolicy& policy = connection ? connection->retry() : ownPolicy;
    std::unique_ptr<TemporaryFile> copy;
    if (QString r = checkedCopy(sourcePath, SQLITE_OPEN_READONLY, folderOf(livePath),
            QFileInfo::exists(livePath) ? livePath : sourcePath, policy, copy);
        !r.isEmpty()) {
        result.reason = r;
        return result;
    }

    // A closed connection is one an earlier, failed attempt left closed.
    const bool reopen = connection
        && (!connection->isOpen()
            || QFileInfo(connection->path()).absoluteFilePath() == QFileInfo(livePath).absoluteFilePath());
    if (reopen)
        connection->close();
    const QString replaced = replaceLiveFile(copy->path(), livePath, policy);
    if (replaced.isEmpty())
        copy->release();
    result.replaced = replaced.isEmpty();
    result.reason = replaced;
    if (reopen) {
        const Database::OpenResult opened = connection->open(livePath, false);
        if (!opened.ok && result.reason.isEmpty())
            result.reason = opened.message;
    }
    return result;
}

QString BackupRestore::backupServer(Database& server, const QString& targetPath)
{
    Contents contents;
    const Result read = server.read([&](QSqlDatabase& db) {
        return inSnapshot(db, [&](QSqlDatabase& tdb) { return readContents(tdb, contents); });
    });
    if (!read.ok())
        return read.message;
    const QString folder = folderOf(targetPath);
    FileSystem::removeAbandonedTemporaries(folder);
    std::unique_ptr<TemporaryFile> copy;
    if (QString r
        = writeFileCopy(contents, folder, QFileInfo::exists(targetPath) ? targetPath : QString(), server.path(), copy);
        !r.isEmpty())
        return r;
    if (QString r = FileSystem::replace(copy->path(), targetPath); !r.isEmpty())
        return r;
    copy->release();
    return FileSystem::flushFolder(folder);
}

QString BackupRestore::restoreServer(const QString& sourcePath, Database& server, const QString& keptFolder)
{
    if (QString r = Database::checkFile(sourcePath, true); !r.isEmpty())
        return r;
    Contents contents;
    if (QString r = readFileContents(sourcePath, contents); !r.isEmpty())
        return r;
    if (QString r = backupServer(server, keptFolder + QLatin1Char('/') + KeptName); !r.isEmpty())
        return r;

    const Result s = server.write([&](QSqlDatabase& db) {
        // A desk still showing a day saves onto it by comparing contents;
        // each restored day also gets a version above the one it replaces.
        QHash<QString, qint64> versions;
        QSqlQuery old(db);
        Result r = Database::exec(old, QStringLiteral("SELECT CalDate, Version FROM tbl_Appt"));
        if (!r.ok())
            return r;
        while (old.next())
            versions.insert(old.value(0).toString(), old.value(1).toLongLong());
        Contents restored = contents;
        for (QVariantList& row : restored[0].rows) {
            const qint64 was = versions.value(row[ApptCalDate].toString(), 0);
            row[ApptVersion] = std::max(row[ApptVersion].toLongLong(), was) + 1;
        }
        r = replaceContents(db, restored);
        if (!r.ok())
            return r;
        // The desks read their shown day again, the restored record its new
        // base: merged against the replaced one, it would keep texts the
        // restore took away.
        r = Database::announceRestore(db);
        if (!r.ok())
            return r;
        // The ids came from the file: new records continue after them.
        for (const TableRows& t : restored) {
            QSqlQuery q(db);
            r = Database::exec(q,
                QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), "
                               "(SELECT COALESCE(MAX(id), 0) + 1 FROM %2), false)")
                    .arg(t.table.toLower(), t.table));
            if (!r.ok())
                return r;
        }
        return Result::success();
    });
    return s.ok() ? QString() : s.message;
}
