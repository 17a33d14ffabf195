#include "core/DayLayout.h"
#include "core/DayRecord.h"
#include "core/PageText.h"
#include "core/Settings.h"

#include <QTest>

using namespace DayLayoutRules;

namespace {
const QString Eight = QStringLiteral("08:00 AM");
const QString Five = QStringLiteral("05:00 PM");
const QString FourNames = QStringLiteral(" A - B - C - D");
} // namespace

class TestDayLayout : public QObject
{
    Q_OBJECT

private slots:
    void timeRows_data();
    void timeRows();
    void columns_data();
    void columns();
    void headers_data();
    void headers();
    void parseTime_data();
    void parseTime();
    void fromSettingsAndRecord();
};

void TestDayLayout::timeRows_data()
{
    QTest::addColumn<QString>("open");
    QTest::addColumn<QString>("close");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("times");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("openUsed");
    QTest::addColumn<int>("slotUsed");

    auto row = [](const char* name, const QString& open, const QString& close, int slot, int times, const char* first,
                   const char* last, const QString& openUsed, int slotUsed) {
        QTest::newRow(name) << open << close << slot << times << QString::fromLatin1(first) << QString::fromLatin1(last)
                            << openUsed << slotUsed;
    };
    row("60-minute slots", Eight, Five, 60, 11, "08:00 AM", "06:00 PM", Eight, 60);
    row("30-minute slots", Eight, Five, 30, 20, "08:00 AM", "05:30 PM", Eight, 30);
    row("slot not dividing the day", Eight, Five, 45, 14, "08:00 AM", "05:45 PM", Eight, 45);
    row("no blank before the day half", "08:00AM", "05:00PM", 60, 11, "08:00 AM", "06:00 PM", "08:00AM", 60);
    row("last earlier than first", Five, Eight, 30, 1, "05:00 PM", "05:00 PM", Five, 30);
    row("last equal to first", Eight, Eight, 60, 2, "08:00 AM", "09:00 AM", Eight, 60);
    row("noon", "12:00 PM", "01:00 PM", 60, 3, "12:00 PM", "02:00 PM", "12:00 PM", 60);
    row("late evening passes midnight once", "08:30 AM", "11:30 PM", 60, 17, "08:30 AM", "12:30 AM", "08:30 AM", 60);
    row("whole day from midnight", "12:00 AM", "11:59 PM", 240, 7, "12:00 AM", "12:00 AM", "12:00 AM", 240);
    row("last minute of the day", "11:59 PM", "11:59 PM", 10, 2, "11:59 PM", "12:09 AM", "11:59 PM", 10);
    row("slot 10", Eight, "09:00 AM", 10, 8, "08:00 AM", "09:10 AM", Eight, 10);
    row("slot 240", Eight, Five, 240, 4, "08:00 AM", "08:00 PM", Eight, 240);
    // Damaged values fall back to the defaults (08:00 AM, 05:00 PM, 30).
    row("slot 0", Eight, Five, 0, 20, "08:00 AM", "05:30 PM", Eight, 30);
    row("slot 9", Eight, Five, 9, 20, "08:00 AM", "05:30 PM", Eight, 30);
    row("slot 241", Eight, Five, 241, 20, "08:00 AM", "05:30 PM", Eight, 30);
    row("negative slot", Eight, Five, -60, 20, "08:00 AM", "05:30 PM", Eight, 30);
    row("unreadable first time", "garbage", "11:00 PM", 60, 11, "08:00 AM", "06:00 PM", Eight, 60);
    row("unreadable last time", "09:00 AM", ":00 AM", 60, 11, "08:00 AM", "06:00 PM", Eight, 60);
    row("empty time texts", "", "", 60, 11, "08:00 AM", "06:00 PM", Eight, 60);
    row("hour 13 with PM", "13:00 PM", Five, 60, 11, "08:00 AM", "06:00 PM", Eight, 60);
}

void TestDayLayout::timeRows()
{
    QFETCH(QString, open);
    QFETCH(QString, close);
    QFETCH(int, slot);
    QFETCH(int, times);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QString, openUsed);
    QFETCH(int, slotUsed);

    const DayLayout l = DayLayout::build(open, close, slot, 4, FourNames);
    QCOMPARE(l.timeTexts.size(), times);
    QCOMPARE(l.timeTexts.first(), first);
    QCOMPARE(l.timeTexts.last(), last);
    QCOMPARE(l.openTime, openUsed);
    QCOMPARE(l.slotMinutes, slotUsed);
    // Header, blank, the times, blank.
    QCOMPARE(l.lastRow, times + 2);
    QCOMPARE(PageText::split(l.emptyPageText).size(), l.lastRow);
    // Every time row is one slot after the one before it.
    for (qsizetype i = 1; i < l.timeTexts.size(); ++i) {
        const int before = *DayLayoutRules::parseTime(l.timeTexts[i - 1]);
        const int after = *DayLayoutRules::parseTime(l.timeTexts[i]);
        QCOMPARE((after - before + 1440) % 1440, slotUsed);
    }
}

