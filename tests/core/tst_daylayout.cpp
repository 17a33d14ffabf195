#include "TestSupport.h"

#include "core/DayLayout.h"
#include "core/DayPlacement.h"
#include "core/PageText.h"
#include "store/DayStore.h"

#include <QRandomGenerator>
#include <QTest>

using TestSupport::Today;

namespace {
// Page texts as tests write them (see TestSupport::pageText).
constexpr auto t = &TestSupport::pageText;

Settings layout(const char* close, int slotMinutes, int providers)
{
    Settings s = Settings::defaults();
    s.close = QString::fromLatin1(close);
    s.slotMinutes = slotMinutes;
    s.providerCount = providers;
    return s;
}

// Page rows: first, 08:00, 09:00, 10:00, last.
const Settings Hourly = layout("09:00 AM", 60, 2);
// Page rows: first, 08:00, 08:30, 09:00, 09:30, last.
const Settings HalfHourly = layout("09:00 AM", 30, 2);
const Settings OneProvider = layout("09:00 AM", 60, 1);
const Settings ClosesBeforeOpening = layout("07:00 AM", 30, 2);

// The record with page as its text, its copies describing the layout.
DayRecord booked(DayRecord record, const Settings& settings, const char* page)
{
    DayPlacement::describeLayout(record, DayLayout::fromSettings(settings));
    record.pageText = t(page);
    return record;
}

// A sound layout of a working day that never passes midnight.
Settings randomLayout(QRandomGenerator& random)
{
    static const int slotLengths[] = {10, 15, 20, 30, 45, 60, 90, 120, 240};
    Settings s = Settings::defaults();
    const int open = 6 * 60 + int(random.bounded(13)) * 30;
    s.open = DayLayoutRules::formatSlotTime(open);
    s.close = DayLayoutRules::formatSlotTime(open + int(random.bounded(20 * 60 - open)));
    s.slotMinutes = slotLengths[random.bounded(int(std::size(slotLengths)))];
    s.providerCount = 1 + int(random.bounded(8));
    return s;
}

// Settings as a damaged record or a careless set-up leaves them.
Settings damagedLayout(QRandomGenerator& random)
{
    Settings s = Settings::defaults();
    const quint32 kind = random.bounded(4);
    s.providerCount = kind == 0 ? 0 : s.providerCount;
    s.slotMinutes = kind == 1 ? 0 : s.slotMinutes;
    s.open = kind == 2 ? QStringLiteral("half past eight") : s.open;
    s.close = kind == 3 ? QStringLiteral("07:00 AM") : s.close; // before the first appointment
    return s;
}
} // namespace

class TestDayLayout : public QObject
{
    Q_OBJECT

private slots:
    // Unreadable or out-of-range values fall back to the defaults (08:00 AM,
    // 05:00 PM, 30 minutes, 4 providers), and the layout counts as damaged.
    void rowsAndColumns_data()
    {
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("close");
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("providers");
        QTest::addColumn<QStringList>("times"); // first, last and how many
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("damaged");
        auto row = [](const char* name, const char* open, const char* close, int slot, int providers, const char* first,
                       const char* last, int times, int columns, bool damaged = false) {
            QTest::newRow(name) << QString::fromLatin1(open) << QString::fromLatin1(close) << slot << providers
                                << QStringList {first, last, QString::number(times)} << columns << damaged;
        };
        row("hourly, one provider", "08:00 AM", "05:00 PM", 60, 1, "08:00 AM", "06:00 PM", 11, 1);
        row("slot not dividing the day, 8 providers", "8:00 am", "05:00PM", 45, 8, "08:00 AM", "05:45 PM", 14, 8);
        row("24-hour times", "17:30", "18:00", 30, 4, "05:30 PM", "06:30 PM", 3, 4);
        row("last equal to first", "08:00 AM", "08:00 AM", 60, 4, "08:00 AM", "09:00 AM", 2, 4);
        row("last earlier than first", "05:00 PM", "08:00 AM", 30, 4, "05:00 PM", "05:00 PM", 1, 4, true);
        row("noon", "12:30 PM", "01:00 PM", 30, 4, "12:30 PM", "01:30 PM", 3, 4);
        row("late evening passes midnight once", "08:30 AM", "11:30 PM", 60, 4, "08:30 AM", "12:30 AM", 17, 4);
        row("whole day from midnight, slot 240", "12:00 AM", "11:59 PM", 240, 4, "12:00 AM", "12:00 AM", 7, 4);
        row("slot 10", "08:00 AM", "09:00 AM", 10, 4, "08:00 AM", "09:10 AM", 8, 4);
        row("slot 9", "08:00 AM", "09:00 AM", 9, 4, "08:00 AM", "09:30 AM", 4, 4, true);
        row("slot 241", "08:00 AM", "09:00 AM", 241, 4, "08:00 AM", "09:30 AM", 4, 4, true);
        row("no providers", "08:00 AM", "09:00 AM", 60, 0, "08:00 AM", "10:00 AM", 3, 4, true);
        row("9 providers", "08:00 AM", "09:00 AM", 60, 9, "08:00 AM", "10:00 AM", 3, 4, true);
        row("minute 60", "08:60 AM", "11:00 PM", 60, 4, "08:00 AM", "06:00 PM", 11, 4, true);
        row("hour 13 with PM", "13:00 PM", "11:00 PM", 60, 4, "08:00 AM", "06:00 PM", 11, 4, true);
        row("hour 24", "09:00 AM", "24:00", 60, 4, "08:00 AM", "06:00 PM", 11, 4, true);
    }

