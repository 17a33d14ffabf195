#include "core/CalendarMath.h"

#include <QTest>

using namespace CalendarMath;

namespace {
Dates pageOf(QDate d)
{
    const std::optional<CalendarPage> page = fill(d);
    if (!page)
        qFatal("no page for %s", qPrintable(d.toString(Qt::ISODate)));
    return page->dates;
}

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
    void fillSelects_data();
    void fillSelects();
    void fillLowerBound_data();
    void fillLowerBound();
    void move_data();
    void move();
    void pressUntilStopped_data();
    void pressUntilStopped();
    void badIndexDoesNothing();
    void composeDate_data();
    void composeDate();
    void listIndices_data();
    void listIndices();
    void composeFromLists_data();
    void composeFromLists();
};

// A page is 42 consecutive days, so the selected label and its date fix it.
void TestCalendarMath::fillSelects_data()
{
    QTest::addColumn<QDate>("day");
    QTest::addColumn<int>("selIndex");
    QTest::addColumn<int>("firstLabel");
    QTest::newRow("first fillable day, month starts Thursday") << QDate(1998, 1, 1) << 4 << 4;
    QTest::newRow("28 Feb 1998, month starts Sunday") << QDate(1998, 2, 28) << 34 << 7;
    QTest::newRow("31 Mar 1998, latest label a 31st can reach") << QDate(1998, 3, 31) << 37 << 7;
    QTest::newRow("30 Apr 1998") << QDate(1998, 4, 30) << 32 << 3;
    QTest::newRow("30 Jun 1998, month starts Monday") << QDate(1998, 6, 30) << 30 << 1;
    QTest::newRow("31 Aug 1998, month starts Saturday") << QDate(1998, 8, 31) << 36 << 6;
    QTest::newRow("29 Feb 2000") << QDate(2000, 2, 29) << 30 << 2;
    QTest::newRow("29 Feb 2004, month starts Sunday") << QDate(2004, 2, 29) << 35 << 7;
    QTest::newRow("15 May 2024") << QDate(2024, 5, 15) << 17 << 3;
    QTest::newRow("31 Dec 2038") << QDate(2038, 12, 31) << 33 << 3;
    QTest::newRow("15 Jan 2039") << QDate(2039, 1, 15) << 20 << 6;
}

void TestCalendarMath::fillSelects()
{
    QFETCH(QDate, day);
    QFETCH(int, selIndex);
    QFETCH(int, firstLabel);
    QCOMPARE(firstLabelIndex(day), firstLabel);
    const std::optional<CalendarPage> page = fill(day);
    QVERIFY(page);
    QCOMPARE(page->selIndex, selIndex);
    QCOMPARE(page->dates[page->selIndex], day);
    QVERIFY(consecutive(page->dates));
    QCOMPARE(page->dates[firstLabel], QDate(day.year(), day.month(), 1));
}

void TestCalendarMath::fillLowerBound_data()
{
    QTest::addColumn<QDate>("day");
    QTest::addColumn<bool>("filled");
    QTest::newRow("1 Jan 1998") << QDate(1998, 1, 1) << true;
    QTest::newRow("31 Dec 1997") << QDate(1997, 12, 31) << false;
    QTest::newRow("invalid date") << QDate() << false;
}

void TestCalendarMath::fillLowerBound()
{
    QFETCH(QDate, day);
    QFETCH(bool, filled);
    QCOMPARE(fill(day).has_value(), filled);
}

