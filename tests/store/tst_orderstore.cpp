#include "TestSupport.h"

#include "store/Database.h"
#include "store/OrderStore.h"

#include <QSqlQuery>
#include <QTest>

using TestSupport::DataFixture;

class TestOrderStore : public QObject
{
    Q_OBJECT

private slots:
    void writeThenRead();
};

void TestOrderStore::writeThenRead()
{
    DataFixture f;
    OrderRecord o;
    o.name = QStringLiteral("NORTH STREET PHYSIO");
    o.address = QStringLiteral("12 NORTH STREET");
    o.city = QStringLiteral("LEEDS");
    o.state = QStringLiteral("WEST YORKSHIRE");
    o.zip = QStringLiteral("LS1 4AB");
    o.country = QStringLiteral("UK");
    o.phone = QStringLiteral("0113 496 0000");
    o.fax = QStringLiteral("0113 496 0001");
    o.contact = QStringLiteral("A. PATEL");
    o.practice = QStringLiteral("PHYSIOTHERAPY");
    o.orderDate = QStringLiteral("15/05/2024");
    QVERIFY(OrderStore(f.db()).write(o).ok());

    OrderRecord back;
    QVERIFY(OrderStore(f.db()).read(back).ok());
    const QStringList want
        = {o.name, o.address, o.city, o.state, o.zip, o.country, o.phone, o.fax, o.contact, o.practice, o.orderDate};
    const QStringList got = {back.name, back.address, back.city, back.state, back.zip, back.country, back.phone,
        back.fax, back.contact, back.practice, back.orderDate};
    QCOMPARE(got, want);

    // Still the one record, edited in place.
    QSqlQuery q(f.db().connection());
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*), MIN(Zip) FROM tbl_Order")) && q.next());
    QCOMPARE(q.value(0).toInt(), 1);
    QCOMPARE(q.value(1).toString(), QStringLiteral("LS1 4AB"));
}

QTEST_GUILESS_MAIN(TestOrderStore)
#include "tst_orderstore.moc"
