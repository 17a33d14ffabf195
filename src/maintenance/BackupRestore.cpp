#include "maintenance/BackupRestore.h"

#include "platform/FileSystem.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/DatabaseFileCopy.h"
#include "store/DatabaseRecords.h"
#include "store/DaySearchIndex.h"
#include "store/RetryPolicy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

namespace {

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

// A copy that is not sound is refused, whatever kept the check from passing.
Result checkCopy(const QString& path, const QString& source)
{
    if (Result checked = Database::checkFile(path, true); !checked.ok())
        return Result::failed(QStringLiteral("The copy of %1 is not sound: %2").arg(source, checked.message));
    return Result::success();
}

// Writes a copy of source into folder under a temporary name, flushed and
// then checked, so that nothing but the rename comes between the check and
// the copy taking its place; out names it when it succeeds. The copy takes
// the access rights of permissionsOf (a temporary file is private to its
// owner, and a database in a shared folder must stay readable by the other
// users).
Result checkedCopy(const QString& source, DatabaseFileCopy::Source access, const QString& folder,
    const QString& permissionsOf, RetryPolicy& policy, std::unique_ptr<TemporaryFile>& out)
{
    QString path;
    if (Result r = FileSystem::createTemporary(folder, path); !r.ok())
        return r;
    auto tmp = std::make_unique<TemporaryFile>(path);
    // Media without access rights (FAT) refuse this harmlessly.
    QFile::setPermissions(path, QFileInfo(permissionsOf).permissions());
    if (Result r = DatabaseFileCopy::copy(source, access, path, policy); !r.ok())
        return r;
    if (Result r = FileSystem::flush(path); !r.ok())
        return r;
    if (Result r = checkCopy(path, source); !r.ok())
        return r;
    out = std::move(tmp);
    return Result::success();
}

// Keeps the live file's present content as db-before-restore.mdb: a second
// name for the same data where the medium allows it, else a copy.
Result keepLiveFile(const QString& livePath, RetryPolicy& policy)
{
    const QString folder = folderOf(livePath);
    const QString kept = folder + QLatin1Char('/') + BackupRestore::KeptName;
    QString linked;
    if (Result r = FileSystem::createTemporary(folder, linked); !r.ok())
        return r;
    TemporaryFile name(linked);
    QFile::remove(linked);
    if (FileSystem::link(livePath, linked).ok())
        return FileSystem::replace(linked, kept);

    std::unique_ptr<TemporaryFile> copy;
    if (Result r = checkedCopy(livePath, DatabaseFileCopy::Source::ReadOnly, folder, livePath, policy, copy); !r.ok())
        return r;
    if (Result r = FileSystem::replace(copy->path(), kept); !r.ok())
        return r;
    copy->release();
    return Result::success();
}

// Puts the restored file in place of the live one while holding the live
// file's write lock, so that no other copy is half-way through a write and no
// journal of the old file is left to be played back onto the new one.
Result replaceLiveFile(const QString& restored, const QString& livePath, RetryPolicy& policy)
{
    DatabaseFileCopy::WriteLock lock;
    if (QFileInfo::exists(livePath)) {
        if (Result r = lock.take(livePath, policy); !r.ok())
            return r;
        if (Result r = keepLiveFile(livePath, policy); !r.ok())
            return r;
    }
    // Before the rename: once the restored file is in place, another copy
    // may follow it at once and be writing its own journal there.
    QFile::remove(livePath + QStringLiteral("-journal"));
    if (Result r = FileSystem::replace(restored, livePath); !r.ok())
        return r;
    lock.release();
    return FileSystem::flushFolder(folderOf(livePath));
}

// Writes records as a new db.mdb under a temporary name in folder, flushed
// and then checked; out names it when it succeeds.
Result writeFileCopy(const DatabaseRecords& records, const QString& folder, const QString& permissionsOf,
    const QString& source, std::unique_ptr<TemporaryFile>& out)
{
    QString path;
    if (Result r = FileSystem::createTemporary(folder, path); !r.ok())
        return r;
    auto tmp = std::make_unique<TemporaryFile>(path);
    // The file is made whole where none exists yet.
    QFile::remove(path);
    if (Result r = records.writeNewFile(path, source); !r.ok())
        return r;
    // A back-up replacing an earlier one keeps its access rights. Media
    // without access rights (FAT) refuse this harmlessly.
    if (!permissionsOf.isEmpty())
        QFile::setPermissions(path, QFileInfo(permissionsOf).permissions());
    if (Result r = FileSystem::flush(path); !r.ok())
        return r;
    if (Result r = checkCopy(path, source); !r.ok())
        return r;
    out = std::move(tmp);
    return Result::success();
}
// A back-up's search index is not taken on trust: one that does not match
// its pages (a file changed by another program) would miss appointments,
// and later saves would take out entries it never held. The copy's index
// is made again from its own pages (an older file's is made on opening).
Result rebuildSearchIndex(const QString& path)
{
    Database copy(QStringLiteral("restore-index"));
    Result r = copy.open(path, false);
    if (r.ok())
        r = copy.write([](QSqlDatabase& db) { return DaySearchIndex::rebuild(db); });
    copy.close();
    return r;
}
// The restored file's history tells what the restore changed, slot by slot,
// against the replaced file kept beside it. A replaced file too damaged to
// read has nothing to compare with.
void recordRestore(const QString& livePath, Database* connection)
{
    Database replaced(QStringLiteral("restore-replaced"));
    ChangeHistory::Content before;
    const QString kept = folderOf(livePath) + QLatin1Char('/') + BackupRestore::KeptName;
    if (!QFileInfo::exists(kept) || !replaced.openReadOnly(kept).ok()
        || !replaced.read([&](QSqlDatabase& db) { return ChangeHistory::readContent(db, before); }).ok())
        return;
    replaced.close();
    Database own(QStringLiteral("restore-record"));
    Database* live = connection && connection->isOpen() ? connection : &own;
    if (live == &own && !own.open(livePath, false).ok())
        return;
    static_cast<void>(live->write([&](QSqlDatabase& db) { return ChangeHistory::recordReplacement(db, before); }));
}
} // namespace

