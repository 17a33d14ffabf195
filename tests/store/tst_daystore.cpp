#include "TestSupport.h"

#include "core/PageText.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QSqlQuery>
#include <QTest>

using TestSupport::DataFixture;

class TestDayStore : public QObject
{
    Q_OBJECT

private slots:
    void openCreatesOnceWithSettingsCopies();
    void openMeetsTheSameDayMadeMeanwhile();
    void initialiseDataOnlyFillsAnEmptyPage();
    void saveDeletesAnEmptyOpenDay_data();
    void saveDeletesAnEmptyOpenDay();
    void twoCopiesMerge_data();
    void twoCopiesMerge();
    void clearedDayDoesNotLoseTheOtherCopysBooking_data();
    void clearedDayDoesNotLoseTheOtherCopysBooking();
    void busyWrite_data();
    void busyWrite();
    void keepEmptyNeverDeletes_data();
    void keepEmptyNeverDeletes();
    void findOnceDoesNotWait();
    void fullDiskSaysSo();
};

namespace {

const QDate Day = TestSupport::Today;

// A page of 3 rows by 2 cells with the given cell set.
QString page(int row = -1, int col = -1, const QString& text = QString())
{
    PageText::Cells cells = PageText::fit(QString(), 3, 2);
    if (row >= 0)
        cells[row][col] = text;
    return PageText::join(cells);
}

QString cell(const QString& pageText, int row, int col)
{
    return PageText::fit(pageText, 3, 2)[row][col];
}

// An opened and initialised day, as the appointment window has it on screen.
DayRecord shownDay(Database& db, const QDate& date = Day)
{
    Settings s;
    if (!SettingsStore(db).read(s).ok())
        qFatal("settings");
    DayStore store(db);
    DayRecord rec;
    bool created = false;
    if (!store.open(date, s, rec, created).ok())
        qFatal("open");
    if (created && !store.initialiseData(rec, page()).ok())
        qFatal("initialise");
    return rec;
}

std::optional<DayRecord> stored(Database& db, const QDate& date = Day)
{
    std::optional<DayRecord> r;
    if (!DayStore(db).find(date, r).ok())
        qFatal("find");
    return r;
}

DayRecord edited(DayRecord rec, int row, int col, const QString& text)
{
    PageText::Cells cells = PageText::fit(rec.pageText, 3, 2);
    cells[row][col] = text;
    rec.pageText = PageText::join(cells);
    return rec;
}

class SecondCopy
{
public:
    explicit SecondCopy(const QString& path)
    {
        const Result r = m_db.open(path);
        if (!r.ok())
            qFatal("%s", qPrintable(r.message));
    }
    Database& db() { return m_db; }

private:
    Database m_db {QStringLiteral("second copy")};
};

} // namespace

void TestDayStore::openCreatesOnceWithSettingsCopies()
{
    DataFixture f;
    Settings s = Settings::defaults();
    s.providerCount = 3;
    s.close = QStringLiteral("04:30 PM");
    DayStore store(f.db());

    DayRecord rec;
    bool created = false;
    QVERIFY(store.open(Day, s, rec, created).ok());
    QVERIFY(created);
    QCOMPARE(rec.calDate, Day);
    QCOMPARE(rec.close, QStringLiteral("04:30 PM"));
    QCOMPARE(rec.providerCount, 3);

    DayRecord again;
    QVERIFY(store.open(Day, Settings::defaults(), again, created).ok());
    QVERIFY(!created);
    QCOMPARE(again.id, rec.id);
    QCOMPARE(again.providerCount, 3);

    qint64 n = 0;
    QVERIFY(store.count(n).ok());
    QCOMPARE(n, 1);
}