void TestCalendarMath::move_data()
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
    row("right mid", feb, 10, Key::Right, 11, QDate(1998, 2, 5), 0, {10});
    row("right on 41 scrolls", feb, 41, Key::Right, 35, QDate(1998, 3, 8), 7, {41});
    row("right on 6 wraps to next row", feb, 6, Key::Right, 7, QDate(1998, 2, 1), 0, {6});
    row("left mid", feb, 10, Key::Left, 9, QDate(1998, 2, 3), 0, {10});
    row("left on 0 scrolls", feb, 0, Key::Left, 6, QDate(1998, 1, 24), -7, {0});
    row("down mid", feb, 20, Key::Down, 27, QDate(1998, 2, 21), 0, {20});
    row("down on 34 stays on panel", feb, 34, Key::Down, 41, QDate(1998, 3, 7), 0, {34});
    row("down in last row scrolls", feb, 38, Key::Down, 38, QDate(1998, 3, 11), 7, {});
    row("up mid", feb, 20, Key::Up, 13, QDate(1998, 2, 7), 0, {20});
    row("up on 7 stays on panel", feb, 7, Key::Up, 0, QDate(1998, 1, 25), 0, {7});
    row("up in first row scrolls", feb, 3, Key::Up, 3, QDate(1998, 1, 21), -7, {});
    row("page down is four weeks", feb, 20, Key::PageDown, 20, QDate(1998, 3, 14), 28, {});
    row("page up is three weeks", feb, 20, Key::PageUp, 20, QDate(1998, 1, 24), -21, {});

    // Lower limit: tested on the date before the move.
    const QDate jan(1998, 1, 1); // label 4 = 1 Jan 1998, label 3 = 31 Dec 1997
    row("left from 1 Jan 1998", jan, -1, Key::Left, 3, QDate(1997, 12, 31), 0, {4});
    row("page up from 1 Jan 1998", jan, -1, Key::PageUp, 4, QDate(1997, 12, 11), -21, {});
    row("left from 31 Dec 1997", jan, 3, Key::Left, 3, QDate(1997, 12, 31), 0, {}, false);
    row("up from 31 Dec 1997", jan, 3, Key::Up, 3, QDate(1997, 12, 31), 0, {}, false);
    row("page up from 31 Dec 1997", jan, 3, Key::PageUp, 3, QDate(1997, 12, 31), 0, {}, false);
    row("right from 31 Dec 1997", jan, 3, Key::Right, 4, QDate(1998, 1, 1), 0, {3});

    // Upper limit: forward keys act up to and including 1 Jan 2039.
    const QDate dec(2038, 12, 31); // label 33; label 34 = 1 Jan 2039
    row("right from 31 Dec 2038", dec, -1, Key::Right, 34, QDate(2039, 1, 1), 0, {33});
    row("down from 31 Dec 2038", dec, -1, Key::Down, 40, QDate(2039, 1, 7), 0, {33});
    row("page down from 31 Dec 2038", dec, -1, Key::PageDown, 33, QDate(2039, 1, 28), 28, {});
    row("right from 1 Jan 2039", dec, 34, Key::Right, 35, QDate(2039, 1, 2), 0, {34});
    row("right from 2 Jan 2039", dec, 35, Key::Right, 35, QDate(2039, 1, 2), 0, {}, false);
    row("down from 2 Jan 2039", dec, 35, Key::Down, 35, QDate(2039, 1, 2), 0, {}, false);
    row("page down from 2 Jan 2039", dec, 35, Key::PageDown, 35, QDate(2039, 1, 2), 0, {}, false);
    row("left from 2 Jan 2039", dec, 35, Key::Left, 34, QDate(2039, 1, 1), 0, {35});
}

void TestCalendarMath::move()
{
    QFETCH(QDate, fillDate);
    QFETCH(int, index);
    QFETCH(Key, key);
    QFETCH(int, newIndex);
    QFETCH(QDate, newDate);
    QFETCH(int, shift);
    QFETCH(QList<int>, white);
    QFETCH(bool, changed);

    const std::optional<CalendarPage> page = fill(fillDate);
    QVERIFY(page);
    const int from = index < 0 ? page->selIndex : index;
    const Move m = moveSelection(key, page->dates, from);

    QCOMPARE(m.changed, changed);
    QCOMPARE(m.selIndex, newIndex);
    QCOMPARE(m.dates[m.selIndex], newDate);
    QCOMPARE(m.selectedDate(), newDate);
    QCOMPARE(m.dates[0], page->dates[0].addDays(shift));
    QVERIFY(consecutive(m.dates));
    QCOMPARE(m.paintedWhite, white);
    QCOMPARE(m.paintedGrey, changed ? newIndex : -1);
}

void TestCalendarMath::pressUntilStopped_data()
{
    QTest::addColumn<QDate>("start");
    QTest::addColumn<Key>("key");
    QTest::addColumn<QDate>("last");
    QTest::newRow("right into 2039") << QDate(2038, 12, 20) << Key::Right << QDate(2039, 1, 2);
    QTest::newRow("down into 2039") << QDate(2038, 12, 20) << Key::Down << QDate(2039, 1, 3);
    QTest::newRow("page down into 2039") << QDate(2038, 12, 20) << Key::PageDown << QDate(2039, 1, 17);
    QTest::newRow("left into 1997") << QDate(1998, 1, 20) << Key::Left << QDate(1997, 12, 31);
    QTest::newRow("up into 1997") << QDate(1998, 1, 20) << Key::Up << QDate(1997, 12, 30);
    QTest::newRow("page up into 1997") << QDate(1998, 2, 20) << Key::PageUp << QDate(1997, 12, 19);
}

