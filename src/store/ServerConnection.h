#pragma once

#include "core/Progress.h"
#include "core/Result.h"

#include <QSqlDatabase>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class RetryPolicy;
class ServerWatchdog;

// The connection of a Database to a PostgreSQL server, named by a
// postgresql://USER@HOST[:PORT]/DBNAME address: connecting (again after the
// connection broke), the session's bounded waits, the watchdog for a server
// that does not answer, and the notifications through which the desks on one
// server tell each other of their commits and restores.
class ServerConnection
{
public:
    // What a statement comes to when the server is too slow to answer.
    static inline const QString NoAnswerText = QStringLiteral("the database server does not answer");

    // connectionName is the Qt SQL connection this one registers.
    ServerConnection(const QString& connectionName, const QUrl& url);
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    // The address as messages show it; a password is never part of it.
    const QString& address() const { return m_address; }

    // Connects, checks without writing that the database may be used, makes
    // its tables on first use (or brings them up to the schema version), and
    // checks them.
    Result open(RetryPolicy& retry, const Progress& migrationProgress = {});

    // After a lost connection, connects again; Failed when the driver found
    // the connection broken on its own (the next access then connects).
    Result reconnectIfLost();
    // A failed statement may mean the connection broke: then the next access
    // connects again (nothing is lost; the transaction rolled back).
    void noteFailure(const Result& s);
    // What the server said on a broken connection means nothing to a
    // receptionist: the failure says the connection was lost.
    Result explainFailure(Result s) const;
    // Runs step with a limit on how long it waits for the server's answers; a
    // server that does not answer in time loses the connection.
    Result withinAnswerTime(const std::function<Result()>& step);

    // How many commits of other connections were told so far.
    qint64 notifications() const { return m_notifications; }
    // Called for each commit another connection tells of; restore says
    // whether it was a restore's.
    std::function<void(bool restore)> onNotification;

    // Tells the other desks of this transaction's commit; delivered only
    // when (and if) it commits.
    static Result notifyChange(QSqlDatabase& db);
    // Announces a restore to the other desks, inside the restore's
    // transaction, so that it arrives only if that commits.
    static Result announceRestore(QSqlDatabase& db);

private:
    QSqlDatabase connection() const;
    bool isOpen() const;
    Result connect();
    int socket() const;

    QString m_connectionName;
    QUrl m_url;
    QString m_address;
    std::unique_ptr<ServerWatchdog> m_watchdog;
    bool m_lost = false; // the connection broke; the next access connects again
    QString m_lostWhy; // why, in words for the person at the desk
    qint64 m_notifications = 0;
};