Result BackupRestore::folderFromText(const QString& text, QString& folder)
{
    // Blanks around a typed path are dropped, unless they belong to the name
    // of a folder that exists (one chosen in the folder dialog, say).
    const QString typed = QFileInfo(text).isAbsolute() && QFileInfo(text).isDir() ? text : text.trimmed();
    const QString fullPathNeeded
        = QStringLiteral("Please give the folder's full path, starting with / (or ~ for your home folder).");
    if (typed.isEmpty())
        return Result::failed(QStringLiteral("No folder is given. ") + fullPathNeeded);
    QString path = typed;
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + typed.mid(1);
    if (!path.startsWith(QLatin1Char('/')))
        return Result::failed(QStringLiteral("\"%1\" is not a full path. ").arg(typed) + fullPathNeeded);
    folder = QDir::cleanPath(path);
    return Result::success();
}

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

Result BackupRestore::probeDestination(const QString& folderText, const QString& livePath)
{
    const QString folder = folderOf(pathIn(folderText));
    if (Result r = FileSystem::checkFolder(folder); !r.ok())
        return r;
    if (sameFolder(folder, folderOf(livePath)))
        return Result::failed(QStringLiteral("The folder %1 is the program's own data folder").arg(folder));
    QString probe;
    if (Result r = FileSystem::createTemporary(folder, probe); !r.ok())
        return r;
    QFile::remove(probe);
    return Result::success();
}

Result BackupRestore::probeSource(const QString& folderText, const QString& livePath)
{
    const QString path = pathIn(folderText);
    const QString folder = folderOf(path);
    if (Result r = FileSystem::checkFolder(folder); !r.ok())
        return r;
    if (sameFolder(folder, folderOf(livePath)))
        return Result::failed(QStringLiteral("The folder %1 is the program's own data folder").arg(folder));
    if (!QFileInfo::exists(path))
        return Result::failed(QStringLiteral("There is no %1 in the folder %2").arg(FileName, folder));
    return Database::checkFile(path, true);
}

