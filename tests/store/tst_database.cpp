#include "TestSupport.h"

#include "core/Settings.h"
#include "store/Database.h"
#include "store/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <sqlite3.h>

using TestSupport::DataFixture;

class TestDatabase : public QObject
{
    Q_OBJECT

private slots:
    void newFileHasFirstRecords();
    void newFileIsMarked();
    void hostileFileIsLeftAlone_data();
    void hostileFileIsLeftAlone();
    void missingFileOrFolder_data();
    void missingFileOrFolder();
    void wholeFileCheckReportsLater_data();
    void wholeFileCheckReportsLater();
    void calDateIsUnique();
    void dataVersionTellsOfOtherCopiesCommits();
    void openWaitsForAnotherCopysLock();
    void openPutsRightASaveCutOffByACrash();
};

namespace {

qint64 pragma(QSqlDatabase db, const char* name)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA %1").arg(QLatin1String(name))) || !q.next())
        qFatal("PRAGMA %s failed", name);
    return q.value(0).toLongLong();
}

// Runs SQL on a file through SQLite directly, as another program would.

QByteArray realDatabaseBytes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("db.mdb"));
    {
        Database db(QStringLiteral("maker"));
        if (!db.open(path).ok())
            qFatal("cannot create a database");
    }
    return TestSupport::fileBytes(path);
}

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The rest of the hostile files are in tst_hostilefiles.
enum class Hostile { Empty, Text, NewerVersion, Trigger, NoDateIndex };

} // namespace

void TestDatabase::newFileHasFirstRecords()
{
    DataFixture f;
    Settings s;
    QVERIFY(SettingsStore(f.db()).read(s).ok());
    QCOMPARE(s.names, Settings::defaults().names);
    QVERIFY(s.fixedMemo.isEmpty());
    QVERIFY(s.readme.contains(QStringLiteral("db.mdb")));
    QVERIFY(!s.licence.isEmpty());

    QSqlQuery q(f.db().connection());
    QVERIFY(q.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM tbl_Setup), (SELECT COUNT(*) FROM tbl_Order), "
                                  "(SELECT COUNT(*) FROM tbl_Appt)")));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);
    QCOMPARE(q.value(1).toInt(), 1);
    QCOMPARE(q.value(2).toInt(), 0);
}

void TestDatabase::newFileIsMarked()
{
    DataFixture f;
    QSqlDatabase db = f.db().connection();
    QCOMPARE(pragma(db, "application_id"), qint64(Database::ApplicationId));
    QCOMPARE(pragma(db, "user_version"), qint64(Database::SchemaVersion));
    QSqlQuery q(db);
    QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("delete"));
    q.finish();
    // Made under another name and moved into place: nothing else is left.
    QCOMPARE(folderEntries(f.folder()), QStringList {QStringLiteral("db.mdb")});
    QVERIFY(Database::checkFile(f.databasePath(), true).ok());
}

void TestDatabase::hostileFileIsLeftAlone_data()
{
    QTest::addColumn<Hostile>("kind");
    QTest::addColumn<QString>("why");

    QTest::newRow("empty file") << Hostile::Empty << QStringLiteral("is not a Ledgerly database: it is empty");
    QTest::newRow("text file") << Hostile::Text << QStringLiteral("is not a Ledgerly database: it is not a database");
    QTest::newRow("newer version") << Hostile::NewerVersion << QStringLiteral("was written by a newer version");
    QTest::newRow("a trigger") << Hostile::Trigger
                               << QStringLiteral("it holds a trigger \"wipe\" that Ledgerly did not make");
    QTest::newRow("no index on the date")
        << Hostile::NoDateIndex << QStringLiteral("not a Ledgerly database: the index ix_Appt_CalDate is missing");
}

