#pragma once

#include "store/RetryPolicy.h"
#include "store/StoreStatus.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <functional>
#include <optional>

class QSqlError;
class QSqlQuery;

struct sqlite3;

// The one database file, db.mdb: a SQLite file in rollback-journal mode
// (safe in a folder shared by several machines), marked with our application
// id and a schema version. A file that is not one of ours is never written.
class Database {
public:
    static constexpr qint32 ApplicationId = 0x4C444752; // "LDGR"
    static constexpr int SchemaVersion = 1;

    struct OpenResult {
        bool ok = false;
        QString message; // names the file and says what is wrong with it
    };

    explicit Database(const QString& connectionName = QStringLiteral("ledgerly"));
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens path; a missing file is created with its first records when
    // createIfMissing. Anything else that is not a sound Ledgerly file is
    // refused and left byte-identical.
    OpenResult open(const QString& path, bool createIfMissing = true);
    void close();
    bool isOpen() const;
    QString path() const { return m_path; }

    // Checks a file without writing to it: empty text when it is a Ledgerly
    // database this program can read, else a message that names the file and
    // says why it is not. With integrity, SQLite's integrity check runs too
    // (it reads the whole file).
    static QString checkFile(const QString& path);
    static QString checkFile(const QString& path, bool integrity);

    QSqlDatabase connection() const;
    sqlite3* handle() const;
    RetryPolicy& retry() { return m_retry; }

    // Runs body inside BEGIN IMMEDIATE ... COMMIT under the retry policy; the
    // whole transaction is retried when busy. body returns its own status; a
    // non-Ok status rolls back.
    StoreStatus write(const std::function<StoreStatus(QSqlDatabase&)>& body);
    // Runs a read under the retry policy (no transaction).
    StoreStatus read(const std::function<StoreStatus(QSqlDatabase&)>& body);
    // Runs a read once: Busy at once when another copy holds the file. For
    // polls, which simply look again on their next turn.
    StoreStatus readOnce(const std::function<StoreStatus(QSqlDatabase&)>& body);

    // SQLite's data_version of this connection: it changes whenever another
    // connection (another copy of the program) has committed to the file
    // since the previous call, never for this connection's own commits.
    // nullopt while the file is busy or not open.
    std::optional<qint64> dataVersion();

    // Maps a failed query to a status: Busy for SQLite's busy and locked codes.
    static StoreStatus statusOf(const QSqlError& error);
    // Prepares sql on query, binds values in order and executes it; the
    // status of whichever step failed.
    static StoreStatus exec(QSqlQuery& query, const QString& sql, const QVariantList& values = {});

    // The program-wide connection used by the windows.
    static Database* current();
    static void setCurrent(Database* db);

private:
    void removeConnection();

    QString m_connectionName;
    QString m_path;
    RetryPolicy m_retry;
};
