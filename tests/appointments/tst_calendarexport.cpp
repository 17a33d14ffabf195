#include "TestSupport.h"

#include "appointments/CalendarExport.h"
#include "appointments/CalendarFolder.h"
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
    QString when; // "start minutes summary": the day of the month and time in UTC, or only the day
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
        const QDateTime start = QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(t, t.zone), Qt::UTC);
        out.append({QString::fromUtf8(icalcomponent_get_uid(c)),
            QStringLiteral("%1 %2 %3")
                .arg(start.toString(t.is_date ? QStringLiteral("dd") : QStringLiteral("ddThh:mm")))
                .arg(icaldurationtype_as_int(icalcomponent_get_duration(c)) / 60)
                .arg(QString::fromUtf8(icalcomponent_get_summary(c))),
            QString::fromUtf8(icalcomponent_get_description(c)), QString::fromUtf8(icalcomponent_get_location(c))});
    }
    icalcomponent_free(root);
    // A reader that stops early, or a file that does not parse, leaves events out.
    const qsizetype events = calendar.text.count("BEGIN:VEVENT");
    return events == out.size() && events == calendar.events ? out : QList<Event>();
}

using Booking = std::tuple<int, int, QString>; // page row, provider column, text

// A day made under copied: page row 2 is its first time.
DayRecord day(int offset, const Settings& copied, const QList<Booking>& bookings)
{
    DayRecord r;
    r.calDate = Today.addDays(offset);
    DayPlacement::describeLayout(r, DayLayout::fromSettings(copied));
    PageText::Cells cells = PageText::fit(QString(), 8, copied.providerCount);
    for (const auto& [row, column, text] : bookings)
        cells[row - 1][column - 1] = text;
    r.pageText = PageText::join(cells);
    return r;
}

// Four providers from 08:00 AM by the half hour unless slotMinutes says otherwise.
Settings practice(int slotMinutes = 30, const QString& names = QStringLiteral("Dr Lee-Dr Ng-Dr Roe-Dr Day"))
{
    Settings s = Settings::defaults();
    s.slotMinutes = slotMinutes;
    s.names = names;
    return s;
}

CalendarExport::Calendar built(const QList<DayRecord>& days, const Settings& current,
    const QString& provider = QString(), const QByteArray& zone = "America/New_York")
{
    const CalendarExport::Request request {Today.addDays(-7), Today.addDays(7),
        CalendarExport::ProviderChoice::fromText(provider), QTimeZone(zone), Clock::now()};
    return CalendarExport::build(days, current, Today, request);
}
} // namespace

