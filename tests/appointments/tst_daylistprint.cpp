#include "RecordingPrintTarget.h"
#include "appointments/DayListPrint.h"
#include "appointments/DaySheet.h"

#include "TestSupport.h"

#include <QTest>

namespace {
// A page of n providers and three time rows; every provider has one booking
// at 09:00 AM and nothing at 08:30 AM.
DaySheet sheetOf(int providers)
{
    DaySheet s = DaySheet::forDay(TestSupport::Today);
    s.timeTexts = {QStringLiteral("08:00 AM"), QStringLiteral("08:30 AM"), QStringLiteral("09:00 AM")};
    for (int c = 1; c <= providers; ++c)
        s.providerNames.append(QStringLiteral("Provider %1").arg(c));
    for (int r = 1; r <= 5; ++r) {
        QStringList row;
        for (int c = 1; c <= providers; ++c) {
            if (r == 2)
                row.append(QStringLiteral("EARLY %1").arg(c));
            else if (r == 4)
                row.append(QStringLiteral("CLIENT %1").arg(c));
            else if (r == 1 || r == 5)
                row.append(QStringLiteral("NOTE %1 %2").arg(r).arg(c));
            else
                row.append(QString());
        }
        s.cells.append(row);
    }
    return s;
}
} // namespace

class TestDayListPrint : public QObject
{
    Q_OBJECT
private slots:
    void onePagePerProvider_data();
    void onePagePerProvider();
    void failureStopsAtOnce_data();
    void failureStopsAtOnce();
};

void TestDayListPrint::onePagePerProvider_data()
{
    QTest::addColumn<int>("providers");
    QTest::newRow("one") << 1;
    QTest::newRow("eight") << 8;
}

void TestDayListPrint::onePagePerProvider()
{
    QFETCH(int, providers);
    RecordingPrintTarget t;
    QVERIFY(DayListPrint::print(t, sheetOf(providers)));
    QVERIFY(t.ended());
    QCOMPARE(t.pageCount(), providers);
    QCOMPARE(t.describe().count(QStringLiteral("newpage")), providers - 1);
    for (int page = 1; page <= providers; ++page) {
        const QStringList lines = t.pageLines(page);
        QCOMPARE(lines.size(), 8 + 2 + 1 + 2 + 2 * 3 + 2);
        for (int n = 0; n < 8; ++n)
            QVERIFY(lines[n].isEmpty());
        QCOMPARE(lines[8], QString(9, ' ') + QStringLiteral("Appointment Schedule:   Wednesday,  5/15/24"));
        QCOMPARE(lines[10], QString(10, ' ') + QStringLiteral("Time     Provider %1").arg(page));
        QCOMPARE(lines[12], QString(30, ' ') + QStringLiteral("NOTE 1 %1").arg(page));
        QCOMPARE(lines[14], QString(14, ' ') + QStringLiteral("08:00 AM       EARLY %1").arg(page));
        // The empty slot keeps its line.
        QCOMPARE(lines[16], QString(14, ' ') + QStringLiteral("08:30 AM       "));
        QCOMPARE(lines[18], QString(14, ' ') + QStringLiteral("09:00 AM       CLIENT %1").arg(page));
        QCOMPARE(lines[20], QString(30, ' ') + QStringLiteral("NOTE 5 %1").arg(page));
    }
}

void TestDayListPrint::failureStopsAtOnce_data()
{
    QTest::addColumn<int>("failAt");
    QTest::addColumn<int>("pages");
    QTest::newRow("in the lists") << 20 << 1;
    // Three pages of 27 calls and two page breaks: call 83 ends the document.
    QTest::newRow("handing over") << 83 << 3;
}

void TestDayListPrint::failureStopsAtOnce()
{
    QFETCH(int, failAt);
    QFETCH(int, pages);
    RecordingPrintTarget t;
    t.failAtCall(failAt, QStringLiteral("Out of paper"));
    QVERIFY(!DayListPrint::print(t, sheetOf(3)));
    QCOMPARE(t.errorString(), QStringLiteral("Out of paper"));
    QCOMPARE(t.calls().size(), failAt);
    QVERIFY(!t.ended());
    QCOMPARE(t.pageCount(), pages);
}

QTEST_GUILESS_MAIN(TestDayListPrint)
#include "tst_daylistprint.moc"