void TestDatabase::hostileFileIsLeftAlone()
{
    QFETCH(Hostile, kind);
    QFETCH(QString, why);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("db.mdb"));
    switch (kind) {
    case Hostile::Empty:
        TestSupport::writeFile(path, QByteArray());
        break;
    case Hostile::Text:
        TestSupport::writeFile(path, QByteArray(200, 'x').prepend("Appointments for Monday\r\n"));
        break;
    case Hostile::Trigger:
        TestSupport::writeFile(path, realDatabaseBytes());
        TestSupport::sqlOnFile(
            path, QStringLiteral("CREATE TRIGGER wipe AFTER UPDATE ON tbl_Appt BEGIN DELETE FROM tbl_Appt; END"));
        break;
    case Hostile::NoDateIndex:
        TestSupport::writeFile(path, realDatabaseBytes());
        TestSupport::sqlOnFile(path, QStringLiteral("DROP INDEX ix_Appt_CalDate"));
        break;
    case Hostile::NewerVersion:
        TestSupport::writeFile(path, realDatabaseBytes());
        TestSupport::sqlOnFile(path, QStringLiteral("PRAGMA user_version = %1").arg(Database::SchemaVersion + 1));
        break;
    }
    const QByteArray before = TestSupport::fileBytes(path);
    const QStringList entries = folderEntries(dir.path());
    QCOMPARE(entries, QStringList {QStringLiteral("db.mdb")});

    QString checked = Database::checkFile(path).message;
    QVERIFY2(checked.contains(why), qPrintable(checked));
    QVERIFY(checked.contains(QDir::toNativeSeparators(path)));

    Database db(QStringLiteral("hostile"));
    const Result r = db.open(path);
    QVERIFY(!r.ok());
    QVERIFY(!db.isOpen());
    QVERIFY2(r.message.contains(why), qPrintable(r.message));
    QVERIFY(r.message.startsWith(QStringLiteral("The file %1 ").arg(QDir::toNativeSeparators(path))));

    QCOMPARE(TestSupport::fileBytes(path), before);
    QCOMPARE(folderEntries(dir.path()), entries);
}

void TestDatabase::missingFileOrFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("create");
    QTest::addColumn<QString>("why");
    QTest::newRow("no file, not to be made") << "db.mdb" << false << "does not exist";
    QTest::newRow("no folder") << "gone/db.mdb" << true << "gone";
}

void TestDatabase::missingFileOrFolder()
{
    QFETCH(QString, name);
    QFETCH(bool, create);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    Database db(QStringLiteral("missing"));
    const Result r = db.open(path, create);
    QVERIFY(!r.ok());
    QVERIFY2(r.message.contains(why), qPrintable(r.message));
    QVERIFY(r.message.contains(QDir::toNativeSeparators(path)));
    QVERIFY(folderEntries(dir.path()).isEmpty());
}

void TestDatabase::wholeFileCheckReportsLater_data()
{
    QTest::addColumn<bool>("damage");
    QTest::newRow("sound file") << false;
    QTest::newRow("last page scribbled over") << true;
}

// The window shows its first page before the whole file is read; the result
// comes later, in the window's thread, and the file is only read.
void TestDatabase::wholeFileCheckReportsLater()
{
    QFETCH(bool, damage);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("db.mdb"));
    QByteArray bytes = realDatabaseBytes();
    const qsizetype pageSize = 4096;
    QVERIFY(bytes.size() >= 3 * pageSize);
    // The header still looks sound, and so does the schema.
    for (qsizetype i = bytes.size() - pageSize; damage && i < bytes.size(); ++i)
        bytes[i] = char(0x5A);
    TestSupport::writeFile(path, bytes);
    Database db(QStringLiteral("window"));
    QVERIFY(db.open(path, false).ok());

    QObject window;
    std::optional<QString> reported;
    Database::checkWholeFileLater(path, &window, [&](const Result& checked) {
        QCOMPARE(QThread::currentThread(), window.thread());
        reported = checked.message;
    });
    QTRY_VERIFY(reported.has_value());
    if (damage)
        QVERIFY2(reported->startsWith(QStringLiteral("The file %1 is damaged").arg(QDir::toNativeSeparators(path))),
            qPrintable(*reported));
    else
        QCOMPARE(*reported, QString());
    QCOMPARE(TestSupport::fileBytes(path), bytes);
}

