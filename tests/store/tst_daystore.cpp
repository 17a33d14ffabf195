#include "TestSupport.h"

#include "appointments/AppointmentSearch.h"
#include "core/DayLayout.h"
#include "core/PageText.h"
#include "platform/Clock.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/DatabaseRecords.h"
#include "store/DaySearchIndex.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QTest>

using TestSupport::cellOf;
using TestSupport::storedDay;

// Two desks on one database: this one (m_data's connection) and another; at
// the end, four real processes at once.
class TestDayStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void openMeetsTheSameDayMadeMeanwhile();
    void save_data();
    void save();
    void saveStoresTheLayoutOfThePage();
    void failedSaveLeavesTheDay_data();
    void failedSaveLeavesTheDay();
    void aChangeAndItsHistoryAreStoredTogether();
    void concurrentSavesLoseNothing();
    void findingThroughTheIndexListsWhatEveryDayHolds();

private:
    Database& thisDesk() { return m_data->db(); }
    Database& otherDesk() { return *m_other; }

    std::unique_ptr<TestSupport::DataFixture> m_data;
    std::unique_ptr<Database> m_other;
};

namespace {

const QDate Day = TestSupport::Today;
const QString Brown = "BROWN";

// What the other desk does with the day both desks read.
enum class Other { Nothing, BooksRow2First, BooksRow1First, BooksRow2Last };

// A blank page of 3 rows by 2 cells.
QString page()
{
    return PageText::join(PageText::fit(QString(), 3, 2));
}

// rec with text in cell (row, col), counted from 1.
DayRecord edited(DayRecord rec, int row, int col, const QString& text)
{
    PageText::Cells cells = PageText::fit(rec.pageText, 3, 2);
    cells[row - 1][col - 1] = text;
    rec.pageText = PageText::join(cells);
    return rec;
}

// The day opened, made with its page when missing, as a desk shows it.
DayRecord shownDay(Database& db, const QDate& date = Day)
{
    DayRecord rec;
    bool created = false;
    if (!DayStore(db).open(date, Settings::defaults(), rec, created, page()).ok())
        qFatal("the day could not be opened");
    return rec;
}

} // namespace

// A fresh database for every test, the earlier one closed first.
void TestDayStore::init()
{
    m_other.reset();
    m_data.reset();
    m_data = std::make_unique<TestSupport::DataFixture>();
    m_other = std::make_unique<Database>("other desk");
    QVERIFY(m_other->open(m_data->databasePath()).ok());
}

// The other desk makes the same new day after this one looked for it and
// before its insert: both succeed, with the one record and the first desk's
// copies of the settings.
void TestDayStore::openMeetsTheSameDayMadeMeanwhile()
{
    QSqlQuery lock(otherDesk().connection());
    QVERIFY(TestSupport::holdWriteLock(otherDesk().connection()));
    Settings theirSettings = Settings::defaults();
    theirSettings.providerCount = 3;
    DayRecord theirs;
    bool theyCreated = false;
    // The lock pauses this desk's insert once its look found nothing.
    thisDesk().retry().pause = [&](qint64) {
        QVERIFY(theirs.id == 0 && lock.exec("ROLLBACK"));
        QVERIFY(DayStore(otherDesk()).open(Day, theirSettings, theirs, theyCreated).ok());
    };
    DayRecord rec;
    bool created = true;
    const Result opened = DayStore(thisDesk()).open(Day, Settings::defaults(), rec, created, page());
    QVERIFY2(opened.ok(), qPrintable(opened.message));
    QVERIFY(theyCreated && !created);
    QCOMPARE(rec.id, theirs.id);
    QCOMPARE(rec.providerCount, 3);
    QCOMPARE(rec.pageText, QString()); // theirs was made without a page
}

