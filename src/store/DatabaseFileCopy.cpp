#include "store/DatabaseFileCopy.h"

#include "platform/FileSystem.h"
#include "store/RetryPolicy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
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

// A connection of SQLite's own; none, and opened says why, when it fails.
Connection openFile(const QString& path, int flags, Result& opened)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    Connection db(raw, &sqlite3_close_v2);
    opened = Result::success();
    if (rc != SQLITE_OK) {
        opened = Result::failed(QStringLiteral("Cannot open %1: %2").arg(path, errorOf(raw)));
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
Result copyByBackup(sqlite3* from, const QString& source, const QString& target, RetryPolicy& policy)
{
    Result opened;
    Connection to = openFile(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, opened);
    if (!to)
        return opened;
    sqlite3_backup* backup = sqlite3_backup_init(to.get(), "main", from, "main");
    if (!backup)
        return Result::failed(QStringLiteral("Cannot copy %1: %2").arg(source, errorOf(to.get())));
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
        return st;
    if (!st.ok())
        return Result::failed(QStringLiteral("Cannot copy %1: %2").arg(source, st.message));
    if (finished != SQLITE_OK)
        return Result::failed(QStringLiteral("Cannot copy %1: %2").arg(source, errorOf(to.get())));
    return Result::success();
}

// The same consistency at the speed of a file copy: the file is copied byte
// for byte while a read transaction holds its shared lock, so no other copy
// of the program can write it meanwhile (starting the transaction also rolls
// back what a writer that died may have left). The bytes are read through
// SQLite's own handle of the file: opening and closing the file once more in
// this process would drop the locks SQLite holds on it.
Result copyLocked(sqlite3* from, const QString& source, const QString& target, RetryPolicy& policy)
{
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(from, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods)
        return Result::failed(QStringLiteral("Cannot copy %1: the file cannot be read").arg(source));
    const Result locked = policy.run([&] {
        const int rc = sqlite3_exec(from, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            return Result::success();
        const Result st = isBusy(rc) ? Result::busy(inUse(source)) : Result::failed(errorOf(from));
        sqlite3_exec(from, "ROLLBACK", nullptr, nullptr, nullptr);
        return st;
    });
    if (locked.code == Result::Busy)
        return locked;
    if (!locked.ok())
        return Result::failed(QStringLiteral("Cannot copy %1: %2").arg(source, locked.message));

    Result copied;
    sqlite3_int64 size = 0;
    // Written unbuffered so that a failure tells its cause (errno).
    const auto cannotWrite = [&target](int error) {
        return Result::failed(FileSystem::describeFailure(
            QStringLiteral("Cannot write the copy in %1").arg(QFileInfo(target).absolutePath()), error));
    };
    const int out = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (file->pMethods->xFileSize(file, &size) != SQLITE_OK) {
        copied = Result::failed(QStringLiteral("Cannot copy %1: its size cannot be read").arg(source));
    } else if (out < 0) {
        copied = cannotWrite(errno);
    } else {
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (sqlite3_int64 at = 0; at < size && copied.ok();) {
            const int n = int(std::min<sqlite3_int64>(chunk.size(), size - at));
            if (file->pMethods->xRead(file, chunk.data(), n, at) != SQLITE_OK) {
                copied = Result::failed(QStringLiteral("Cannot copy %1: it cannot be read").arg(source));
                break;
            }
            for (int done = 0; done < n;) {
                const ssize_t w = ::write(out, chunk.constData() + done, size_t(n - done));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0) {
                    copied = cannotWrite(w < 0 ? errno : ENOSPC);
                    break;
                }
                done += int(w);
            }
            at += n;
        }
    }
    if (out >= 0 && ::close(out) != 0 && copied.ok())
        copied = cannotWrite(errno);
    sqlite3_exec(from, "ROLLBACK", nullptr, nullptr, nullptr);
    return copied;
}

} // namespace

namespace DatabaseFileCopy {

// A file in write-ahead-log mode (not one this program makes) keeps part of
// its content beside it, so only SQLite's backup copies it whole.
Result copy(const QString& source, Source access, const QString& target, RetryPolicy& policy)
{
    Result opened;
    Connection from
        = openFile(source, access == Source::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, opened);
    if (!from)
        return opened;
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

WriteLock::WriteLock() = default;

WriteLock::~WriteLock()
{
    if (m_db)
        sqlite3_close_v2(m_db);
}

Result WriteLock::take(const QString& path, RetryPolicy& policy)
{
    Result opened;
    Connection db = openFile(path, SQLITE_OPEN_READWRITE, opened);
    if (!db)
        return Result::success();
    m_db = db.release();
    if (execute(m_db, "BEGIN IMMEDIATE", policy).code == Result::Busy)
        return Result::busy(inUse(path));
    return Result::success();
}

void WriteLock::release()
{
    if (m_db)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

} // namespace DatabaseFileCopy