// Another copy makes the same new day after this copy looked for it and before
// its insert: both get the one record.
void TestDayStore::openMeetsTheSameDayMadeMeanwhile()
{
    DataFixture f;
    SecondCopy other(f.databasePath());
    QSqlQuery lock(other.db().connection());
    QVERIFY(TestSupport::holdWriteLock(other.db().connection()));
    DayRecord theirs;
    bool theyCreated = false;
    // Paused by the lock once the look found nothing, this copy's insert waits
    // while the other copy makes the day.
    f.db().retry().pause = [&](qint64) {
        QVERIFY(theirs.id == 0 && lock.exec(QStringLiteral("ROLLBACK")));
        QVERIFY(DayStore(other.db()).open(Day, Settings::defaults(), theirs, theyCreated).ok());
    };
    DayRecord mine;
    bool created = true;
    const Result opened = DayStore(f.db()).open(Day, Settings::defaults(), mine, created);
    QVERIFY2(opened.ok(), qPrintable(opened.message));
    QVERIFY(theyCreated);
    QVERIFY(!created);
    QCOMPARE(mine.id, theirs.id);
}

void TestDayStore::initialiseDataOnlyFillsAnEmptyPage()
{
    DataFixture f;
    SecondCopy other(f.databasePath());
    DayStore mine(f.db());
    DayStore theirs(other.db());

    DayRecord a;
    bool created = false;
    QVERIFY(mine.open(Day, Settings::defaults(), a, created).ok());
    QVERIFY(created);
    // The other copy opens the same new day, fills in its page and saves it
    // before this copy has initialised the page.
    DayRecord b;
    QVERIFY(theirs.open(Day, Settings::defaults(), b, created).ok());
    QVERIFY(!created);
    QVERIFY(theirs.initialiseData(b, page()).ok());
    QVERIFY(theirs.save(b, edited(b, 0, 1, QStringLiteral("SMITH"))).status.ok());

    QVERIFY(mine.initialiseData(a, page()).ok());
    QCOMPARE(cell(a.pageText, 0, 1), QStringLiteral("SMITH"));
    QCOMPARE(cell(stored(f.db())->pageText, 0, 1), QStringLiteral("SMITH"));
}

void TestDayStore::saveDeletesAnEmptyOpenDay_data()
{
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("memo");
    QTest::addColumn<bool>("kept");

    QTest::newRow("open, blank, no memo") << false << QString() << false;
    QTest::newRow("closed, blank, no memo") << true << QString() << true;
    QTest::newRow("open, blank, a memo") << false << QStringLiteral("holiday") << true;
}

void TestDayStore::saveDeletesAnEmptyOpenDay()
{
    QFETCH(bool, closed);
    QFETCH(QString, memo);
    QFETCH(bool, kept);

    DataFixture f;
    DayRecord rec = shownDay(f.db());
    // The page had a booking that is now wiped out again.
    const DayStore::SaveOutcome first = DayStore(f.db()).save(rec, edited(rec, 2, 1, QStringLiteral("LEE")));
    QVERIFY(first.status.ok());
    DayRecord mine = edited(first.stored, 2, 1, QString());
    mine.closed = closed;
    mine.memo = memo;

    const DayStore::SaveOutcome out = DayStore(f.db()).save(first.stored, mine);
    QVERIFY(out.status.ok());
    QCOMPARE(out.deleted, !kept);
    QCOMPARE(stored(f.db()).has_value(), kept);
    if (kept) {
        QCOMPARE(stored(f.db())->closed, closed);
        QCOMPARE(stored(f.db())->memo, memo);
    }
}

void TestDayStore::twoCopiesMerge_data()
{
    QTest::addColumn<int>("theirRow");
    QTest::addColumn<QString>("theirText");
    QTest::addColumn<QString>("expected00"); // cell 0,0 afterwards
    QTest::addColumn<QString>("expected10"); // cell 1,0 afterwards

    QTest::newRow("different cells") << 1 << QStringLiteral("BROWN") << QStringLiteral("SMITH")
                                     << QStringLiteral("BROWN");
    QTest::newRow("same cell") << 0 << QStringLiteral("BROWN") << QStringLiteral("SMITH / BROWN") << QString();
    QTest::newRow("same cell, same text") << 0 << QStringLiteral("SMITH") << QStringLiteral("SMITH") << QString();
}