void TestDayStore::save_data()
{
    // Both desks read the day with "LEE" in cell (1, 1); the other desk may
    // book BROWN, and this desk saves cell (1, 1), its closed mark and memo.
    // Compared with the day as stored, a save of what is there writes nothing.
    QTest::addColumn<Other>("other");
    QTest::addColumn<QString>("mine");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("memo");
    QTest::addColumn<DayStore::SaveMode>("mode");
    QTest::addColumn<QString>("cells"); // cells (1, 1) and (2, 1) afterwards; null: no record
    QTest::addColumn<bool>("writes");
    // The history's entries from this desk's save on, newest first: what was
    // stored before and after each save, whatever this desk had read.
    QTest::addColumn<QString>("history");
    const auto leaving = DayStore::SaveMode::DeleteWhenEmpty;
    const QString cleared = "row 1, Practitioner A: LEE>";
    QTest::newRow("changed") << Other::Nothing << "SMITH" << false << "" << leaving << "SMITH|" << true
                             << "row 1, Practitioner A: LEE>SMITH";
    QTest::newRow("unchanged") << Other::Nothing << "LEE" << false << "" << leaving << "LEE|" << false << "";
    QTest::newRow("emptied: deleted") << Other::Nothing << "" << false << "" << leaving << QString() << true << cleared;
    QTest::newRow("emptied, closed") << Other::Nothing << "" << true << "" << leaving << "|" << true
                                     << "Open/closed: open>closed;" + cleared;
    QTest::newRow("closed") << Other::Nothing << "LEE" << true << "" << leaving << "LEE|" << true
                            << "Open/closed: open>closed";
    QTest::newRow("emptied, a memo") << Other::Nothing << "" << false << "holiday" << leaving << "|" << true
                                     << "Daily memo: >holiday;" + cleared;
    QTest::newRow("a memo") << Other::Nothing << "LEE" << false << "holiday" << leaving << "LEE|" << true
                            << "Daily memo: >holiday";
    QTest::newRow("emptied while shown") << Other::Nothing << "" << false << "" << DayStore::SaveMode::KeepEmpty << "|"
                                         << true << cleared;
    QTest::newRow("the other desk booked another cell") << Other::BooksRow2First << "SMITH" << false << "" << leaving
                                                        << "SMITH|BROWN" << true << "row 1, Practitioner A: LEE>SMITH";
    QTest::newRow("both desks changed the cell")
        << Other::BooksRow1First << "SMITH" << false << "" << leaving << "SMITH / BROWN|" << true
        << "row 1, Practitioner A: BROWN>SMITH / BROWN";
    QTest::newRow("only the other desk changed the day")
        << Other::BooksRow1First << "LEE" << false << "" << leaving << "BROWN|" << false << "";
    QTest::newRow("both desks typed the same")
        << Other::BooksRow1First << Brown << false << "" << leaving << "BROWN|" << false << "";
    QTest::newRow("emptied after the other desk booked")
        << Other::BooksRow2First << "" << false << "" << leaving << "|BROWN" << true << cleared;
    QTest::newRow("emptied before the other desk booked")
        << Other::BooksRow2Last << "" << false << "" << leaving << "|BROWN" << true
        << "08:00 AM, Practitioner A: >BROWN;" + cleared;
}

void TestDayStore::save()
{
    QFETCH(Other, other);
    QFETCH(QString, mine);
    QFETCH(bool, closed);
    QFETCH(QString, memo);
    QFETCH(DayStore::SaveMode, mode);
    QFETCH(QString, cells);
    QFETCH(bool, writes);
    QFETCH(QString, history);
    const QDateTime moment(Day, QTime(9, 30));
    Clock::setFixedNow(moment);
    const auto entries = [this] {
        QList<ChangeEntry> all;
        if (!ChangeHistory::readDay(otherDesk(), Day, all).ok())
            qFatal("the history could not be read");
        return all;
    };

    const DayRecord shown = shownDay(thisDesk());
    QVERIFY(shown.pageText == page() && shown.version == 1); // made with its page in one write
    const DayRecord base = DayStore(thisDesk()).save(shown, edited(shown, 1, 1, "LEE")).stored;
    const DayRecord theirs = edited(base, other == Other::BooksRow1First ? 1 : 2, 1, Brown);
    if (other == Other::BooksRow2First || other == Other::BooksRow1First)
        QVERIFY(DayStore(otherDesk()).save(base, theirs).status.ok());
    const qint64 before = storedDay(thisDesk())->version;
    const std::optional<qint64> otherSaw = otherDesk().dataVersion();
    const qsizetype entriesBefore = entries().size();
    DayRecord edit = edited(base, 1, 1, mine);
    edit.closed = closed;
    edit.memo = memo;
    const DayStore::SaveOutcome out = DayStore(thisDesk()).save(base, edit, mode);
    QVERIFY(out.status.ok());
    QCOMPARE(out.merged, other == Other::BooksRow2First || other == Other::BooksRow1First);
    // Other desks learn of a change only when there was one.
    if (!TestSupport::onServer())
        QCOMPARE(otherDesk().dataVersion() != otherSaw, writes);
    if (other == Other::BooksRow2Last)
        QVERIFY(DayStore(otherDesk()).save(base, theirs).status.ok());
    else
        QCOMPARE(out.deleted, cells.isNull());

    const QList<ChangeEntry> all = entries();
    QStringList kept;
    for (const ChangeEntry& e : all.mid(0, all.size() - entriesBefore))
        kept.append(ChangeHistory::placeOf(e) + ": " + e.before + '>' + e.after);
    QCOMPARE(kept.join(';'), history);
    QVERIFY(all.first().changedAt == moment && !all.first().machineName.isEmpty());

    const std::optional<DayRecord> now = storedDay(thisDesk());
    QCOMPARE(now.has_value(), !cells.isNull());
    if (!now)
        return;
    QCOMPARE(cellOf(now->pageText, 1, 1) + QLatin1Char('|') + cellOf(now->pageText, 2, 1), cells);
    QCOMPARE(now->closed, closed);
    QCOMPARE(now->memo, memo);
    QCOMPARE(now->version > before, writes);
    if (other != Other::BooksRow2Last)
        QCOMPARE(out.stored.pageText, now->pageText);
}

