#include "TestSupport.h"

#include "appointments/CalendarExport.h"
#include "core/DayPlacement.h"
#include "core/PageText.h"
#include "platform/Clock.h"

#include <QTest>
#include <libical/ical.h>

using TestSupport::Today;

namespace {
// An event as a second reader (libical's parser) finds it in the file.
struct Event
{
    QString uid;
    QString start; // the moment in UTC, "yyyy-MM-ddThh:mm", or the date of an all-day event
    QString zone; // the TZID the start is given in
    int minutes = 0;
    QString summary;
    QString description;
    QString location;
};

QList<Event> parsed(const CalendarExport::Calendar& calendar)
{
    icalcomponent* root = icalparser_parse_string(calendar.text.constData());
    QList<Event> out;
    for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT); c;
         c = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT)) {
        const icaltimetype t = icalcomponent_get_dtstart(c);
        icalparameter* tzid = icalproperty_get_first_parameter(
            icalcomponent_get_first_property(c, ICAL_DTSTART_PROPERTY), ICAL_TZID_PARAMETER);
        const QDateTime start = QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, t.zone), Qt::UTC);
        out.append({QString::fromUtf8(icalcomponent_get_uid(c)),
            t.is_date ? start.date().toString(Qt::ISODate) : start.toString(QStringLiteral("yyyy-MM-ddThh:mm")),
            tzid ? QString::fromUtf8(icalparameter_get_tzid(tzid)) : QString(),
            icaldurationtype_as_int(icalcomponent_get_duration(c)) / 60,
            QString::fromUtf8(icalcomponent_get_summary(c)), QString::fromUtf8(icalcomponent_get_description(c)),
            QString::fromUtf8(icalcomponent_get_location(c))});
    }
    icalcomponent_free(root);
    // A reader that stops early, or a file that does not parse, leaves events out.
    const qsizetype events = calendar.text.count("BEGIN:VEVENT");
    return events == out.size() && events == calendar.events ? out : QList<Event>();
}

using Booking = std::tuple<int, int, QString>; // page row, provider column, text

// A day made under copied (four providers from 08:00 AM by the half hour
// unless changed): page row 2 is the first time.
DayRecord day(const QDate& date, const Settings& copied, const QList<Booking>& bookings)
{
    DayRecord r;
    r.calDate = date;
    DayPlacement::describeLayout(r, DayLayout::fromSettings(copied));
    PageText::Cells cells = PageText::fit(QString(), 8, copied.providerCount);
    for (const auto& [row, column, text] : bookings)
        cells[row - 1][column - 1] = text;
    r.pageText = PageText::join(cells);
    return r;
}

Settings withSlots(int minutes)
{
    Settings s = Settings::defaults();
    s.slotMinutes = minutes;
    return s;
}

CalendarExport::Calendar built(const QList<DayRecord>& days, const Settings& current = Settings::defaults(),
    const QString& provider = QString(), const QByteArray& zone = "America/New_York")
{
    const CalendarExport::Request request {Today.addDays(-7), Today.addDays(7),
        CalendarExport::ProviderChoice::fromText(provider), QTimeZone(zone), Clock::now()};
    return CalendarExport::build(days, current, Today, request);
}

QList<Event> exported(const QList<DayRecord>& days, const Settings& current = Settings::defaults())
{
    return parsed(built(days, current));
}
} // namespace