class TestCalendarExport : public QObject
{
    Q_OBJECT

private slots:
    void textsComeBackAsTyped_data()
    {
        QTest::addColumn<QStringList>("texts"); // a slot's, its provider's name
        QTest::newRow("punctuation") << QStringList {"Smith, Jo; 2 x 3\\4: \"ok\"", "Dr O'Neil, MD; PhD"};
        QTest::newRow("accents") << QStringList {"Zoë Brontë, Ærøskøbing", "Dr Müller"};
        QTest::newRow("right to left") << QStringList {"שרה כהן (בדיקה)", "د. أحمد"};
        QTest::newRow("long") << QStringList {QString(200, QChar(0x00e9)), "Dr " + QString(196, 'x')};
        QTest::newRow("line break in a name") << QStringList {"Lee", "Dr Ng\nroom 2"};
        QTest::newRow("unnamed provider") << QStringList {"Lee", ""};
    }
    void textsComeBackAsTyped()
    {
        QFETCH(QStringList, texts);
        const QString &slot = texts[0], &provider = texts[1];
        const Settings s = practice(30, QStringLiteral("Dr A-%1-Dr C-Dr D").arg(provider));
        DayRecord r = day(0, s, {{2, 2, slot}});
        r.location = QStringLiteral("Clinic, Main St; 2nd floor");
        const QList<Event> events = parsed(built({r}, s));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].when, "15T12:00 30 " + slot);
        QCOMPARE(events[0].description, provider);
        QCOMPARE(events[0].location, r.location);
    }

    void eachDayInItsLayoutForTheChosenProvider_data()
    {
        QTest::addColumn<QString>("provider");
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QStringList>("events"); // day of May and time in UTC, minutes, summary
        QTest::addColumn<bool>("known");
        const QString ny = QStringLiteral("America/New_York");
        const auto row = [](const char* name, const QString& provider, const QString& zone, QStringList events,
                             bool known = true) {
            QTest::newRow(name) << provider << zone.toLatin1() << (events << "17 1440 Closed") << known;
        };
        // Yesterday keeps its own hourly layout; today takes the current half-hour one.
        row("every one", "", ny, {"14T13:00 60 Roe", "14T14:00 60 Ng 1", "15T14:00 30 Lee", "15T15:00 30 Ng 2"});
        row("second column", "2", ny, {"14T14:00 60 Ng 1", "15T15:00 30 Ng 2"});
        row("name in another column", " dr ROE ", ny, {"14T13:00 60 Roe"});
        row("east of UTC", "Dr Ng", "Asia/Kolkata", {"14T04:30 60 Ng 1", "15T05:30 30 Ng 2"});
        row("UTC", "1", "Etc/UTC", {"14T09:00 60 Roe", "15T10:00 30 Lee"});
        row("nobody of that name", "Dr Nobody", "UTC", {}, false);
    }
    void eachDayInItsLayoutForTheChosenProvider()
    {
        QFETCH(QString, provider);
        QFETCH(QByteArray, zone);
        QFETCH(QStringList, events);
        QFETCH(bool, known);
        Settings earlier = practice(60, QStringLiteral("Dr Roe-Dr Ng"));
        earlier.providerCount = 2;
        DayRecord closed = day(2, practice(), {{4, 1, "Lee"}});
        closed.closed = true;
        const QList<DayRecord> days {day(-1, earlier, {{3, 1, "Roe"}, {4, 2, "Ng 1"}}),
            day(0, practice(60), {{4, 1, "Lee"}, {5, 2, "Ng 2"}}), closed};
        const CalendarExport::Calendar calendar = built(days, practice(), provider, zone);
        QStringList found;
        for (const Event& e : parsed(calendar))
            found.append(e.when);
        QCOMPARE(found, events);
        QCOMPARE(calendar.providerKnown, known);
    }

    void uidsFollowTheSlotNotItsRow()
    {
        // 09:00 AM is row 4 by the half hour, row 6 by the quarter.
        const QList<DayRecord> days {
            day(0, practice(), {{4, 1, "Lee"}, {4, 2, "Ng"}}), day(1, practice(), {{4, 1, "Roe"}})};
        const QList<Event> before = parsed(built(days, practice()));
        const QList<Event> after = parsed(built(days, practice(15)));
        QCOMPARE(after.size(), 3);
        QCOMPARE(QSet<QString>({before[0].uid, before[1].uid, before[2].uid}).size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(after[i].when, QString(before[i].when).replace(" 30 ", " 15 "));
            QCOMPARE(after[i].uid, before[i].uid);
        }
    }

    void commandWritesTheChosenDays()
    {
        TestSupport::DataFixture data;
        TestSupport::bookCell(data.db(), Today.addDays(1), Settings::defaults(), 4, 2, QStringLiteral("Lee"));
        const QString out = data.folder() + QStringLiteral("/practice.ics");
        const auto run = [&](const QStringList& options) {
            return TestSupport::runProgram(QStringLiteral(LEDGERLY_EXE),
                QStringList {"export-ics", "--data-dir", data.folder(), "--out", out} + options)
                .exitCode;
        };
        QCOMPARE(run({"--from", "2024-05-16", "--to", "2024-05-16", "--provider", "2"}), 0);
        QCOMPARE(TestSupport::fileBytes(out).count("SUMMARY:Lee"), 1);
        QCOMPARE(run({"--from", "2024-05-17"}), 0);
        QVERIFY(!TestSupport::fileBytes(out).contains("VEVENT"));
        QCOMPARE(run({"--from", "2024-05-16", "--provider", "Dr Nobody"}), 2);
        QCOMPARE(run({"--to", "2024-13-01"}), 2);
    }

    void folderHoldsOneFilePerProviderAfterAChange()
    {
        TestSupport::DataFixture data;
        TestSupport::bookCell(data.db(), Today, Settings::defaults(), 4, 2, QStringLiteral("Lee"));
        const QString dir = data.folder() + QLatin1Char('/');
        TestSupport::writeFile(dir + "provider-5.ics", "from the days of five providers");
        CalendarFolder folder(data.db(), data.folder());
        folder.changed();
        QTRY_VERIFY(!QFile::exists(dir + "provider-5.ics"));
        QCOMPARE(TestSupport::fileBytes(dir + "provider-2.ics").count("SUMMARY:Lee"), 1);
        QVERIFY(TestSupport::fileBytes(dir + "provider-2.ics").contains("X-WR-CALNAME:Practitioner B"));
        QVERIFY(!TestSupport::fileBytes(dir + "provider-1.ics").contains("VEVENT"));
        QVERIFY(QFile::exists(dir + "provider-4.ics"));
        // A later change is written as well, the earlier writing done.
        TestSupport::bookCell(data.db(), Today, Settings::defaults(), 5, 2, QStringLiteral("Ng"));
        folder.changed();
        QTRY_VERIFY(TestSupport::fileBytes(dir + "provider-2.ics").contains("SUMMARY:Ng"));
    }
};

QTEST_GUILESS_MAIN(TestCalendarExport)
#include "tst_calendarexport.moc"
