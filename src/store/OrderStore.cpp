#include "store/OrderStore.h"

#include "store/Database.h"

#include <QSqlQuery>

namespace {
const QString FirstRecord = QStringLiteral("id = (SELECT MIN(id) FROM tbl_Order)");

QVariant text(const QString& s)
{
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}
} // namespace

Result OrderStore::read(OrderRecord& out)
{
    return m_db.read([&](QSqlDatabase& conn) {
        QSqlQuery q(conn);
        Result r = Database::exec(q,
            QStringLiteral("SELECT Name, Address, City, State, Zip, Country, Phone, Fax, Contact, Practice, OrderDate "
                           "FROM tbl_Order WHERE %1")
                .arg(FirstRecord));
        if (!r.ok())
            return r;
        if (!q.next())
            return Result::failed(QStringLiteral("the order record is missing"));
        OrderRecord o;
        QString* fields[] = {&o.name, &o.address, &o.city, &o.state, &o.zip, &o.country, &o.phone, &o.fax, &o.contact,
            &o.practice, &o.orderDate};
        for (int i = 0; i < 11; ++i)
            *fields[i] = q.value(i).toString();
        out = o;
        return r;
    });
}

Result OrderStore::write(const OrderRecord& o)
{
    return m_db.write([&](QSqlDatabase& conn) {
        QSqlQuery q(conn);
        Result r = Database::exec(q,
            QStringLiteral("UPDATE tbl_Order SET Name = ?, Address = ?, City = ?, State = ?, Zip = ?, Country = ?, "
                           "Phone = ?, Fax = ?, Contact = ?, Practice = ?, OrderDate = ? WHERE %1")
                .arg(FirstRecord),
            {text(o.name), text(o.address), text(o.city), text(o.state), text(o.zip), text(o.country), text(o.phone),
                text(o.fax), text(o.contact), text(o.practice), text(o.orderDate)});
        if (r.ok() && q.numRowsAffected() != 1)
            return Result::failed(QStringLiteral("the order record is missing"));
        return r;
    });
}
