#include "order/OrderFields.h"
#include "order/OrderFormPrint.h"
#include "order/VendorDetails.h"
#include "platform/RecordingPrintTarget.h"
#include "store/OrderRecord.h"

#include <QTest>

namespace {
using Call = RecordingPrintTarget::Call;

OrderRecord sample()
{
    OrderRecord o;
    o.name = QStringLiteral("NORTH CLINIC");
    o.address = QStringLiteral("1 HIGH STREET");
    o.city = QStringLiteral("LEEDS");
    o.state = QStringLiteral("WEST YORKSHIRE");
    o.zip = QStringLiteral("LS1 1AA");
    o.country = QStringLiteral("UK");
    o.phone = QStringLiteral("0113 000");
    o.fax = QStringLiteral("0113 001");
    o.contact = QStringLiteral("J SMITH");
    o.practice = QStringLiteral("PHYSIOTHERAPY");
    o.orderDate = QStringLiteral("15/05/2024");
    return o;
}

// The index of the first Print call whose text contains needle.
qsizetype findPrint(const RecordingPrintTarget& t, const QString& needle)
{
    for (qsizetype i = 0; i < t.calls().size(); ++i) {
        if (t.calls()[i].kind == Call::Print && RecordingPrintTarget::describe(t.calls()[i]).contains(needle))
            return i;
    }
    return -1;
}
} // namespace

class TestOrderFormPrint : public QObject
{
    Q_OBJECT
private slots:
    void onePageFromResetToEnd();
    void firstLinesUseTheTargetsFont();
    void fieldLines_data();
    void fieldLines();
    void boxesAndLines();
    void fontsOfTitleAndThanks();
    void longValueStaysOnItsLine();
    void failureStopsAtOnce();
};

void TestOrderFormPrint::onePageFromResetToEnd()
{
    RecordingPrintTarget t;
    QVERIFY(OrderFormPrint::print(t, sample()));
    QCOMPARE(t.describe().first(), QStringLiteral("reset"));
    QCOMPARE(t.describe().last(), QStringLiteral("end"));
    QCOMPARE(t.describe().count(QStringLiteral("end")), 1);
    QCOMPARE(t.pageCount(), 1);
}

void TestOrderFormPrint::firstLinesUseTheTargetsFont()
{
    RecordingPrintTarget t;
    QVERIFY(OrderFormPrint::print(t, sample()));
    const QStringList calls = t.describe();
    QCOMPARE(calls.mid(0, 6),
        QStringList({QStringLiteral("reset"), QStringLiteral("print |"), QStringLiteral("print |"),
            QStringLiteral("print |"), QStringLiteral("size 10"), QStringLiteral("bold on")}));
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(t.calls()[i].fontSize, 0);
    QCOMPARE(calls[6], QStringLiteral("print {10}%1,|").arg(VendorDetails::Name));
}

void TestOrderFormPrint::fieldLines_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("spaces");
    const char* labels[] = {"Name:", "Address:", "Town/City:", "State/Province:", "Zip/Postcode:", "Country:", "Phone:",
        "Fax:", "Contact Person:", "Practice Field:", "Order Date:"};
    const int spaces[] = {13, 11, 10, 5, 7, 12, 13, 16, 5, 6, 9};
    for (int i = 0; i < 11; ++i)
        QTest::newRow(labels[i]) << i << QString::fromLatin1(labels[i]) << spaces[i];
}

void TestOrderFormPrint::fieldLines()
{
    QFETCH(int, field);
    QFETCH(QString, label);
    QFETCH(int, spaces);
    const OrderRecord order = sample();
    const QString value = order.*OrderFields[size_t(field)].member;
    RecordingPrintTarget t;
    QVERIFY(OrderFormPrint::print(t, order));
    const QStringList calls = t.describe();
    const qsizetype i = calls.indexOf(QStringLiteral("print {11}%1").arg(label));
    QVERIFY2(i >= 0, qPrintable(label));
    QCOMPARE(calls[i + 1], QStringLiteral("print {%1}%2|").arg(spaces).arg(value));
    QCOMPARE(calls[i + 2], QStringLiteral("print |"));
    QCOMPARE(t.calls()[i].fontSize, 10);
    QCOMPARE(t.calls()[i].bold, false);
    QCOMPARE(t.calls()[i + 1].bold, false);
}