void TestDayStore::twoCopiesMerge()
{
    QFETCH(int, theirRow);
    QFETCH(QString, theirText);
    QFETCH(QString, expected00);
    QFETCH(QString, expected10);

    DataFixture f;
    SecondCopy other(f.databasePath());
    const DayRecord mineBase = shownDay(f.db());
    const DayRecord theirBase = shownDay(other.db());
    QCOMPARE(theirBase.id, mineBase.id);

    const DayStore::SaveOutcome theirs
        = DayStore(other.db()).save(theirBase, edited(theirBase, theirRow, 0, theirText));
    QVERIFY(theirs.status.ok());
    QVERIFY(!theirs.merged);

    const DayStore::SaveOutcome mine = DayStore(f.db()).save(mineBase, edited(mineBase, 0, 0, QStringLiteral("SMITH")));
    QVERIFY(mine.status.ok());
    QVERIFY(mine.merged);
    QVERIFY(!mine.deleted);

    const std::optional<DayRecord> now = stored(f.db());
    QVERIFY(now);
    QCOMPARE(now->pageText, mine.stored.pageText);
    QCOMPARE(cell(now->pageText, 0, 0), expected00);
    QCOMPARE(cell(now->pageText, 1, 0), expected10);
}

void TestDayStore::clearedDayDoesNotLoseTheOtherCopysBooking_data()
{
    QTest::addColumn<bool>("clearerFirst");
    QTest::newRow("cleared, then the other copy saves") << true;
    QTest::newRow("the other copy saves, then cleared") << false;
}

void TestDayStore::clearedDayDoesNotLoseTheOtherCopysBooking()
{
    QFETCH(bool, clearerFirst);

    DataFixture f;
    SecondCopy other(f.databasePath());
    DayRecord start = shownDay(f.db());
    start = DayStore(f.db()).save(start, edited(start, 0, 0, QStringLiteral("SMITH"))).stored;

    const DayRecord clearerBase = shownDay(f.db());
    const DayRecord adderBase = shownDay(other.db());
    QCOMPARE(cell(adderBase.pageText, 0, 0), QStringLiteral("SMITH"));
    const DayRecord cleared = edited(clearerBase, 0, 0, QString());
    const DayRecord added = edited(adderBase, 2, 1, QStringLiteral("BROWN"));

    DayStore::SaveOutcome clear;
    DayStore::SaveOutcome add;
    if (clearerFirst) {
        clear = DayStore(f.db()).save(clearerBase, cleared);
        add = DayStore(other.db()).save(adderBase, added);
        QVERIFY(clear.deleted);
    } else {
        add = DayStore(other.db()).save(adderBase, added);
        clear = DayStore(f.db()).save(clearerBase, cleared);
        QVERIFY(!clear.deleted);
    }
    QVERIFY(clear.status.ok());
    QVERIFY(add.status.ok());

    const std::optional<DayRecord> now = stored(f.db());
    QVERIFY2(now, "the day record was lost");
    QCOMPARE(cell(now->pageText, 2, 1), QStringLiteral("BROWN"));
    QCOMPARE(cell(now->pageText, 0, 0), QString()); // the clearing stands too
    QCOMPARE(now->providerCount, start.providerCount);
}

void TestDayStore::busyWrite_data()
{
    QTest::addColumn<bool>("released");
    QTest::newRow("released after the first pause: retried") << true;
    QTest::newRow("held throughout: gives up with a reason") << false;
}

void TestDayStore::busyWrite()
{
    QFETCH(bool, released);
    DataFixture f;
    SecondCopy other(f.databasePath());
    const DayRecord rec = shownDay(f.db());

    QSqlDatabase holder = other.db().connection();
    QSqlQuery lock(holder);
    QVERIFY(TestSupport::holdWriteLock(holder));

    int pauses = 0;
    f.db().retry().random = [] { return 0.0; };
    f.db().retry().pause = [&](qint64) {
        if (++pauses == 1 && released)
            QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
    };
    const DayStore::SaveOutcome out = DayStore(f.db()).save(rec, edited(rec, 0, 0, QStringLiteral("SMITH")));
    if (released) {
        QVERIFY2(out.status.ok(), qPrintable(out.status.message));
        QCOMPARE(pauses, 1);
        QCOMPARE(f.db().retry().lastLoopCounts(), QList<qint64> {2000});
        QCOMPARE(cell(stored(f.db())->pageText, 0, 0), QStringLiteral("SMITH"));
        return;
    }
    QCOMPARE(out.status.code, Result::Busy);
    QVERIFY(pauses > 1);
    QVERIFY(out.status.message.contains(f.databasePath()));
    QVERIFY2(out.status.message.contains(QStringLiteral("another copy")), qPrintable(out.status.message));
    QVERIFY(!out.deleted);

    QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
    // Nothing was half-written, and the connection is usable again.
    QCOMPARE(stored(f.db())->pageText, page());
    f.db().retry().pause = {};
    QVERIFY(DayStore(f.db()).save(rec, edited(rec, 0, 0, QStringLiteral("SMITH"))).status.ok());
}

