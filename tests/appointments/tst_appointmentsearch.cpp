#include "TestSupport.h"

#include "appointments/AppointmentSearch.h"
#include "core/DayPlacement.h"
#include "core/PageText.h"

#include <QDir>
#include <QTest>

using TestSupport::Today;

namespace {
// The layout a day copied when it was made: three providers, 09:00 AM to
// 12:00 PM by the hour (grid rows 2 .. 6 are 09:00 AM .. 01:00 PM, row 7 is
// blank). Today's is the default: four providers from 08:00 AM by the half
// hour.
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

using Booking = std::tuple<int, int, QString>; // row, column, text

// A day record made under copied, its page as large as its bookings need.
DayRecord day(int offset, const Settings& copied, const QList<Booking>& bookings)
{
    DayRecord r;
    r.calDate = Today.addDays(offset);
    DayPlacement::describeLayout(r, DayLayout::fromSettings(copied));
    PageText::Cells cells;
    for (const auto& [row, column, text] : bookings) {
        cells = PageText::fit(PageText::join(cells), std::max(row, int(cells.size())),
            std::max(column, cells.isEmpty() ? 0 : int(cells[0].size())));
        cells[row - 1][column - 1] = text;
    }
    r.pageText = PageText::join(cells);
    return r;
}

QList<AppointmentSearch::Match> find(const QList<DayRecord>& days, const QString& text)
{
    return AppointmentSearch(days, Settings::defaults(), Today).find(text).matches;
}
} // namespace