Result BackupRestore::backup(const QString& livePath, const QString& targetPath)
{
    const QString folder = folderOf(targetPath);
    FileSystem::removeAbandonedTemporaries(folder);
    RetryPolicy policy;
    std::unique_ptr<TemporaryFile> copy;
    if (Result r = checkedCopy(livePath, DatabaseFileCopy::Source::ReadWrite, folder,
            QFileInfo::exists(targetPath) ? targetPath : livePath, policy, copy);
        !r.ok())
        return r;
    if (Result r = FileSystem::replace(copy->path(), targetPath); !r.ok())
        return r;
    copy->release();
    return FileSystem::flushFolder(folder);
}

BackupRestore::RestoreOutcome BackupRestore::restore(
    const QString& givenSource, const QString& livePath, Database* connection)
{
    if (Result r = Database::checkFile(givenSource, true); !r.ok())
        return {r};
    // Even a read-only connection makes an index beside a file in
    // write-ahead-log mode and may play its log into it: such a source is
    // read from a private copy of the file and its log.
    QTemporaryDir snapshot;
    QString sourcePath = givenSource;
    if (inWalMode(givenSource)) {
        sourcePath = snapshot.filePath(FileName);
        const QString log = givenSource + QStringLiteral("-wal");
        if (!snapshot.isValid() || !QFile::copy(givenSource, sourcePath)
            || (QFileInfo::exists(log) && !QFile::copy(log, sourcePath + QStringLiteral("-wal"))))
            return {Result::failed(QStringLiteral("Cannot read %1: no room for a copy of it").arg(givenSource))};
        QFile::setPermissions(sourcePath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    FileSystem::removeAbandonedTemporaries(folderOf(livePath));
    RetryPolicy ownPolicy;
    RetryPolicy& policy = connection ? connection->retry() : ownPolicy;
    std::unique_ptr<TemporaryFile> copy;
    if (Result r = checkedCopy(sourcePath, DatabaseFileCopy::Source::ReadOnly, folderOf(livePath),
            QFileInfo::exists(livePath) ? livePath : sourcePath, policy, copy);
        !r.ok())
        return {r};
    if (Result r = rebuildSearchIndex(copy->path()); !r.ok())
        return {r};

    // A closed connection is one an earlier, failed attempt left closed.
    const bool reopen = connection
        && (!connection->isOpen()
            || QFileInfo(connection->path()).absoluteFilePath() == QFileInfo(livePath).absoluteFilePath());
    if (reopen)
        connection->close();
    RestoreOutcome outcome {replaceLiveFile(copy->path(), livePath, policy)};
    outcome.replaced = outcome.result.ok();
    if (outcome.replaced)
        copy->release();
    if (reopen) {
        Result opened = connection->open(livePath, false);
        if (!opened.ok() && outcome.result.ok())
            outcome.result = opened;
    }
    if (outcome.replaced)
        recordRestore(livePath, reopen ? connection : nullptr);
    return outcome;
}

Result BackupRestore::backupServer(Database& server, const QString& targetPath)
{
    DatabaseRecords records;
    if (Result r = records.readServer(server); !r.ok())
        return r;
    const QString folder = folderOf(targetPath);
    FileSystem::removeAbandonedTemporaries(folder);
    std::unique_ptr<TemporaryFile> copy;
    if (Result r
        = writeFileCopy(records, folder, QFileInfo::exists(targetPath) ? targetPath : QString(), server.path(), copy);
        !r.ok())
        return r;
    if (Result r = FileSystem::replace(copy->path(), targetPath); !r.ok())
        return r;
    copy->release();
    return FileSystem::flushFolder(folder);
}

Result BackupRestore::restoreServer(const QString& sourcePath, Database& server, const QString& keptFolder)
{
    if (Result r = Database::checkFile(sourcePath, true); !r.ok())
        return r;
    DatabaseRecords records;
    if (Result r = records.readFile(sourcePath); !r.ok())
        return r;
    if (Result r = backupServer(server, keptFolder + QLatin1Char('/') + KeptName); !r.ok())
        return r;
    return records.replaceServer(server);
}
