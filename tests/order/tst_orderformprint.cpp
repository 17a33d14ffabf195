#include "RecordingPrintTarget.h"
#include "core/OrderRecord.h"
#include "order/OrderFormPrint.h"

#include <QTest>

namespace {
OrderRecord sample()
{
    OrderRecord o;
    o.name = QStringLiteral("NORTH CLINIC");
    o.city = QStringLiteral("LEEDS");
    o.orderDate = QStringLiteral("15/05/2024");
    return o;
}
} // namespace

// What the form looks like on paper is checked by the order window's test,
// which prints it to a PDF and reads it back.
class TestOrderFormPrint : public QObject
{
    Q_OBJECT
private slots:
    void onePageWithALongValueOnItsLine();
    void failureStopsAtOnce();
};

void TestOrderFormPrint::onePageWithALongValueOnItsLine()
{
    OrderRecord o = sample();
    o.address = QString(300, QLatin1Char('X'));
    RecordingPrintTarget t;
    QVERIFY(OrderFormPrint::print(t, o));
    const QStringList calls = t.describe();
    QCOMPARE(calls.first(), QStringLiteral("reset"));
    QCOMPARE(calls.last(), QStringLiteral("end"));
    QCOMPARE(calls.count(QStringLiteral("end")), 1);
    QCOMPARE(t.pageCount(), 1);
    QVERIFY(calls.contains(QStringLiteral("print {11}%1|").arg(o.address)));
}

void TestOrderFormPrint::failureStopsAtOnce()
{
    RecordingPrintTarget t;
    t.failAtCall(30, QStringLiteral("Printer offline"));
    QVERIFY(!OrderFormPrint::print(t, sample()));
    QCOMPARE(t.calls().size(), 30);
    QVERIFY(!t.ended());
    QCOMPARE(t.errorString(), QStringLiteral("Printer offline"));
}

QTEST_GUILESS_MAIN(TestOrderFormPrint)
#include "tst_orderformprint.moc"
