#pragma once

#include <QString>

// The one tbl_Order record.
struct OrderRecord
{
    QString name, address, city, state, zip, country, phone, fax, contact, practice, orderDate;
};
