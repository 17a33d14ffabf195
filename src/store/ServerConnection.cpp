#include "store/ServerConnection.h"

#include "store/Database.h"
#include "store/DatabaseCheck.h"
#include "store/RetryPolicy.h"
#include "store/SchemaMigration.h"
#include "store/ServerWatchdog.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrlQuery>
#include <libpq-fe.h>

namespace {

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

// libpq's reason for a failed connect, in plain words where it is a common
// one; anything else (a wrong name, a refused login) is for whoever set the
// server up, and stays as the server said it.
QString whyNotConnected(const QString& libpqText)
{
    const QString text = libpqText.toLower();
    if (text.contains(QLatin1String("timeout expired")))
        return ServerConnection::NoAnswerText;
    for (const char* down : {"connection refused", "no such file or directory", "is the server running", "starting up",
             "shutting down", "in recovery mode", "could not translate host name"}) {
        if (text.contains(QLatin1String(down)))
            return QStringLiteral("the database server cannot be reached");
    }
    return libpqText.trimmed();
}

} // namespace

ServerConnection::ServerConnection(const QString& connectionName, const QUrl& url)
    : m_connectionName(connectionName)
    , m_url(url)
    , m_address(url.toString(QUrl::RemovePassword))
{
}

ServerConnection::~ServerConnection() = default;

QSqlDatabase ServerConnection::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

bool ServerConnection::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && connection().isOpen();
}

Result ServerConnection::open(RetryPolicy& retry, const Progress& migrationProgress)
{
    if (!m_url.isValid() || m_url.path().size() < 2)
        return Result::failed(QStringLiteral("The database address %1 is not valid: it must be "
                                             "postgresql://USER@HOST[:PORT]/DBNAME")
                                  .arg(m_address));
    if (!m_url.password().isEmpty())
        return Result::failed(
            QStringLiteral("The database address %1 holds a password: keep it in ~/.pgpass or PGPASSWORD instead")
                .arg(m_address));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return Result::failed(
            QStringLiteral("The database %1 cannot be opened: Qt's PostgreSQL driver (QPSQL) is not installed")
                .arg(m_address));

    m_watchdog = std::make_unique<ServerWatchdog>();
    if (Result connected = connect(); !connected.ok())
        return Result::failed(QStringLiteral("The database %1 cannot be opened: %2").arg(m_address, connected.message));

    // Only a busy check is tried again; what the checks find wins over a
    // server that answered them too late.
    Result checked;
    Result s = retry.run([&] {
        return withinAnswerTime([&] {
            QSqlDatabase db = connection();
            checked = DatabaseCheck::checkServer(db, m_address);
            return checked.code == Result::Busy ? checked : Result::success();
        });
    });
    if (!checked.ok())
        return checked;
    if (!s.ok())
        return s;
    s = retry.run([&] {
        return withinAnswerTime([&] {
            QSqlDatabase db = connection();
            return SchemaMigration::migrate(db, migrationProgress);
        });
    });
    if (s.ok()) {
        s = withinAnswerTime([&] {
            QSqlDatabase db = connection();
            checked = DatabaseCheck::checkSchema(db, m_address, DatabaseCheck::Reading::SchemaOnly);
            return Result::success();
        });
    }
    if (!checked.ok())
        return checked;
    if (!s.ok())
        s.message = QStringLiteral("The database %1 cannot be opened: %2").arg(m_address, s.message);
    return s;
}

// Connects (again) and sets up the session: a bounded wait for row locks, and
// the subscription to the other desks' change notifications. Each time on a
// new driver: Qt's PostgreSQL driver cannot close a connection that broke (it
// keeps the old one's subscriptions and socket watch), so it is dropped whole.
Result ServerConnection::connect()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        connection().close();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
        const QUrlQuery query(m_url);
        // host=/folder in the query names a Unix socket folder, as libpq does.
        db.setHostName(
            query.hasQueryItem(QStringLiteral("host")) ? query.queryItemValue(QStringLiteral("host")) : m_url.host());
        if (m_url.port() > 0)
            db.setPort(m_url.port());
        db.setUserName(m_url.userName());
        db.setDatabaseName(m_url.path().mid(1));
        db.setConnectOptions(ServerConnectOptions);
    }
    QSqlDatabase db = connection();
    if (!db.open())
        return Result::failed(whyNotConnected(db.lastError().databaseText()));
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
    if (!session.ok())
        return session;
    // The driver goes with the connection, and the subscription with it.
    QObject::connect(driver, &QSqlDriver::notification, driver,
        [this](const QString& name, QSqlDriver::NotificationSource source, const QVariant& payload) {
            if (name != ChangeChannel || source == QSqlDriver::SelfSource)
                return;
            ++m_notifications;
            if (onNotification)
                onNotification(payload.toString() == RestoreNotice);
        });
    m_lost = false;
    m_lostWhy.clear();
    return Result::success();
}

Result ServerConnection::reconnectIfLost()
{
    if (!m_lost && isOpen())
        return Result::success();
    if (!m_lost) {
        // The driver found the connection broken on its own, reading the
        // server's farewell while it looked for notifications. Told like a
        // failed statement: the next access connects again.
        m_lost = true;
        m_lostWhy = ConnectionLostText;
        return Result::failed(m_lostWhy);
    }
    return connect();
}

void ServerConnection::noteFailure(const Result& s)
{
    if (m_lost || s.ok() || s.code == Result::Busy)
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

Result ServerConnection::explainFailure(Result s) const
{
    if (m_lost && s.code == Result::Failed)
        s.message = m_lostWhy;
    return s;
}

Result ServerConnection::withinAnswerTime(const std::function<Result()>& step)
{
    if (!m_watchdog)
        return step();
    m_watchdog->arm(socket(), std::chrono::milliseconds(ServerAnswerMillis));
    const Result s = step();
    if (!m_watchdog->disarm())
        return s;
    m_lost = true;
    m_lostWhy = NoAnswerText;
    return Result::failed(m_lostWhy);
}

int ServerConnection::socket() const
{
    if (!isOpen())
        return -1;
    const QVariant v = connection().driver()->handle();
    // Qt names the type by its struct.
    if (v.isValid() && (qstrcmp(v.typeName(), "PGconn*") == 0 || qstrcmp(v.typeName(), "pg_conn*") == 0))
        return PQsocket(*static_cast<PGconn* const*>(v.constData()));
    return -1;
}

Result ServerConnection::notifyChange(QSqlDatabase& db)
{
    QSqlQuery notify(db);
    return Database::exec(notify, QStringLiteral("NOTIFY %1").arg(ChangeChannel));
}

Result ServerConnection::announceRestore(QSqlDatabase& db)
{
    QSqlQuery q(db);
    return Database::exec(q, QStringLiteral("NOTIFY %1, '%2'").arg(ChangeChannel, RestoreNotice));
}
