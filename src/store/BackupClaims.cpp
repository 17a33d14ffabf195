#include "store/BackupClaims.h"

#include "store/Database.h"
#include "store/WriteTransaction.h"

#include <QSqlQuery>

namespace BackupClaims {
namespace {
const QString DayFormat = QStringLiteral("yyyy-MM-dd");

// A transaction of its own, retried when the server calls it a conflict.
// Not Database::write: the other desks need not hear of a claim.
Result inTransaction(Database& server, const std::function<Result(QSqlDatabase&)>& body)
{
    return server.retry().run([&] {
        QSqlDatabase db = server.connection();
        return WriteTransaction::run(db, body);
    });
}
} // namespace

Result claim(Database& server, const QDate& day, const QString& desk, bool& granted)
{
    granted = false;
    return inTransaction(server, [&](QSqlDatabase& db) {
        QSqlQuery old(db);
        if (Result r = Database::exec(old, QStringLiteral("DELETE FROM ledgerly_backup_day WHERE day < ?"),
                {day.addDays(-KeptDays).toString(DayFormat)});
            !r.ok())
            return r;
        // The row is made, or a stale claim taken over, by this one statement;
        // a desk that meets another's claim changes no row.
        QSqlQuery q(db);
        Result r = Database::exec(q,
            QStringLiteral("INSERT INTO ledgerly_backup_day (day, desk) VALUES (?, ?) ON CONFLICT (day) DO UPDATE "
                           "SET desk = EXCLUDED.desk, claimed = now() WHERE NOT ledgerly_backup_day.done AND "
                           "ledgerly_backup_day.claimed < now() - make_interval(hours => %1)")
                .arg(StaleHours),
            {day.toString(DayFormat), desk});
        granted = r.ok() && q.numRowsAffected() == 1;
        return r;
    });
}

Result settle(Database& server, const QDate& day, const QString& desk, bool made)
{
    return inTransaction(server, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        return Database::exec(q,
            made ? QStringLiteral("UPDATE ledgerly_backup_day SET done = true WHERE day = ? AND desk = ?")
                 : QStringLiteral("DELETE FROM ledgerly_backup_day WHERE day = ? AND desk = ? AND NOT done"),
            {day.toString(DayFormat), desk});
    });
}

QString createStatement()
{
    return QStringLiteral("CREATE TABLE ledgerly_backup_day (day TEXT PRIMARY KEY, desk TEXT NOT NULL, "
                          "claimed TIMESTAMPTZ NOT NULL DEFAULT now(), done BOOLEAN NOT NULL DEFAULT false)");
}
} // namespace BackupClaims
