#pragma once

#include "core/OrderRecord.h"
#include "core/Result.h"

class Database;

class OrderStore
{
public:
    explicit OrderStore(Database& db)
        : m_db(db)
    {
    }

    Result read(OrderRecord& out);
    Result write(const OrderRecord& r);

private:
    Database& m_db;
};
