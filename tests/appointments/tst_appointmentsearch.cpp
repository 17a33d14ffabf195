#include "TestSupport.h"

#include "appointments/AppointmentSearch.h"
#include "core/PageText.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QTest>

using TestSupport::Today;

Q_DECLARE_METATYPE(Settings)
Q_DECLARE_METATYPE(AppointmentSearch::Match)

namespace {
// The practice as it was: three providers, 09:00 AM to 12:00 PM by the hour
// (time rows 09:00 AM .. 01:00 PM are grid rows 2 .. 6, row 7 blank).
Settings earlier()
{
    Settings s = Settings::defaults();
    s.providerCount = 3;
    s.names = QStringLiteral("Dr Lee-Dr Ng-Dr Roe");
    s.open = QStringLiteral("09:00 AM");
    s.close = QStringLiteral("12:00 PM");
    s.slotMinutes = 60;
    return s;
}

// The practice now: the default four providers in quarter hours (time rows
// 08:00 AM .. 05:15 PM are grid rows 2 .. 39, row 40 blank).
Settings now()
{
    Settings s = Settings::defaults();
    s.slotMinutes = 15;
    return s;
}

// What a future record copied before the last change of settings: never
// used to show it.
Settings stale()
{
    Settings s = Settings::defaults();
    s.providerCount = 2;
    s.names = QStringLiteral("Old One-Old Two");
    s.open = QStringLiteral("10:00 AM");
    s.slotMinutes = 60;
    return s;
}

struct Booking
{
    int row;
    int column;
    QString text;
};
} // namespace

class TestAppointmentSearch : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;

    // Stores a day created under copied, its bookings placed by position.
    void storeDay(const QDate& date, const Settings& copied, const QList<Booking>& bookings)
    {
        DayStore store(m_data->db());
        DayRecord rec;
        bool created = false;
        QVERIFY(store.open(date, copied, rec, created).ok());
        const PageText::Cells page = PageText::split(rec.pageText);
        int rows = int(page.size());
        int columns = int(page.first().size());
        for (const Booking& b : bookings) {
            rows = std::max(rows, b.row);
            columns = std::max(columns, b.column);
        }
        PageText::Cells cells = PageText::fit(rec.pageText, rows, columns);
        for (const Booking& b : bookings)
            cells[b.row - 1][b.column - 1] = b.text;
        DayRecord edited = rec;
        edited.pageText = PageText::join(cells);
        QVERIFY(store.save(rec, edited).status.ok());
    }

    AppointmentSearch::Matches find(const QString& text)
    {
        AppointmentSearch::Matches r;
        const Result st = AppointmentSearch::findIn(m_data->db(), text, r);
        if (!st.ok())
            qWarning("%s", qPrintable(st.message));
        return r;
    }

