#include "store/SqlDialect.h"

#include <QSqlDatabase>

namespace SqlDialect {

bool isServer(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

QString idColumn(const QSqlDatabase& db)
{
    return isServer(db) ? QStringLiteral("id BIGSERIAL PRIMARY KEY") : QStringLiteral("id INTEGER PRIMARY KEY");
}

QString beginWrite(const QSqlDatabase& db)
{
    return isServer(db) ? QStringLiteral("BEGIN ISOLATION LEVEL SERIALIZABLE") : QStringLiteral("BEGIN IMMEDIATE");
}

QString insertIgnoringDuplicate(const QString& table, const QStringList& columns, const QString& key)
{
    QStringList marks;
    for (qsizetype i = 0; i < columns.size(); ++i)
        marks.append(QStringLiteral("?"));
    // ON CONFLICT ... DO NOTHING is understood by SQLite (3.24 and later) and PostgreSQL alike.
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (%4) DO NOTHING")
        .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")), key);
}

} // namespace SqlDialect