void TestDayLayout::columns_data()
{
    QTest::addColumn<int>("providers");
    QTest::addColumn<int>("providersUsed");
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("8") << 8 << 8;
    QTest::newRow("0 falls back") << 0 << 4;
    QTest::newRow("9 falls back") << 9 << 4;
    QTest::newRow("negative falls back") << -3 << 4;
}

void TestDayLayout::columns()
{
    QFETCH(int, providers);
    QFETCH(int, providersUsed);
    const DayLayout l = DayLayout::build(Eight, Five, 60, providers, FourNames);
    QCOMPARE(l.providerCount, providersUsed);
    QCOMPARE(l.lastCol, providersUsed);
    QCOMPARE(l.columnWidths.size(), providersUsed + 1);
    // The empty page has exactly the page's rows and provider columns.
    QVERIFY(PageText::isBlank(l.emptyPageText));
    const PageText::Cells cells = PageText::split(l.emptyPageText);
    QCOMPARE(cells.size(), 13);
    for (const QStringList& row : cells)
        QCOMPARE(row.size(), providersUsed);
}

void TestDayLayout::headers_data()
{
    QTest::addColumn<QString>("names");
    QTest::addColumn<int>("providers");
    QTest::addColumn<QStringList>("headers"); // columns 1 .. providers + 1
    QTest::newRow("default list") << Settings::defaultNames() << 4
                                  << QStringList {" Practitioner A ", " Practitioner B ", " Practitioner C ",
                                         " Practitioner D", ""};
    QTest::newRow("more pieces than providers")
        << Settings::defaultNames() << 2 << QStringList {" Practitioner A ", " Practitioner B ", ""};
    QTest::newRow("setup list with trailing separator")
        << " Dr Lee -  Dr Kim - " << 2 << QStringList {" Dr Lee ", "  Dr Kim ", ""};
    QTest::newRow("fewer pieces than providers") << " A - B" << 4 << QStringList {" A ", " B", "", "", ""};
    QTest::newRow("no names") << "" << 3 << QStringList {"", "", "", ""};
    QTest::newRow("hyphen inside a name") << " A-B - " << 3 << QStringList {" A", "B ", " ", ""};
}

void TestDayLayout::headers()
{
    QFETCH(QString, names);
    QFETCH(int, providers);
    QFETCH(QStringList, headers);
    const DayLayout l = DayLayout::build(Eight, Five, 60, providers, names);
    QStringList shown;
    for (int c = 1; c <= providers + 1; ++c)
        shown.append(l.providerName(c));
    QCOMPARE(shown, headers);
    QCOMPARE(l.providerName(0), QString());
    QCOMPARE(l.providerName(-1), QString());
    QCOMPARE(l.namesText, names);
}

void TestDayLayout::parseTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minutes"); // -1: unreadable
    QTest::newRow("08:00 AM") << "08:00 AM" << 480;
    QTest::newRow("08:00AM") << "08:00AM" << 480;
    QTest::newRow("8:00 am") << "8:00 am" << 480;
    QTest::newRow("24-hour") << "17:30" << 1050;
    QTest::newRow("midnight") << "12:00 AM" << 0;
    QTest::newRow("half past midnight") << "12:30 AM" << 30;
    QTest::newRow("noon") << "12:00 PM" << 720;
    QTest::newRow("last minute") << "11:59 PM" << 1439;
    QTest::newRow("hour 13 with PM") << "13:00 PM" << -1;
    QTest::newRow("minute 60") << "08:60 AM" << -1;
    QTest::newRow("hour 24") << "24:00" << -1;
    QTest::newRow("no hour") << ":00 AM" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("words") << "eight" << -1;
}

void TestDayLayout::parseTime()
{
    QFETCH(QString, text);
    QFETCH(int, minutes);
    const std::optional<int> parsed = DayLayoutRules::parseTime(text);
    QCOMPARE(parsed.value_or(-1), minutes);
}

void TestDayLayout::fromSettingsAndRecord()
{
    QVERIFY(DayLayout::fromSettings(Settings::defaults())
        == DayLayout::build(Eight, Five, 30, 4, Settings::defaultNames()));

    DayRecord record;
    record.open = QStringLiteral("09:00 AM");
    record.close = QStringLiteral("12:00 PM");
    record.slotMinutes = 60;
    record.providerCount = 2;
    record.names = QStringLiteral(" X - Y");
    const DayLayout fromRecord = DayLayout::fromRecord(record);
    QCOMPARE(fromRecord.timeTexts, (QStringList {"09:00 AM", "10:00 AM", "11:00 AM", "12:00 PM", "01:00 PM"}));
    QCOMPARE(fromRecord.providerName(2), QStringLiteral(" Y"));

    // A record with nothing copied into it still gives a sound page.
    const DayLayout damaged = DayLayout::fromRecord(DayRecord {});
    QCOMPARE(damaged.providerCount, 4);
    QCOMPARE(damaged.slotMinutes, 30);
    QCOMPARE(damaged.lastRow, 22);
}

QTEST_GUILESS_MAIN(TestDayLayout)
#include "tst_daylayout.moc"
