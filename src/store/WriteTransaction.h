#pragma once

#include "core/Result.h"

#include <QSqlDatabase>
#include <functional>

// A write transaction that rolls back unless committed. BEGIN and COMMIT go
// through QSqlQuery so that a busy COMMIT keeps its SQLite code.
class WriteTransaction
{
public:
    explicit WriteTransaction(QSqlDatabase& db);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    Result begin();
    Result commit();

    // Runs body in a transaction of its own; a failed body rolls back.
    static Result run(QSqlDatabase& db, const std::function<Result(QSqlDatabase&)>& body);

private:
    QSqlDatabase& m_db;
    bool m_active = false;
};
