#include "TestSupport.h"

#include "appointments/DaySheetReader.h"
#include "core/DayLayout.h"
#include "core/DayPlacement.h"
#include "core/PageText.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QRandomGenerator>
#include <QTest>

using TestSupport::Today;

using TestSupport::Places;
using TestSupport::placesOf;

namespace {
Places placesOf(const DaySheet& sheet)
{
    Places out;
    for (int r = 1; r <= sheet.rowCount(); ++r) {
        for (int c = 1; c <= sheet.providerCount(); ++c) {
            if (!sheet.cell(r, c).isEmpty())
                out.insert({TestSupport::rowKey(r, sheet.rowCount(), sheet.timeTexts), c}, sheet.cell(r, c));
        }
    }
    return out;
}
} // namespace

class TestDayPlacement : public QObject
{
    Q_OBJECT

private slots:
    // However the practice's settings change, a day of today or later read
    // for printing or saved again shows every booking at its own time and
    // provider column.
    void aChangeOfLayoutNeverDropsOrMovesABooking()
    {
        TestSupport::DataFixture data;
        QRandomGenerator random(20241506);
        for (int i = 0; i < 150; ++i) {
            const QDate day = Today.addDays(i % 2 == 0 ? i : -1 - i);
            const Places before
                = TestSupport::bookRandomPage(data.db(), day, TestSupport::randomLayout(random), random);
            const Settings current
                = random.bounded(5) == 0 ? TestSupport::damagedLayout(random) : TestSupport::randomLayout(random);
            QVERIFY(SettingsStore(data.db()).writeLayout(current).ok());

            DaySheet sheet;
            QVERIFY(DaySheetReader::read(data.db(), day, sheet).ok());
            QCOMPARE(placesOf(sheet), before);
        }
    }

    // Two desks that lay the same day out differently (one opened before the
    // slots changed) merge their saves by time, not by position.
    void desksWithOtherLayoutsMergeByTime()
    {
        TestSupport::DataFixture data;
        Settings hourly = Settings::defaults();
        hourly.slotMinutes = 60;
        const QDate day = Today.addDays(3);
        DayStore store(data.db());
        DayRecord first;
        bool created = false;
        QVERIFY(store.open(day, hourly, first, created).ok());
        const DayLayout hours = DayLayout::fromSettings(hourly);
        const auto book
            = [](DayRecord record, const DayLayout& layout, const QString& time, int column, const QString& name) {
                  PageText::Cells cells = PageText::fit(record.pageText, layout.pageRows(), layout.pageColumns());
                  cells[layout.timeTexts.indexOf(time) + 1][column - 1] = name;
                  record.pageText = PageText::join(cells);
                  DayPlacement::describeLayout(record, layout);
                  return record;
              };
        DayRecord hourDesk
            = store.save(first, book(first, hours, QStringLiteral("10:00 AM"), 1, QStringLiteral("SMITH"))).stored;

        // The other desk shows the day in half hours and books 11:30 AM.
        const DayLayout halfHours = DayLayout::fromSettings(Settings::defaults());
        const DayRecord shown = DayPlacement::inLayout(hourDesk, halfHours);
        QVERIFY(store.save(shown, book(shown, halfHours, QStringLiteral("11:30 AM"), 2, QStringLiteral("JONES")))
                    .status.ok());
        // The first desk, still on hours, books 02:00 PM.
        const DayStore::SaveOutcome last
            = store.save(hourDesk, book(hourDesk, hours, QStringLiteral("02:00 PM"), 3, QStringLiteral("BROWN")));
        QVERIFY(last.status.ok());

        const TestSupport::Places expected {{{QStringLiteral("10:00 AM"), 1}, QStringLiteral("SMITH")},
            {{QStringLiteral("11:30 AM"), 2}, QStringLiteral("JONES")},
            {{QStringLiteral("02:00 PM"), 3}, QStringLiteral("BROWN")}};
        QCOMPARE(placesOf(*TestSupport::storedDay(data.db(), day)), expected);
    }
};

QTEST_GUILESS_MAIN(TestDayPlacement)
#include "tst_dayplacement.moc"