// The copies of the settings stored with a day describe the layout its page
// was saved in, whatever the day was read in.
void TestDayStore::saveStoresTheLayoutOfThePage()
{
    const DayRecord base = shownDay(thisDesk());
    DayRecord edit = base;
    edit.open = "07:00 AM";
    QVERIFY(DayStore(thisDesk()).save(base, edit, DayStore::SaveMode::KeepEmpty).status.ok());
    QCOMPARE(storedDay(thisDesk())->open, "07:00 AM");
}

void TestDayStore::failedSaveLeavesTheDay_data()
{
    QTest::addColumn<bool>("diskFull");
    QTest::addColumn<QString>("why");
    QTest::newRow("another desk holds the database") << false << "another copy";
    QTest::newRow("the disk is full") << true << "the disk is full";
}

// A save that cannot be made says why, naming the file, and writes nothing;
// the window's look for other desks' saves never waits meanwhile.
void TestDayStore::failedSaveLeavesTheDay()
{
    QFETCH(bool, diskFull);
    QFETCH(QString, why);
    const bool server = TestSupport::onServer();
    if (diskFull && server)
        QSKIP("a full file is made with SQLite's page limit");
    const DayRecord rec = shownDay(thisDesk());
    QSqlQuery hold(diskFull ? thisDesk().connection() : otherDesk().connection());
    // On a file, the other desk keeps this one from reading too.
    QVERIFY(diskFull ? hold.exec("PRAGMA max_page_count = 1")
            : server ? TestSupport::holdWriteLock(otherDesk().connection())
                     : hold.exec("BEGIN EXCLUSIVE"));
    int pauses = 0;
    thisDesk().retry().random = [] { return 0.9999; }; // the fewest retries
    thisDesk().retry().pause = [&](qint64) { ++pauses; };

    const DayStore::SaveOutcome out
        = DayStore(thisDesk()).save(rec, edited(rec, 1, 1, QString(20000, QLatin1Char('x'))));
    QCOMPARE(out.status.code, diskFull ? Result::Failed : Result::Busy);
    QVERIFY2(out.status.message.contains(why), qPrintable(out.status.message));
    QVERIFY(out.status.message.contains(m_data->databasePath()));
    QCOMPARE(pauses > 0, !diskFull);
    pauses = 0;
    std::optional<DayRecord> found;
    QCOMPARE(DayStore(thisDesk()).findOnce(Day, found).code, diskFull || server ? Result::Ok : Result::Busy);
    QCOMPARE(pauses, 0);
    QVERIFY(diskFull || hold.exec("ROLLBACK"));
    QCOMPARE(storedDay(thisDesk())->pageText, page());
}

// A history entry that cannot be written fails its save: the day and the
// fixed memo stay as they were.
void TestDayStore::aChangeAndItsHistoryAreStoredTogether()
{
    const DayRecord base = shownDay(thisDesk());
    QSqlQuery fault(thisDesk().connection());
    QVERIFY(fault.exec(TestSupport::onServer()
            ? "ALTER TABLE tbl_History ADD CONSTRAINT no_room CHECK (Kind = '')"
            : "CREATE TEMP TRIGGER no_room BEFORE INSERT ON main.tbl_History BEGIN SELECT RAISE(ABORT, 'no room'); "
              "END"));
    QVERIFY(!DayStore(thisDesk()).save(base, edited(base, 1, 1, "LEE")).status.ok());
    QCOMPARE(storedDay(otherDesk())->pageText, page());
    QString memo;
    QVERIFY(!SettingsStore(thisDesk()).saveFixedMemo("", "Shut", memo).ok());
    QVERIFY(SettingsStore(otherDesk()).readFixedMemoOnce(memo).ok());
    QCOMPARE(memo, QString());
}

