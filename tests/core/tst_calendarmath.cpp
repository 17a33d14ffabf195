#include "core/CalendarMath.h"

#include <QTest>

using namespace CalendarMath;

namespace {
bool consecutive(const Dates& dates)
{
    for (int i = 1; i < LabelCount; ++i) {
        if (dates[i] != dates[i - 1].addDays(1))
            return false;
    }
    return dates[0].isValid();
}
} // namespace

Q_DECLARE_METATYPE(CalendarMath::Key)

class TestCalendarMath : public QObject
{
    Q_OBJECT

private slots:
    // A page is 42 consecutive days, so the selected label and its date fix it.
    void fill_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<int>("selIndex"); // -1: no page
        QTest::addColumn<int>("firstLabel");
        QTest::newRow("first fillable day, month starts Thursday") << QDate(1998, 1, 1) << 4 << 4;
        QTest::newRow("the day before it") << QDate(1997, 12, 31) << -1 << 0;
        QTest::newRow("invalid date") << QDate() << -1 << 0;
        QTest::newRow("28 Feb 1998, month starts Sunday") << QDate(1998, 2, 28) << 34 << 7;
        QTest::newRow("31 Mar 1998, latest label a 31st can reach") << QDate(1998, 3, 31) << 37 << 7;
        QTest::newRow("30 Jun 1998, month starts Monday") << QDate(1998, 6, 30) << 30 << 1;
        QTest::newRow("15 Jan 2039, the last month the keys reach") << QDate(2039, 1, 15) << 20 << 6;
    }

    void fill()
    {
        QFETCH(QDate, day);
        QFETCH(int, selIndex);
        QFETCH(int, firstLabel);
        const std::optional<CalendarPage> page = CalendarMath::fill(day);
        QCOMPARE(page.has_value(), selIndex >= 0);
        if (!page)
            return;
        QCOMPARE(firstLabelIndex(day), firstLabel);
        QCOMPARE(page->selIndex, selIndex);
        QCOMPARE(page->dates[selIndex], day);
        QVERIFY(consecutive(page->dates));
        QCOMPARE(page->dates[firstLabel], QDate(day.year(), day.month(), 1));
    }

    void move_data()
    {
        QTest::addColumn<QDate>("fillDate");
        QTest::addColumn<int>("index"); // -1: the index fill selects
        QTest::addColumn<Key>("key");
        QTest::addColumn<int>("newIndex");
        QTest::addColumn<QDate>("newDate");
        QTest::addColumn<int>("shift"); // days the whole panel moved
        QTest::addColumn<QList<int>>("white");
        QTest::addColumn<bool>("changed");
        auto row = [](const char* name, QDate fillDate, int index, Key key, int newIndex, QDate newDate, int shift,
                       QList<int> white, bool changed = true) {
            QTest::newRow(name) << fillDate << index << key << newIndex << newDate << shift << white << changed;
        };
        const QDate feb(1998, 2, 10); // labels 0..41 = 25 Jan .. 7 Mar 1998
        row("right on 6 wraps to next row", feb, 6, Key::Right, 7, QDate(1998, 2, 1), 0, {6});
        row("right on 41 scrolls", feb, 41, Key::Right, 35, QDate(1998, 3, 8), 7, {41});
        row("left on 0 scrolls", feb, 0, Key::Left, 6, QDate(1998, 1, 24), -7, {0});
        row("down on 34 stays on panel", feb, 34, Key::Down, 41, QDate(1998, 3, 7), 0, {34});
        row("down in last row scrolls", feb, 38, Key::Down, 38, QDate(1998, 3, 11), 7, {});
        row("up on 7 stays on panel", feb, 7, Key::Up, 0, QDate(1998, 1, 25), 0, {7});
        row("up in first row scrolls", feb, 3, Key::Up, 3, QDate(1998, 1, 21), -7, {});
        row("page down is four weeks", feb, 20, Key::PageDown, 20, QDate(1998, 3, 14), 28, {});
        row("page up is three weeks", feb, 20, Key::PageUp, 20, QDate(1998, 1, 24), -21, {});
        row("index beyond the labels", feb, 42, Key::Right, 42, QDate(), 0, {}, false);

        // The limits are tested on the selected date before the move.
        const QDate jan(1998, 1, 1); // label 4 = 1 Jan 1998, label 3 = 31 Dec 1997
        row("left from 1 Jan 1998", jan, -1, Key::Left, 3, QDate(1997, 12, 31), 0, {4});
        row("left from 31 Dec 1997", jan, 3, Key::Left, 3, QDate(1997, 12, 31), 0, {}, false);
        row("page up from 31 Dec 1997", jan, 3, Key::PageUp, 3, QDate(1997, 12, 31), 0, {}, false);
        row("right from 31 Dec 1997", jan, 3, Key::Right, 4, QDate(1998, 1, 1), 0, {3});
        const QDate dec(2038, 12, 31); // label 33; label 34 = 1 Jan 2039
        row("page down from 1 Jan 2039", dec, 34, Key::PageDown, 34, QDate(2039, 1, 29), 28, {});
        row("right from 2 Jan 2039", dec, 35, Key::Right, 35, QDate(2039, 1, 2), 0, {}, false);
        row("down from 2 Jan 2039", dec, 35, Key::Down, 35, QDate(2039, 1, 2), 0, {}, false);
        row("left from 2 Jan 2039", dec, 35, Key::Left, 34, QDate(2039, 1, 1), 0, {35});
    }

    void move()
    {
        QFETCH(QDate, fillDate);
        QFETCH(int, index);
        QFETCH(Key, key);
        QFETCH(int, newIndex);
        QFETCH(QDate, newDate);
        QFETCH(int, shift);
        QFETCH(QList<int>, white);
        QFETCH(bool, changed);
        const std::optional<CalendarPage> page = CalendarMath::fill(fillDate);
        QVERIFY(page);
        const Move m = moveSelection(key, page->dates, index < 0 ? page->selIndex : index);
        QCOMPARE(m.changed, changed);
        QCOMPARE(m.selIndex, newIndex);
        QCOMPARE(m.selectedDate(), newDate);
        QCOMPARE(m.dates[0], page->dates[0].addDays(shift));
        QVERIFY(consecutive(m.dates));
        QCOMPARE(m.paintedWhite, white);
        QCOMPARE(m.paintedGrey, changed ? newIndex : -1);
    }

    // The year list holds 1997 to 2038; a date outside shows no year item.
    void listIndices_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::newRow("first list year") << QDate(1997, 1, 1) << 0 << 0;
        QTest::newRow("last list day") << QDate(2038, 12, 31) << 11 << 41;
        QTest::newRow("2039") << QDate(2039, 1, 1) << 0 << -1;
        QTest::newRow("1996") << QDate(1996, 12, 31) << 11 << -1;
        QTest::newRow("invalid") << QDate() << -1 << -1;
    }

    void listIndices()
    {
        QFETCH(QDate, day);
        QFETCH(int, month);
        QFETCH(int, year);
        QCOMPARE(monthListIndex(day), month);
        QCOMPARE(yearListIndex(day), year);
    }

    // The day number carries into the next month: 31 February is 3 March.
    void composeFromLists_data()
    {
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("monthIndex");
        QTest::addColumn<int>("yearIndex");
        QTest::addColumn<QDate>("date");
        QTest::newRow("31st with February 1998") << 31 << 1 << 1 << QDate(1998, 3, 3);
        QTest::newRow("31st with February 2000, leap") << 31 << 1 << 3 << QDate(2000, 3, 2);
        QTest::newRow("1st with the 1997 item") << 1 << 0 << 0 << QDate(1997, 1, 1);
        QTest::newRow("31 December 2038") << 31 << 11 << 41 << QDate(2038, 12, 31);
        QTest::newRow("no year item") << 15 << 5 << -1 << QDate();
        QTest::newRow("no month item") << 15 << -1 << 5 << QDate();
        QTest::newRow("year beyond the list") << 15 << 5 << 42 << QDate();
    }

    void composeFromLists()
    {
        QFETCH(int, day);
        QFETCH(int, monthIndex);
        QFETCH(int, yearIndex);
        QFETCH(QDate, date);
        QCOMPARE(CalendarMath::composeFromLists(day, monthIndex, yearIndex), date);
    }
};

QTEST_GUILESS_MAIN(TestCalendarMath)
#include "tst_calendarmath.moc"