void TestOrderFormPrint::boxesAndLines()
{
    RecordingPrintTarget t;
    QVERIFY(OrderFormPrint::print(t, sample()));
    QStringList figures;
    for (const Call& c : t.calls()) {
        if (c.kind == Call::Line || c.kind == Call::Box || (c.kind == Call::Print && !c.items.isEmpty()))
            figures.append(RecordingPrintTarget::describe(c));
    }
    const qsizetype from = figures.indexOf(QStringLiteral("print {11}Card Holder's Name: "));
    QVERIFY(from >= 0);
    const QStringList expected = {
        QStringLiteral("print {11}Card Holder's Name: "),
        QStringLiteral("box (0,-150) (3500,350)"),
        QStringLiteral("line (0,-100) (0,-100)"),
        QStringLiteral("print {2}Card Number: "),
        QStringLiteral("box (0,-150) (3000,350)"),
        QStringLiteral("print {11}Card Expiry Date:       "),
        QStringLiteral("box (0,-150) (2000,350)"),
        QStringLiteral("line (0,-100) (0,-100)"),
        QStringLiteral("print {8}Card Holder's Signature: "),
        QStringLiteral("box (0,-150) (3000,350)"),
        QStringLiteral("print {8}Thank you for your order!|"),
        QStringLiteral("print {11}Any comments/suggestions/bugs  "),
        QStringLiteral("line (0,200) (6500,0)"),
        QStringLiteral("print {43}"),
        QStringLiteral("line (0,200) (6500,0)"),
        QStringLiteral("print {43}"),
        QStringLiteral("line (0,200) (6500,0)"),
        QStringLiteral("print {43}"),
        QStringLiteral("line (0,200) (6500,0)"),
    };
    QCOMPARE(figures.mid(from), expected);

    // The card number row ends with a line end that starts below the last
    // box, then an empty line; every writing line ends its line.
    const QStringList calls = t.describe();
    const qsizetype number = calls.indexOf(QStringLiteral("box (0,-150) (3000,350)"));
    QCOMPARE(calls.mid(number + 1, 3),
        QStringList({QStringLiteral("print |"), QStringLiteral("print |"),
            QStringLiteral("print {11}Card Expiry Date:       ")}));
    qsizetype lineEnds = 0;
    for (qsizetype i = 0; i + 1 < calls.size(); ++i) {
        if (calls[i] == QStringLiteral("line (0,200) (6500,0)") && calls[i + 1] == QStringLiteral("print |"))
            ++lineEnds;
    }
    QCOMPARE(lineEnds, 4);
}

void TestOrderFormPrint::fontsOfTitleAndThanks()
{
    RecordingPrintTarget t;
    QVERIFY(OrderFormPrint::print(t, sample()));
    const qsizetype title = findPrint(t, QStringLiteral("Order Form|"));
    QVERIFY(title > 0);
    QCOMPARE(t.calls()[title].fontSize, 12);
    QCOMPARE(t.calls()[title].bold, true);
    // Its indent is in the 10-point regular font.
    QCOMPARE(RecordingPrintTarget::describe(t.calls()[title - 3]), QStringLiteral("print {10}"));
    QCOMPARE(t.calls()[title - 3].fontSize, 10);
    QCOMPARE(t.calls()[title - 3].bold, false);

    const qsizetype thanks = findPrint(t, QStringLiteral("Thank you for your order!"));
    QCOMPARE(t.calls()[thanks].fontSize, 12);
    QCOMPARE(t.calls()[thanks].bold, true);

    const qsizetype note = findPrint(t, VendorDetails::PostageNote);
    QCOMPARE(t.calls()[note].fontSize, 9);
    QCOMPARE(t.calls()[note].bold, false);
    QCOMPARE(
        RecordingPrintTarget::describe(t.calls()[note - 3]), QStringLiteral("print {13}%1").arg(VendorDetails::Price));
    QCOMPARE(t.calls()[note - 3].bold, true);
}

void TestOrderFormPrint::longValueStaysOnItsLine()
{
    OrderRecord o = sample();
    o.address = QString(300, QLatin1Char('X'));
    RecordingPrintTarget t;
    QVERIFY(OrderFormPrint::print(t, o));
    const QStringList calls = t.describe();
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