// Four desks, real processes, read the same day and then save one cell of
// it at once: every name is kept.
void TestDayStore::concurrentSavesLoseNothing()
{
    QStringList names = {"ADAMS", "BAKER", "CLARK", "DAVIS"};
    std::vector<std::unique_ptr<QProcess>> desks;
    for (const QString& name : names) {
        desks.push_back(std::make_unique<QProcess>());
        desks.back()->start(QStringLiteral(STORE_STRESS), {"same-cell", m_data->databasePath(), name});
        QVERIFY(desks.back()->waitForReadyRead(30'000));
        QCOMPARE(desks.back()->readLine(), QByteArray("ready\n"));
    }
    for (auto& desk : desks)
        desk->write("go\n");
    for (auto& desk : desks) {
        QVERIFY(desk->waitForFinished(30'000));
        QCOMPARE(desk->readAll(), QByteArray("saved\n"));
    }
    const QString cell = cellOf(storedDay(thisDesk(), QDate(2024, 6, 3))->pageText, 1, 1);
    QStringList stored = cell.split(" / ");
    stored.sort();
    QCOMPARE(stored, names);
    // Each process's entry holds what it stored over what the one before
    // stored, whatever it had read: a chain from nothing to the merged cell.
    QList<ChangeEntry> history;
    QVERIFY(ChangeHistory::readDay(thisDesk(), QDate(2024, 6, 3), history).ok());
    QCOMPARE(history.size(), names.size());
    QString after;
    for (qsizetype i = history.size() - 1; i >= 0; --i) {
        QCOMPARE(history[i].before, after);
        after = history[i].after;
    }
    QCOMPARE(after, cell);
}

namespace {
// What finding through the index lists equals a search over every stored
// day, whole and up to a limit; and the index holds one entry per cell with text.
void findsAsEveryDayDoes(Database& db)
{
    QList<DayRecord> days;
    Settings current;
    QVERIFY(AppointmentSearch::readDays(db, days, current).ok());
    const AppointmentSearch everyDay(days, current, Clock::today());
    for (const char* text : {"mull", "muller", "ann", "sm", "a", "oster", "e / k", "zzz", "LEE"}) {
        for (const qsizetype limit : {qsizetype(-1), qsizetype(2)}) {
            AppointmentSearch::Matches found;
            QVERIFY(AppointmentSearch::findIn(db, text, found, limit).ok());
            const AppointmentSearch::Matches expected = everyDay.find(text, limit);
            QVERIFY2(found.matches == expected.matches && found.more == expected.more, text);
        }
    }
    // A file's index keeps no texts: there each cell counts its trigrams.
    const bool server = TestSupport::onServer();
    qsizetype entries = 0;
    for (const DayRecord& d : std::as_const(days)) {
        for (const QStringList& row : PageText::split(d.pageText)) {
            for (const QString& cell : row) {
                const QString folded = AppointmentSearch::fold(cell);
                QSet<QString> trigrams;
                for (qsizetype i = 0; i + 3 <= folded.size(); ++i)
                    trigrams.insert(folded.mid(i, 3));
                entries += server ? !cell.isEmpty() : trigrams.size();
            }
        }
    }
    QSqlQuery q(db.connection());
    QVERIFY(server || q.exec("CREATE VIRTUAL TABLE IF NOT EXISTS temp.terms USING fts5vocab(main, day_search, row)"));
    QVERIFY(q.exec(server ? "SELECT COUNT(*) FROM day_search" : "SELECT SUM(doc) FROM temp.terms") && q.next());
    QCOMPARE(q.value(0).toLongLong(), entries);
}
} // namespace

// Saves of both desks, some from an older read (merged), some emptying a day
// (deleted), then a restore of the records: finding through the index lists
// what a search over every day lists.
void TestDayStore::findingThroughTheIndexListsWhatEveryDayHolds()
{
    // Days stored in the layout they are shown in, whose cells with the text
    // the index names; some with an early booking (see below).
    const Settings shown = Settings::defaults();
    const DayLayout layout = DayLayout::fromSettings(shown);
    for (int k = 0; k < 6; ++k) {
        const QDate date = Day.addDays(k % 2 ? 30 + k : -30 - k);
        for (const auto& [row, text] : {std::pair(2, k % 3 ? "EARLY" : ""), std::pair(5 + k, "Muller Ann / Lee")})
            TestSupport::bookCell(
                thisDesk(), date, shown, row, 1 + k % 4, text, layout.pageRows(), layout.pageColumns());
    }
    // Enough days for the panel's first look to leave some: "Zzzyx" on the
    // latest of them, which is listed among the first, and on the earliest.
    QSqlDatabase connection = thisDesk().connection();
    QSqlQuery insert(connection);
    QVERIFY(insert.exec("BEGIN"));
    QVERIFY(
        insert.prepare("INSERT INTO tbl_Appt (CalDate, Clinic, Data, Memo, location, open, Close, timeslot, Listno, "
                       "Names, Version) VALUES (?, 0, ?, '', '', ?, ?, ?, ?, ?, 1)"));
    for (int k = 0; k < 300; ++k) {
        PageText::Cells cells = PageText::fit(QString(), layout.pageRows(), layout.pageColumns());
        cells[2 + k % 9][k % 4] = k == 0 || k >= 280 ? "Zzzyx" : "Muller";
        for (const QVariant& v : QVariantList {Day.addDays(-100 - k).toString(Qt::ISODate), PageText::join(cells),
                 shown.open, shown.close, shown.slotMinutes, shown.providerCount, shown.names})
            insert.addBindValue(v);
        QVERIFY(insert.exec());
    }
    QVERIFY(DaySearchIndex::rebuild(connection).ok() && insert.exec("COMMIT"));
    QRandomGenerator random(20);
    const QStringList names = {"M\u00FCller Ann", "MULLER Bo", "smith", "\u00D8STER", "ann-lee", "Lee / Kim", ""};
    QList<DayRecord> earlier;
    for (int step = 0; step < 120; ++step) {
        Database& desk = step % 3 == 0 ? otherDesk() : thisDesk();
        const QDate date = Day.addDays(random.bounded(-20, 20));
        const DayRecord rec = shownDay(desk, date);
        const auto older
            = std::find_if(earlier.begin(), earlier.end(), [&](const DayRecord& d) { return d.calDate == date; });
        const DayRecord base = older != earlier.end() && random.bounded(3) == 0 ? *older : rec;
        earlier.append(rec);
        DayRecord changed
            = edited(base, 1 + random.bounded(3), 1 + random.bounded(2), names[random.bounded(names.size())]);
        if (step % 10 == 9)
            changed.pageText = PageText::cleared(changed.pageText); // the day is deleted
        QVERIFY(DayStore(desk).save(base, changed).status.ok());
    }
    findsAsEveryDayDoes(thisDesk());
    // A text too short for the index: the days listed first alone.
    AppointmentSearch::Matches shortText;
    QVERIFY(AppointmentSearch::findIn(thisDesk(), "zz", shortText, 2).ok());
    QCOMPARE(shortText.matches.size(), 1);
    QVERIFY(shortText.more);
    QVERIFY(AppointmentSearch::findIn(thisDesk(), "zz", shortText, 2, {}, AppointmentSearch::Reach::EveryDay).ok());
    QCOMPARE(shortText.matches.size(), 2);
    DatabaseRecords records;
    const bool server = TestSupport::onServer();
    const QString copy = m_data->folder() + "/copy.mdb";
    Database restored("restored");
    QVERIFY(server ? records.readServer(thisDesk()).ok() : records.readFile(m_data->databasePath()).ok());
    QVERIFY(server ? records.replaceServer(thisDesk()).ok()
                   : records.writeNewFile(copy, "test").ok() && restored.open(copy, false).ok());
    findsAsEveryDayDoes(server ? thisDesk() : restored);
    // The practice opens later: the days to come with an early booking keep
    // their own layout, the others take the new one.
    Settings later = shown;
    later.open = "09:00 AM";
    QVERIFY(SettingsStore(thisDesk()).writeLayout(later).ok());
    findsAsEveryDayDoes(thisDesk());
}

QTEST_GUILESS_MAIN(TestDayStore)
#include "tst_daystore.moc"