void TestDatabase::calDateIsUnique()
{
    DataFixture f;
    QSqlQuery q(f.db().connection());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO tbl_Appt (CalDate, Clinic) VALUES ('2024-05-15', 0)")));
    QVERIFY(!q.exec(QStringLiteral("INSERT INTO tbl_Appt (CalDate, Clinic) VALUES ('2024-05-15', 1)")));
}

void TestDatabase::dataVersionTellsOfOtherCopiesCommits()
{
    DataFixture f;
    Database other(QStringLiteral("other"));
    QVERIFY(other.open(f.databasePath()).ok());

    const std::optional<qint64> start = f.db().dataVersion();
    QVERIFY(start);
    QVERIFY(SettingsStore(f.db()).writeFixedMemo(QStringLiteral("mine")).ok());
    QCOMPARE(f.db().dataVersion(), start); // its own commit is no news

    QVERIFY(SettingsStore(other).writeFixedMemo(QStringLiteral("theirs")).ok());
    const std::optional<qint64> after = f.db().dataVersion();
    QVERIFY(after);
    QVERIFY(*after != *start);
    QCOMPARE(f.db().dataVersion(), after); // and it stays until the next one

    other.close();
    f.db().close();
    QVERIFY(!f.db().dataVersion());
}

void TestDatabase::openWaitsForAnotherCopysLock()
{
    DataFixture f;
    // Another copy is in the middle of a save when this one starts.
    QSqlQuery lock(f.db().connection());
    QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));

    Database starting(QStringLiteral("starting"));
    int pauses = 0;
    starting.retry().pause = [&](qint64) {
        if (++pauses == 1)
            QVERIFY(lock.exec(QStringLiteral("COMMIT")));
    };
    const Result r = starting.open(f.databasePath(), false);
    QVERIFY2(r.ok(), qPrintable(r.message));
    QCOMPARE(pauses, 1);
}

// A copy killed in the middle of a save leaves the rollback journal and a
// half-written file; the next start puts the file back as it was before that
// save. Here the moment is caught by copying both files while the save is
// under way with its changes already spilled into the file.
void TestDatabase::openPutsRightASaveCutOffByACrash()
{
    DataFixture f;
    QVERIFY(SettingsStore(f.db()).writeFixedMemo(QStringLiteral("before")).ok());
    QTemporaryDir crashed;
    const QString copy = crashed.filePath(QStringLiteral("db.mdb"));
    {
        QSqlQuery q(f.db().connection());
        QVERIFY(q.exec(QStringLiteral("PRAGMA cache_size = 1")));
        QVERIFY(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
        QVERIFY(q.exec(QStringLiteral("UPDATE tbl_Setup SET FixedMemo = 'during'")));
        for (int i = 0; i < 300; ++i) {
            QVERIFY(
                q.exec(QStringLiteral("INSERT INTO tbl_Appt (CalDate, Data) VALUES ('%1', '%2')")
                           .arg(QDate(2024, 1, 1).addDays(i).toString(Qt::ISODate), QString(2000, QLatin1Char('x')))));
        }
        QVERIFY(QFileInfo(f.databasePath() + QStringLiteral("-journal")).size() > 0);
        QVERIFY(QFile::copy(f.databasePath(), copy));
        QVERIFY(QFile::copy(f.databasePath() + QStringLiteral("-journal"), copy + QStringLiteral("-journal")));
        QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
    }
    // The copy is not what the save left in the end: it was cut off midway.
    QVERIFY(TestSupport::fileBytes(copy) != TestSupport::fileBytes(f.databasePath()));

    Database after(QStringLiteral("after"));
    const Result r = after.open(copy, false);
    QVERIFY2(r.ok(), qPrintable(r.message));
    QCOMPARE(Database::checkFile(copy, true).message, QString());
    Settings s;
    QVERIFY(SettingsStore(after).read(s).ok());
    QCOMPARE(s.fixedMemo, QStringLiteral("before"));
    QSqlQuery count(after.connection());
    QVERIFY(count.exec(QStringLiteral("SELECT COUNT(*) FROM tbl_Appt")) && count.next());
    QCOMPARE(count.value(0).toInt(), 0);
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