class TestAppointmentSearch : public QObject
{
    Q_OBJECT

private slots:
    void foundWithTheLayoutTheDayIsShownWith_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("time");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("provider");
        QTest::newRow("past day, its own layout") << -30 << 3 << "10:00 AM" << 2 << "Dr Ng";
        QTest::newRow("past day, blank bottom row") << -401 << 7 << "" << 3 << "Dr Roe";
        // The window never cuts a stored page: the day is shown lengthened to hold it.
        QTest::newRow("past day, below its last row") << -3 << 8 << "" << 1 << "Dr Lee";
        // Days from today on are shown in today's layout, each booking at its own time.
        QTest::newRow("today, booked before the slots changed") << 0 << 3 << "10:00 AM" << 2 << "Practitioner B";
        QTest::newRow("future, a column its copy lacks") << 3 << 4 << "11:00 AM" << 4 << "Practitioner D";
        QTest::newRow("future, right of the last provider") << 3 << 2 << "09:00 AM" << 5 << "";
    }

    void foundWithTheLayoutTheDayIsShownWith()
    {
        QFETCH(int, offset);
        QFETCH(int, row);
        QFETCH(QString, time);
        QFETCH(int, column);
        QFETCH(QString, provider);
        const QList<AppointmentSearch::Match> r
            = find({day(offset, earlier(), {{row, column, QStringLiteral("ZELDA Quince")}})}, QStringLiteral("zelda"));
        QCOMPARE(r.size(), 1);
        QCOMPARE(r[0].date, Today.addDays(offset));
        QCOMPARE(r[0].column, column);
        QCOMPARE(r[0].time, time);
        QCOMPARE(r[0].provider, provider);
        QCOMPARE(r[0].text, QStringLiteral("ZELDA Quince"));
        QCOMPARE(r[0].upcoming, offset >= 0);
    }

    void whatTheTypedTextFinds_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("typed");
        QTest::newRow("lower finds upper") << "SMITH John" << true << "smit";
        QTest::newRow("plain finds accented") << QStringLiteral("M\u00DCLLER Ren\u00E9e") << true << "muller";
        QTest::newRow("decomposed finds composed")
            << QStringLiteral("Jos\u00E9") << true << QStringLiteral("jose\u0301");
        QTest::newRow("blanks around the text") << "SMITH John" << true << "  h jo ";
        QTest::newRow("across the names of a cell") << "SMITH / LEE" << true << "th / le";
        QTest::newRow("one match per cell") << "ANNA ANNABEL" << true << "anna";
        QTest::newRow("a different letter") << "SMITH" << false << "smyth";
        QTest::newRow("across two cells") << "SMITH" << false << "smith\tjones";
        QTest::newRow("nothing typed") << "SMITH" << false << "";
    }

    void whatTheTypedTextFinds()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, found);
        const QList<AppointmentSearch::Match> r
            = find({day(2, Settings::defaults(), {{2, 1, stored}, {2, 2, QStringLiteral("JONES")}})}, typed);
        QCOMPARE(r.size(), found ? 1 : 0);
        if (found)
            QCOMPARE(r[0].text, stored);
    }

    void upcomingFirstThenPastLatestFirst()
    {
        const QList<DayRecord> days = {day(-30, earlier(), {{3, 1, QStringLiteral("KIM a")}}),
            day(-1, earlier(), {{2, 3, QStringLiteral("KIM b")}, {5, 1, QStringLiteral("KIM c")}}),
            day(0, Settings::defaults(), {{9, 1, QStringLiteral("KIM d")}, {2, 4, QStringLiteral("KIM e")}}),
            day(40, Settings::defaults(), {{2, 1, QStringLiteral("KIM f")}}),
            day(1, Settings::defaults(),
                {{3, 2, QStringLiteral("KIM g")}, {3, 1, QStringLiteral("KIM h")}, {3, 3, QStringLiteral("Lee")}})};
        const AppointmentSearch search(days, Settings::defaults(), Today);
        const AppointmentSearch::Matches all = search.find(QStringLiteral("kim"));
        QString order;
        for (const AppointmentSearch::Match& m : all.matches)
            order.append(m.text.mid(4));
        QCOMPARE(order, QStringLiteral("edhgfcba"));
        QVERIFY(!all.more);
        // A limit stops in listing order.
        const AppointmentSearch::Matches first = search.find(QStringLiteral("kim"), 3);
        QVERIFY(first.matches == all.matches.mid(0, 3));
        QVERIFY(first.more);
    }

    // `ledgerly find`, run as a user runs it, on the machine's own today.
    void findCommand_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("words joined by a blank")
            << QStringList {QStringLiteral("smith"), QStringLiteral("/")} << 0
            << QStringList {QStringLiteral("Monday 3/5/01  08:30 AM  Practitioner B  SMITH / JONES")};
        // Stored text reaches a terminal: an escape sequence in it must not.
        QTest::newRow("control characters")
            << QStringList {QStringLiteral("evil")} << 0
            << QStringList {QStringLiteral("Tuesday 1/3/90  08:00 AM  Practitioner A  EVIL?]0;owned??[2J?1m")};
        QTest::newRow("nothing found") << QStringList {QStringLiteral("zzz")} << 0
                                       << QStringList {QStringLiteral("No appointments found")};
        QTest::newRow("no database") << QStringList {QStringLiteral("smith")} << 1 << QStringList();
        QTest::newRow("blank text is refused") << QStringList {QStringLiteral("  ")} << 2 << QStringList();
    }

    void findCommand()
    {
        QFETCH(QStringList, words);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        QTemporaryDir empty;
        TestSupport::DataFixture data;
        const Settings s = Settings::defaults();
        TestSupport::bookCell(data.db(), QDate(2001, 3, 5), s, 3, 2, QStringLiteral("SMITH / JONES"));
        TestSupport::bookCell(data.db(), QDate(2090, 1, 2), s, 4, 4, QStringLiteral("Smithers"));
        TestSupport::bookCell(data.db(), QDate(2090, 1, 3), s, 2, 1,
            QStringLiteral("EVIL\x1b]0;owned\x07\x1b[2J\x9b"
                           "1m"));
        const QString folder = QTest::currentDataTag() == QLatin1String("no database") ? empty.path() : data.folder();
        // The built program with an English (US) locale like the test's, and
        // no display: find must not need one.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
        const TestSupport::Run r = TestSupport::runProgram(QStringLiteral(LEDGERLY_EXE),
            QStringList {QStringLiteral("find")} + words + QStringList {QStringLiteral("--data-dir"), folder}, env);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), lines);
        QCOMPARE(QDir(empty.path()).isEmpty(), true); // find never makes a database
    }
};

QTEST_GUILESS_MAIN(TestAppointmentSearch)
#include "tst_appointmentsearch.moc"