void TestCalendarMath::pressUntilStopped()
{
    QFETCH(QDate, start);
    QFETCH(Key, key);
    QFETCH(QDate, last);
    const std::optional<CalendarPage> page = fill(start);
    QVERIFY(page);
    Dates dates = page->dates;
    int index = page->selIndex;
    for (int presses = 0; presses < 1000; ++presses) {
        const Move m = moveSelection(key, dates, index);
        if (!m.changed) {
            QCOMPARE(m.selectedDate(), last);
            return;
        }
        QVERIFY(m.selIndex >= 0 && m.selIndex < LabelCount);
        QVERIFY(consecutive(m.dates));
        dates = m.dates;
        index = m.selIndex;
    }
    QFAIL("the key never stopped");
}

void TestCalendarMath::badIndexDoesNothing()
{
    const Dates dates = pageOf(QDate(2024, 5, 15));
    for (int bad : {-1, 42, 1000}) {
        const Move m = moveSelection(Key::Right, dates, bad);
        QVERIFY(!m.changed);
        QCOMPARE(m.selIndex, bad);
        QVERIFY(m.dates == dates);
        QVERIFY(!m.selectedDate().isValid());
    }
}

void TestCalendarMath::composeDate_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<QDate>("date");
    QTest::newRow("31 Feb 1998 carries") << 1998 << 2 << 31 << QDate(1998, 3, 3);
    QTest::newRow("31 Feb 2000 carries, leap") << 2000 << 2 << 31 << QDate(2000, 3, 2);
    QTest::newRow("30 Feb 2004") << 2004 << 2 << 30 << QDate(2004, 3, 1);
    QTest::newRow("29 Feb 2004") << 2004 << 2 << 29 << QDate(2004, 2, 29);
    QTest::newRow("29 Feb 1999") << 1999 << 2 << 29 << QDate(1999, 3, 1);
    QTest::newRow("31 Apr") << 1998 << 4 << 31 << QDate(1998, 5, 1);
    QTest::newRow("31 Dec 2038") << 2038 << 12 << 31 << QDate(2038, 12, 31);
    QTest::newRow("month 13") << 1998 << 13 << 1 << QDate();
    QTest::newRow("month 0") << 1998 << 0 << 1 << QDate();
}

void TestCalendarMath::composeDate()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(QDate, date);
    QCOMPARE(CalendarMath::composeDate(year, month, day), date);
}

void TestCalendarMath::listIndices_data()
{
    QTest::addColumn<QDate>("day");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("year");
    QTest::newRow("first list year") << QDate(1997, 1, 1) << 0 << 0;
    QTest::newRow("today") << QDate(2024, 5, 15) << 4 << 27;
    QTest::newRow("last list day") << QDate(2038, 12, 31) << 11 << 41;
    QTest::newRow("2039 has no year item") << QDate(2039, 1, 1) << 0 << -1;
    QTest::newRow("1996 has no year item") << QDate(1996, 12, 31) << 11 << -1;
    QTest::newRow("invalid") << QDate() << -1 << -1;
}

void TestCalendarMath::listIndices()
{
    QFETCH(QDate, day);
    QFETCH(int, month);
    QFETCH(int, year);
    QCOMPARE(monthListIndex(day), month);
    QCOMPARE(yearListIndex(day), year);
}

void TestCalendarMath::composeFromLists_data()
{
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("monthIndex");
    QTest::addColumn<int>("yearIndex");
    QTest::addColumn<QDate>("date");
    QTest::newRow("31st with February 2000") << 31 << 1 << 3 << QDate(2000, 3, 2);
    QTest::newRow("31st with February 1998") << 31 << 1 << 1 << QDate(1998, 3, 3);
    QTest::newRow("1997 item") << 15 << 5 << 0 << QDate(1997, 6, 15);
    QTest::newRow("2038 item") << 1 << 11 << 41 << QDate(2038, 12, 1);
    QTest::newRow("no year item") << 15 << 5 << -1 << QDate();
    QTest::newRow("no month item") << 15 << -1 << 5 << QDate();
    QTest::newRow("year beyond the list") << 15 << 5 << 42 << QDate();
}

void TestCalendarMath::composeFromLists()
{
    QFETCH(int, day);
    QFETCH(int, monthIndex);
    QFETCH(int, yearIndex);
    QFETCH(QDate, date);
    const QDate composed = CalendarMath::composeFromLists(day, monthIndex, yearIndex);
    QCOMPARE(composed, date);
    // 1997 and an empty list both leave the calendar as it is.
    QCOMPARE(fill(composed).has_value(), date.isValid() && date >= MinDate);
}

QTEST_GUILESS_MAIN(TestCalendarMath)
#include "tst_calendarmath.moc"
