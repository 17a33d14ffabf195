#include "store/WriteTransaction.h"

#include "store/Database.h"
#include "store/SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>

WriteTransaction::WriteTransaction(QSqlDatabase& db)
    : m_db(db)
{
}

WriteTransaction::~WriteTransaction()
{
    if (m_active) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("ROLLBACK"));
    }
}

Result WriteTransaction::begin()
{
    QSqlQuery q(m_db);
    if (!q.exec(SqlDialect::beginWrite(m_db)))
        return Database::statusOf(q.lastError());
    m_active = true;
    return Result::success();
}

Result WriteTransaction::commit()
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("COMMIT")))
        return Database::statusOf(q.lastError());
    m_active = false;
    return Result::success();
}

Result WriteTransaction::run(QSqlDatabase& db, const std::function<Result(QSqlDatabase&)>& body)
{
    WriteTransaction tx(db);
    Result s = tx.begin();
    if (!s.ok())
        return s;
    s = body(db);
    if (!s.ok())
        return s;
    return tx.commit();
}