private slots:
    void init()
    {
        m_data = std::make_unique<TestSupport::DataFixture>();
        QVERIFY(SettingsStore(m_data->db()).writeLayout(now()).ok());
    }

    void cleanup() { m_data.reset(); }

    void foundWithTheLayoutTheDayIsShownWith_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<Settings>("copied");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("provider");

        QTest::newRow("past day, its own layout") << -30 << earlier() << 3 << 2 << "10:00 AM"
                                                  << "Dr Ng";
        QTest::newRow("yesterday, its own last time row") << -1 << earlier() << 6 << 1 << "01:00 PM"
                                                          << "Dr Lee";
        QTest::newRow("past day, blank top row") << -400 << earlier() << 1 << 3 << ""
                                                 << "Dr Roe";
        QTest::newRow("past day, blank bottom row") << -401 << earlier() << 7 << 3 << ""
                                                    << "Dr Roe";
        QTest::newRow("past day booked under today's layout") << -2 << now() << 5 << 4 << "08:45 AM"
                                                              << "Practitioner D";
        // Booked at 11:00 AM and 12:00 PM under the copied layout: found at
        // those times in the current one.
        QTest::newRow("today, booked before the slots changed") << 0 << stale() << 3 << 2 << "11:00 AM"
                                                                << "Practitioner B";
        QTest::newRow("future, a column its copy lacks") << 3 << stale() << 4 << 4 << "12:00 PM"
                                                         << "Practitioner D";
    }

    void foundWithTheLayoutTheDayIsShownWith()
    {
        QFETCH(int, offset);
        QFETCH(Settings, copied);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, time);
        QFETCH(QString, provider);
        const QDate day = Today.addDays(offset);
        storeDay(day, copied, {{row, column, QStringLiteral("ZELDA Quince")}});
        // Another day with the same name under another layout must not disturb it.
        storeDay(Today.addDays(offset < 0 ? -5000 : 5000), copied, {{2, 1, QStringLiteral("Other")}});

        const AppointmentSearch::Matches r = find(QStringLiteral("zelda"));
        QCOMPARE(r.matches.size(), 1);
        const AppointmentSearch::Match& m = r.matches.first();
        QCOMPARE(m.date, day);
        QCOMPARE(m.column, column);
        QCOMPARE(m.time, time);
        if (time.isEmpty())
            QCOMPARE(m.row, row); // the blank first or last row
        QCOMPARE(m.provider, provider);
        QCOMPARE(m.text, QStringLiteral("ZELDA Quince"));
        QCOMPARE(m.upcoming, offset >= 0);
    }

    void cellsBeyondTheCopiedLayoutAreStillFound_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<Settings>("copied");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");

        QTest::newRow("past, below its last row") << -3 << earlier() << 8 << 1;
        QTest::newRow("past, right of its last provider") << -3 << earlier() << 2 << 4;
        QTest::newRow("future, below the current last row") << 3 << stale() << 41 << 1;
        QTest::newRow("future, right of the current last provider") << 3 << stale() << 2 << 5;
    }

    void cellsBeyondTheCopiedLayoutAreStillFound()
    {
        QFETCH(int, offset);
        QFETCH(Settings, copied);
        QFETCH(int, row);
        QFETCH(int, column);
        // The window never cuts a stored page: the day keeps a layout that
        // holds all of its text, and find lists what it shows.
        storeDay(
            Today.addDays(offset), copied, {{2, 1, QStringLiteral("SEEN")}, {row, column, QStringLiteral("BEYOND")}});
        QCOMPARE(find(QStringLiteral("seen")).matches.size(), 1);
        const AppointmentSearch::Matches beyond = find(QStringLiteral("beyond"));
        QCOMPARE(beyond.matches.size(), 1);
        QCOMPARE(beyond.matches.first().column, column);
    }

    void whatTheTypedTextFinds_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("found");

        QTest::newRow("lower finds upper") << "SMITH John"
                                           << "smit" << true;
        QTest::newRow("plain finds accented") << QStringLiteral("M\u00DCLLER Ren\u00E9e") << "muller" << true;
        QTest::newRow("accented finds plain") << "Muller Renee" << QStringLiteral("REN\u00C9E") << true;
        QTest::newRow("decomposed finds composed")
            << QStringLiteral("Jos\u00E9") << QStringLiteral("jose\u0301") << true;
        QTest::newRow("sharp s") << QStringLiteral("Strau\u00DF") << "STRAUSS" << true;
        QTest::newRow("o with stroke") << QStringLiteral("\u00D8stergaard") << "oster" << true;
        QTest::newRow("blanks around the text") << "SMITH John"
                                                << "  h jo " << true;
        QTest::newRow("a different letter") << "SMITH"
                                            << "smyth" << false;
        QTest::newRow("across two cells") << "SMITH"
                                          << "smith\tjones" << false;
        QTest::newRow("double booking, second name") << "SMITH / LEE"
                                                     << "lee" << true;
        QTest::newRow("double booking, across the names") << "SMITH / LEE"
                                                          << "th / le" << true;
        QTest::newRow("one match per cell") << "ANNA ANNABEL"
                                            << "anna" << true;
        QTest::newRow("nothing typed") << "SMITH"
                                       << "" << false;
        QTest::newRow("blanks typed, a blank cell") << " "
                                                    << "   " << false;
        QTest::newRow("a separator typed") << "SMITH"
                                           << "\t" << false;
    }

    void whatTheTypedTextFinds()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, found);
        storeDay(Today.addDays(2), now(), {{2, 1, stored}, {2, 2, QStringLiteral("JONES")}});
        const AppointmentSearch::Matches r = find(typed);
        QCOMPARE(r.matches.size(), found ? 1 : 0);
        QVERIFY(!r.more);
        if (found)
            QCOMPARE(r.matches.first().text, stored);
    }

    void upcomingFirstThenPastLatestFirst()
    {
        storeDay(Today.addDays(-30), earlier(), {{3, 1, QStringLiteral("KIM a")}});
        storeDay(Today.addDays(-1), earlier(), {{2, 3, QStringLiteral("KIM b")}, {5, 1, QStringLiteral("KIM c")}});
        storeDay(Today, now(), {{9, 1, QStringLiteral("KIM d")}, {2, 4, QStringLiteral("KIM e")}});
        storeDay(Today.addDays(40), now(), {{2, 1, QStringLiteral("KIM f")}});
        storeDay(Today.addDays(1), now(),
            {{3, 2, QStringLiteral("KIM g")}, {3, 1, QStringLiteral("KIM h")}, {3, 3, QStringLiteral("Lee")}});

        QStringList order;
        for (const AppointmentSearch::Match& m : find(QStringLiteral("kim")).matches)
            order.append(m.text.mid(4));
        QCOMPARE(order.join(QString()), QStringLiteral("edhgfcba"));
    }

    void limitStopsInListingOrder()
    {
        storeDay(Today.addDays(-2), now(), {{2, 1, QStringLiteral("ROE 1")}});
        storeDay(Today.addDays(2), now(), {{2, 1, QStringLiteral("ROE 2")}, {4, 1, QStringLiteral("ROE 3")}});
        storeDay(Today.addDays(3), now(), {{2, 1, QStringLiteral("ROE 4")}});

        QList<DayRecord> days;
        Settings current;
        QVERIFY(AppointmentSearch::readDays(m_data->db(), days, current).ok());
        const AppointmentSearch search(days, current, Today);
        const AppointmentSearch::Matches two = search.find(QStringLiteral("roe"), 2);
        QCOMPARE(two.matches.size(), 2);
        QCOMPARE(two.matches[0].text, QStringLiteral("ROE 2"));
        QCOMPARE(two.matches[1].text, QStringLiteral("ROE 3"));
        QVERIFY(two.more);
        const AppointmentSearch::Matches three = search.find(QStringLiteral("roe"), 3);
        QCOMPARE(three.matches.last().text, QStringLiteral("ROE 4"));
        QVERIFY(three.more);
        const AppointmentSearch::Matches all = search.find(QStringLiteral("roe"), 4);
        QCOMPARE(all.matches.last().text, QStringLiteral("ROE 1"));
        QVERIFY(!all.more);
    }

    void resultLine_data()
    {
        QTest::addColumn<AppointmentSearch::Match>("match");
        QTest::addColumn<QString>("line");

        AppointmentSearch::Match m;
        m.date = Today;
        m.row = 3;
        m.column = 2;
        m.time = QStringLiteral("08:30 AM");
        m.provider = QStringLiteral("Dr Lee");
        m.text = QStringLiteral("SMITH %1 / JONES");
        QTest::newRow("time row") << m << "Wednesday 5/15/24  08:30 AM  Dr Lee  SMITH %1 / JONES";
        m.date = QDate(2023, 12, 1);
        m.row = 1;
        m.time.clear();
        const QString noTime(8, QLatin1Char(' '));
        QTest::newRow("row without time") << m << "Friday 12/1/23  " + noTime + "  Dr Lee  SMITH %1 / JONES";
        m.provider.clear();
        QTest::newRow("provider without name") << m << "Friday 12/1/23  " + noTime + "  Provider 2  SMITH %1 / JONES";
    }

    void resultLine()
    {
        QFETCH(AppointmentSearch::Match, match);
        QFETCH(QString, line);
        QCOMPARE(AppointmentSearch::resultLine(match), line);
    }
};

QTEST_GUILESS_MAIN(TestAppointmentSearch)
#include "tst_appointmentsearch.moc"
