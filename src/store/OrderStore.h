#pragma once

#include "store/OrderRecord.h"
#include "store/StoreStatus.h"

class Database;

class OrderStore
{
public:
    explicit OrderStore(Database& db)
        : m_db(db)
    {
    }

    StoreStatus read(OrderRecord& out);
    StoreStatus write(const OrderRecord& r);

private:
    Database& m_db;
};