    void rowsAndColumns()
    {
        QFETCH(QString, open);
        QFETCH(QString, close);
        QFETCH(int, slot);
        QFETCH(int, providers);
        QFETCH(QStringList, times);
        QFETCH(int, columns);
        QFETCH(bool, damaged);
        const DayLayout l = DayLayout::build(open, close, slot, providers, QString());
        QCOMPARE((QStringList {l.timeTexts.first(), l.timeTexts.last(), QString::number(l.timeTexts.size())}), times);
        QCOMPARE(l.damaged, damaged);
        // Header, blank, the times, blank; the page has the rows but the header.
        QCOMPARE(l.rowCount(), l.timeTexts.size() + 3);
        QCOMPARE(l.lastCol, columns);
        QCOMPARE(l.columnWidths.size(), columns + 1);
        const PageText::Cells page = PageText::split(l.emptyPageText);
        QCOMPARE(page.size(), l.lastRow);
        QCOMPARE(page.last().size(), columns);
    }

    void headers_data()
    {
        QTest::addColumn<QString>("names");
        QTest::addColumn<QStringList>("headers"); // columns 0 .. 3 of two providers
        QTest::newRow("trailing separator") << " Dr Lee -  Dr Kim - " << QStringList {"", " Dr Lee ", "  Dr Kim ", ""};
        QTest::newRow("more pieces than providers") << " A - B - C" << QStringList {"", " A ", " B ", ""};
        QTest::newRow("fewer pieces than providers") << " A" << QStringList {"", " A", "", ""};
        QTest::newRow("hyphen inside a name") << " A-B - " << QStringList {"", " A", "B ", ""};
    }

    void headers()
    {
        QFETCH(QString, names);
        QFETCH(QStringList, headers);
        const DayLayout l = DayLayout::build(QStringLiteral("08:00 AM"), QStringLiteral("05:00 PM"), 60, 2, names);
        QStringList shown;
        for (int c = 0; c <= 3; ++c)
            shown.append(l.providerName(c));
        QCOMPARE(shown, headers);
    }