class TestCalendarExport : public QObject
{
    Q_OBJECT

private slots:
    void textsComeBackAsTyped_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::addColumn<QString>("provider");
        QTest::newRow("punctuation") << "Smith, Jo; 2 x 3\\4: \"ok\""
                                     << "Dr O'Neil, MD; PhD";
        QTest::newRow("accents") << QStringLiteral("Zoë Brontë, Ærøskøbing") << QStringLiteral("Dr Müller");
        QTest::newRow("right to left") << QStringLiteral("שרה כהן (בדיקה)") << QStringLiteral("د. أحمد");
        QTest::newRow("long") << QString(200, QChar(0x00e9)) << QStringLiteral("Dr %1").arg(QString(196, 'x'));
        QTest::newRow("line break in a name") << "Lee"
                                              << "Dr Ng\nroom 2";
        QTest::newRow("unnamed provider") << "Lee"
                                          << "";
    }
    void textsComeBackAsTyped()
    {
        QFETCH(QString, slot);
        QFETCH(QString, provider);
        Settings s = Settings::defaults();
        s.names = QStringLiteral("Dr A-%1-Dr C-Dr D").arg(provider);
        DayRecord r = day(Today, s, {{2, 2, slot}});
        r.location = QStringLiteral("Clinic, Main St; 2nd floor");
        const QList<Event> events = exported({r}, s);
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].summary, slot);
        QCOMPARE(events[0].description, provider);
        QCOMPARE(events[0].location, r.location);
    }

    void slotsStartAtTheirLocalTimeForTheDaysLength_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("minutes");
        // A 10:00 AM booking on a day made by the hour: today and later days
        // take the current half-hour layout, a past day keeps its own.
        QTest::newRow("summer time") << QByteArray("America/New_York") << 0 << "2024-05-15T14:00" << 30;
        QTest::newRow("past day") << QByteArray("America/New_York") << -1 << "2024-05-14T14:00" << 60;
        QTest::newRow("east of UTC") << QByteArray("Asia/Kolkata") << 1 << "2024-05-16T04:30" << 30;
        QTest::newRow("UTC") << QByteArray("Etc/UTC") << 0 << "2024-05-15T10:00" << 30;
    }
    void slotsStartAtTheirLocalTimeForTheDaysLength()
    {
        QFETCH(QByteArray, zone);
        QFETCH(int, offset);
        QFETCH(QString, start);
        QFETCH(int, minutes);
        const QList<Event> events = parsed(
            built({day(Today.addDays(offset), withSlots(60), {{4, 1, "Lee"}})}, Settings::defaults(), "", zone));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].start, start);
        QCOMPARE(events[0].minutes, minutes);
        QCOMPARE(events[0].zone.endsWith(QString::fromLatin1(zone)), zone != "Etc/UTC");
    }

    void uidsFollowTheSlotNotItsRow()
    {
        // 09:00 AM is row 4 by the half hour, row 6 by the quarter.
        const QList<DayRecord> days {day(Today, Settings::defaults(), {{4, 1, "Lee"}, {4, 2, "Ng"}}),
            day(Today.addDays(1), Settings::defaults(), {{4, 1, "Roe"}})};
        const QList<Event> before = exported(days);
        const QList<Event> after = exported(days, withSlots(15));
        QCOMPARE(after.size(), 3);
        QCOMPARE(after[0].minutes, 15);
        QCOMPARE(QSet<QString>({before[0].uid, before[1].uid, before[2].uid}).size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(after[i].start, before[i].start);
            QCOMPARE(after[i].uid, before[i].uid);
        }
    }

    void closedDayIsOneAllDayEvent()
    {
        DayRecord closed = day(Today.addDays(2), Settings::defaults(), {{4, 1, "Lee"}});
        closed.closed = true;
        const QList<Event> events = exported({closed, day(Today.addDays(3), Settings::defaults(), {{4, 1, "Ng"}})});
        QCOMPARE(events.size(), 2);
        QCOMPARE(events[0].summary, QStringLiteral("Closed"));
        QCOMPARE(events[0].start, QStringLiteral("2024-05-17"));
        QCOMPARE(events[0].minutes, 24 * 60);
        QCOMPARE(events[1].summary, QStringLiteral("Ng"));
    }

    void providerChosenByNumberOrByTheirNameThatDay_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QStringList>("summaries");
        QTest::newRow("every one") << "" << QStringList {"Roe", "Ng 1", "Lee", "Ng 2"};
        QTest::newRow("second column") << "2" << QStringList {"Ng 1", "Ng 2"};
        QTest::newRow("name in another column") << " dr ROE " << QStringList {"Roe"};
        QTest::newRow("name") << "Dr Ng" << QStringList {"Ng 1", "Ng 2"};
        QTest::newRow("nobody of that name") << "Dr Nobody" << QStringList();
    }
    void providerChosenByNumberOrByTheirNameThatDay()
    {
        QFETCH(QString, provider);
        QFETCH(QStringList, summaries);
        Settings current = Settings::defaults();
        current.names = QStringLiteral("Dr Lee-Dr Ng-Dr Roe-Dr Day");
        Settings earlier = current; // yesterday's page keeps these
        earlier.names = QStringLiteral("Dr Roe-Dr Ng");
        earlier.providerCount = 2;
        const QList<DayRecord> days {day(Today.addDays(-1), earlier, {{2, 1, "Roe"}, {2, 2, "Ng 1"}}),
            day(Today, current, {{2, 1, "Lee"}, {2, 2, "Ng 2"}})};
        const CalendarExport::Calendar calendar = built(days, current, provider);
        QStringList found;
        for (const Event& e : parsed(calendar))
            found.append(e.summary);
        QCOMPARE(found, summaries);
        QCOMPARE(calendar.providerKnown, !summaries.isEmpty());
    }

    void commandWritesTheChosenDays()
    {
        TestSupport::DataFixture data;
        TestSupport::bookCell(data.db(), Today.addDays(1), Settings::defaults(), 4, 2, QStringLiteral("Lee"));
        const QString out = data.folder() + QStringLiteral("/practice.ics");
        const auto run = [&](const QStringList& options) {
            return TestSupport::runProgram(QStringLiteral(LEDGERLY_EXE),
                QStringList {"export-ics", "--data-dir", data.folder(), "--out", out} + options);
        };
        QCOMPARE(run({"--from", "2024-05-16", "--to", "2024-05-16", "--provider", "2"}).exitCode, 0);
        QCOMPARE(TestSupport::fileBytes(out).count("SUMMARY:Lee"), 1);
        QCOMPARE(run({"--from", "2024-05-17"}).exitCode, 0);
        QVERIFY(!TestSupport::fileBytes(out).contains("VEVENT"));
        QCOMPARE(run({"--from", "2024-05-16", "--provider", "Dr Nobody"}).exitCode, 2);
        QCOMPARE(run({"--to", "2024-13-01"}).exitCode, 2);
    }
};

QTEST_GUILESS_MAIN(TestCalendarExport)
#include "tst_calendarexport.moc"