void TestDayStore::keepEmptyNeverDeletes_data()
{
    QTest::addColumn<bool>("deletedByTheOtherCopy");
    QTest::newRow("a blank day") << false;
    QTest::newRow("a day the other copy deleted") << true;
}

void TestDayStore::keepEmptyNeverDeletes()
{
    QFETCH(bool, deletedByTheOtherCopy);

    DataFixture f;
    SecondCopy other(f.databasePath());
    DayRecord mine = shownDay(f.db());
    if (deletedByTheOtherCopy) {
        const DayRecord theirs = shownDay(other.db());
        QVERIFY(DayStore(other.db()).save(theirs, theirs).deleted);
        QVERIFY(!stored(f.db()));
    }

    // Committed while the day is still shown: a blank page stays a record...
    DayStore::SaveOutcome out = DayStore(f.db()).save(mine, mine, DayStore::SaveMode::KeepEmpty);
    QVERIFY(out.status.ok());
    QVERIFY(!out.deleted);
    QVERIFY(stored(f.db()));
    QCOMPARE(stored(f.db())->id, out.stored.id);

    // ...and a booking made after another copy deleted the day brings it back.
    mine = out.stored;
    out = DayStore(f.db()).save(mine, edited(mine, 1, 1, QStringLiteral("SMITH")), DayStore::SaveMode::KeepEmpty);
    QVERIFY(out.status.ok());
    QCOMPARE(cell(stored(f.db())->pageText, 1, 1), QStringLiteral("SMITH"));

    // Leaving the day, emptied again, deletes it as before.
    mine = out.stored;
    out = DayStore(f.db()).save(mine, edited(mine, 1, 1, QString()));
    QVERIFY(out.deleted);
    QVERIFY(!stored(f.db()));
}

void TestDayStore::findOnceDoesNotWait()
{
    DataFixture f;
    SecondCopy other(f.databasePath());
    if (TestSupport::onServer())
        QSKIP("on a server a writer never keeps others from reading");
    shownDay(f.db());
    QSqlQuery lock(other.db().connection());
    QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));

    int pauses = 0;
    f.db().retry().pause = [&](qint64) { ++pauses; };
    std::optional<DayRecord> rec;
    QCOMPARE(DayStore(f.db()).findOnce(Day, rec).code, Result::Busy);
    QCOMPARE(pauses, 0);
    QVERIFY(lock.exec(QStringLiteral("COMMIT")));
    QVERIFY(DayStore(f.db()).findOnce(Day, rec).ok());
    QVERIFY(rec);
}

// A save that finds no room says so in words, and leaves the day as it was.
void TestDayStore::fullDiskSaysSo()
{
    if (TestSupport::onServer())
        QSKIP("a full file is made with SQLite's page limit");
    DataFixture f;
    const DayRecord rec = shownDay(f.db());
    QSqlQuery limit(f.db().connection());
    QVERIFY(limit.exec(QStringLiteral("PRAGMA max_page_count = 1")));
    const DayStore::SaveOutcome out = DayStore(f.db()).save(rec, edited(rec, 0, 0, QString(20000, QLatin1Char('x'))));
    QVERIFY2(out.status.message.contains(QStringLiteral("the disk is full")), qPrintable(out.status.message));
    QCOMPARE(stored(f.db())->pageText, page());
}

QTEST_GUILESS_MAIN(TestDayStore)
#include "tst_daystore.moc"