    void place_data()
    {
        QTest::addColumn<int>("day"); // days from today
        QTest::addColumn<DayRecord>("record");
        QTest::addColumn<Settings>("current");
        QTest::addColumn<QString>("placed");
        QTest::addColumn<bool>("fromRecord");
        auto row = [](const char* name, int day, const Settings& stored, const char* page, const Settings& current,
                       const char* placed, bool fromRecord) {
            QTest::newRow(name) << day << booked({}, stored, page) << current << t(placed) << fromRecord;
        };
        row("a past day keeps its own layout", -1, Hourly, "|#A|#|#|#|", HalfHourly, "|#A|#|#|#|", true);
        row("today takes the current one, rows by time", 0, Hourly, "F|#A|#|B#|#L|", HalfHourly, "F|#A|#|#|B#|#L|",
            false);
        row("a time the current one lacks", 1, Hourly, "|#|#|#X|#|", HalfHourly, "|#|#|#X|#|", true);
        row("a provider the current one lacks", 1, Hourly, "|#|X#|#|#|", OneProvider, "|#|X#|#|#|", true);
        row("an empty cell there is no loss", 1, Hourly, "F|#A|#|#|#|", OneProvider, "F#A###", false);
        row("a damaged layout never cuts a page", 1, HalfHourly, "|#|#|#|X#|#|", ClosesBeforeOpening, "|#|#|#|X#|#|",
            true);
        row("a blank page takes the current one", 1, Hourly, "|#|#|#|#|", HalfHourly, "|#|#|#|#|#|", false);
        // Longer than its copies: the times continue to the last row.
        row("a page longer than its layout", -1, Hourly, "|#|#|#|#|#X|#|", Hourly, "|#|#|#|#|#X|#|", true);
    }

    void place()
    {
        QFETCH(int, day);
        QFETCH(DayRecord, record);
        QFETCH(Settings, current);
        QFETCH(QString, placed);
        QFETCH(bool, fromRecord);
        const DayPlacement::Placement p = DayPlacement::place(Today.addDays(day), Today, record, current);
        QCOMPARE(p.pageText, placed);
        QCOMPARE(p.fromRecord, fromRecord);
        QVERIFY(DayPlacement::isLaidOutIn(p.pageText, p.layout));
        QCOMPARE(p.layout.timeTexts.size(), p.layout.lastRow - 2);
    }

    // However the practice's settings change, a day is shown with every
    // booking at its own time and provider column.
    void aChangeOfLayoutNeverMovesABooking()
    {
        QRandomGenerator random(20241506);
        for (int i = 0; i < 500; ++i) {
            const DayLayout stored = DayLayout::fromSettings(randomLayout(random));
            PageText::Cells cells = PageText::fit(QString(), stored.pageRows(), stored.pageColumns());
            for (int booking = 0; booking < 4; ++booking)
                cells[random.bounded(stored.pageRows())][random.bounded(stored.pageColumns())]
                    = QString::number(booking);
            DayRecord record;
            DayPlacement::describeLayout(record, stored);
            record.pageText = PageText::join(cells);
            const Settings current = random.bounded(5) == 0 ? damagedLayout(random) : randomLayout(random);

            const DayPlacement::Placement p
                = DayPlacement::place(Today.addDays(int(random.bounded(3)) - 1), Today, record, current);
            DayRecord shown;
            DayPlacement::describeLayout(shown, p.layout);
            shown.pageText = p.pageText;
            QCOMPARE(TestSupport::placesOf(shown), TestSupport::placesOf(record));
        }
    }

    // Two desks that lay a day out differently (one opened it before the slots
    // changed) merge their saves by time, not by position.
    void desksWithOtherLayoutsMergeByTime()
    {
        TestSupport::DataFixture data;
        DayStore store(data.db());
        DayRecord read;
        bool created = false;
        QVERIFY(store.open(Today, Hourly, read, created).ok());
        const DayRecord hourDesk = store.save(read, booked(read, Hourly, "|#|#A|#|#|")).stored;
        // The other desk shows the day in half hours and books 08:30.
        const DayRecord halfDesk = DayPlacement::inLayout(hourDesk, DayLayout::fromSettings(HalfHourly));
        QVERIFY(store.save(halfDesk, booked(halfDesk, HalfHourly, "|#|#|B#A|#|#|")).status.ok());
        // The first desk, still on hours, books 08:00.
        QVERIFY(store.save(hourDesk, booked(hourDesk, Hourly, "|#C|#A|#|#|")).status.ok());
        QCOMPARE(TestSupport::storedDay(data.db())->pageText, t("|#C|#|B#A|#|#|"));
    }
};

QTEST_GUILESS_MAIN(TestDayLayout)
#include "tst_daylayout.moc"
