#pragma once

#include "core/Progress.h"
#include "core/Result.h"
#include "store/RetryPolicy.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <functional>
#include <future>
#include <memory>
#include <optional>

class QSqlError;
class QSqlQuery;
class ServerConnection;

// The one database: normally the file db.mdb, a SQLite file in rollback-journal
// mode (safe in a folder shared by several machines), marked with our
// application id and a schema version. A file that is not one of ours is never
// written. For several desks it can instead be a PostgreSQL database, named by
// a postgresql://USER@HOST[:PORT]/DBNAME address; the table ledgerly_meta there
// holds the application id and the schema version. The checks of a file are
// DatabaseCheck's (checkFile() is defined with them), the schema's steps
// SchemaMigration's, and the server connection ServerConnection's; this class
// opens, follows and accesses the database under the retry policy.
class Database
{
public:
    static constexpr qint32 ApplicationId = 0x4C444752; // "LDGR"
    static constexpr int SchemaVersion = 5;

    explicit Database(const QString& connectionName = QStringLiteral("ledgerly"));
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens path; a missing file is created with its first records when
    // createIfMissing. Anything else that is not a sound Ledgerly file is
    // refused and left byte-identical; the failure names the file and says
    // what is wrong with it.
    // A postgresql:// address opens that server database instead; its tables
    // are made on first use when it holds none.
    // Opening a database of an earlier version brings it up to this one
    // first; a step that reads every day record tells migrationProgress of
    // the days done so far out of all of them now and then.
    Result open(const QString& path, bool createIfMissing = true, const Progress& migrationProgress = {});
    // Opens path only to read it, for commands that must never change the
    // file: nothing is created, migrated, switched or put right, and the file
    // (with its journal) stays byte-identical. Besides the checks of open()
    // every page is read once (PRAGMA quick_check), so that a damaged file is
    // refused before anything is shown from it. A file in write-ahead-log
    // mode, or with a save cut off by a crash, is refused: reading either
    // needs a write. A server address opens as open() does.
    // With PageReading::Alongside every page of a file is read on a thread
    // of its own while the caller goes on, and the caller waits for
    // pagesRead() before it shows anything from the file.
    enum class PageReading { First, Alongside };
    Result openReadOnly(const QString& path, PageReading pages = PageReading::First);
    // Waits for the reading of every page that openReadOnly began alongside
    // and tells its outcome (reading again here, under the retry policy, when
    // another copy's lock kept it out); Ok when none was begun.
    Result pagesRead();
    void close();
    bool isOpen() const;
    QString path() const { return m_path; }
    // True when running on a PostgreSQL server rather than a file.
    bool isServer() const { return m_server != nullptr; }
    // True for a postgresql:// (or postgres://) address.
    static bool isServerAddress(const QString& path);

    // Checks a file without writing to it: Ok when it is a Ledgerly database
    // this program can read, else a message that names the file and says why
    // it is not (Busy when another copy's lock kept the check from reading
    // it). With integrity, SQLite's integrity check runs too (it reads the
    // whole file).
    static Result checkFile(const QString& path, bool integrity);
    // Reads the whole file at path (PRAGMA quick_check) on a thread of the
    // global pool, through a read-only connection of its own, so that a window
    // can show its first page at once and learn of damage a moment later.
    // done gets the result of checkFile in context's thread; it is not called
    // when context is gone by then. On a server there is nothing to read:
    // done gets Ok.
    static void checkWholeFileLater(const QString& path, QObject* context, std::function<void(const Result&)> done);

    QSqlDatabase connection() const;
    RetryPolicy& retry() { return m_retry; }

    // Runs body inside BEGIN IMMEDIATE ... COMMIT under the retry policy; the
    // whole transaction is retried when busy. body returns its own status; a
    // non-Ok status rolls back.
    Result write(const std::function<Result(QSqlDatabase&)>& body);
    // Runs a read under the retry policy (no transaction).
    Result read(const std::function<Result(QSqlDatabase&)>& body);
    // Runs a read once: Busy at once when another copy holds the file. For
    // polls, which simply look again on their next turn.
    Result readOnce(const std::function<Result(QSqlDatabase&)>& body);

    // SQLite's data_version of this connection: it changes whenever another
    // connection (another copy of the program) has committed to the file
    // since the previous call, never for this connection's own commits.
    // nullopt while the file is busy or not open. On a server it counts the
    // change notifications received from other connections.
    std::optional<qint64> dataVersion();
    // Called when another connection tells of a commit (server only; the file
    // has no such news and is polled through dataVersion()).
    std::function<void()> onChangedElsewhere;

    // Another copy of the program may restore a back-up, which renames
    // another file over path() while this connection still has the replaced
    // one open. When that happened, closes the replaced file and opens the
    // one now at path(), with the checks of open(). Every access and
    // dataVersion() look first, and a write looks again once it holds the
    // lock, so nothing is ever written into a replaced file. Nothing to do
    // on a server.
    Result followReplacedFile();
    // How often a restore replaced the database under this connection: a
    // replaced file followed, or a restore another desk announced on the
    // server. Records read before are then no base for a merge.
    qint64 replacements() const { return m_replacements; }

    // Maps a failed query to a status: Busy for SQLite's busy and locked codes
    // and for PostgreSQL's serialization failure, deadlock and lock timeout.
    static Result statusOf(const QSqlError& error);
    // Prepares sql on query, binds values in order and executes it; the
    // status of whichever step failed.
    static Result exec(QSqlQuery& query, const QString& sql, const QVariantList& values = {});

private:
    struct FileIdentity
    {
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const FileIdentity&) const = default;
    };
    static std::optional<FileIdentity> identityOf(const QString& path);
    bool fileReplaced() const;

    void removeConnection();
    Result connectFile(const QString& path, bool readOnly);
    Result openServer(const QString& address, const Progress& migrationProgress);
    Result withinAnswerTime(const std::function<Result()>& step);
    Result access(const std::function<Result()>& step, bool retried, const QString& failure);

    QString m_connectionName;
    QString m_path;
    RetryPolicy m_retry;
    std::unique_ptr<ServerConnection> m_server; // on a server
    bool m_readOnly = false; // opened by openReadOnly()
    std::optional<FileIdentity> m_identity; // of the file this connection opened
    std::future<Result> m_pagesRead; // begun by openReadOnly
    qint64 m_replacements = 0;
};
