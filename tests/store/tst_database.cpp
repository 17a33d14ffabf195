#include "TestSupport.h"

#include "store/Database.h"
#include "store/DefaultDocuments.h"
#include "store/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::DataFixture;

// The database file itself: how a new one is made (and a missing one is
// not), how other copies' commits and locks are met and how a save cut off
// by a crash is put right. Files made to hurt it are in tst_hostilefiles.
class TestDatabase : public QObject
{
    Q_OBJECT

private slots:
    void newFile();
    void anotherCopysLockAndCommits();
    void openPutsRightASaveCutOffByACrash();
};

namespace {

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString firstValue(Database& db, const QString& sql)
{
    QSqlQuery q(db.connection());
    if (!q.exec(sql) || !q.next())
        qFatal("%s failed", qPrintable(sql));
    return q.value(0).toString();
}

} // namespace

void TestDatabase::newFile()
{
    DataFixture f;
    QCOMPARE(firstValue(f.db(), "PRAGMA journal_mode"), "delete");
    QCOMPARE(firstValue(f.db(), "SELECT (SELECT COUNT(*) FROM tbl_Setup) || (SELECT COUNT(*) FROM tbl_Order)"), "11");
    // A missing file is made only when asked to, and never in a missing folder.
    for (const auto& [name, create] : {std::pair {"none.mdb", false}, std::pair {"gone/db.mdb", true}}) {
        const Result r = Database("missing").open(QDir(f.folder()).filePath(name), create);
        QVERIFY2(!r.ok() && r.message.contains(name), qPrintable(r.message));
    }
    // Made under another name and moved into place: nothing else is left.
    QCOMPARE(folderEntries(f.folder()), QStringList {"db.mdb"});
    QVERIFY(Database::checkFile(f.databasePath(), true).ok());
    // A file of an earlier version gets this version's read-me on opening,
    // and one of the first two versions the search index of its days.
    TestSupport::bookCell(f.db(), TestSupport::Today, Settings::defaults(), 2, 1, "M\u00DCLLER Ann");
    f.db().close();
    for (const int version : {1, 2}) {
        TestSupport::sqlOnFile(f.databasePath(),
            QString("DROP TABLE day_search; DROP TABLE tbl_History; UPDATE tbl_Setup SET Readme = 'old'; "
                    "PRAGMA user_version = %1")
                .arg(version));
        Database reopened("reopened");
        QVERIFY(reopened.open(f.databasePath(), false).ok());
        QCOMPARE(firstValue(reopened, "SELECT Readme FROM tbl_Setup"), DefaultDocuments::readme());
        QCOMPARE(firstValue(reopened, "SELECT COUNT(*) FROM day_search WHERE day_search MATCH 'mul'"), "1");
    }
}

void TestDatabase::anotherCopysLockAndCommits()
{
    DataFixture f;
    // Another copy starts while this one is in the middle of a save: it waits.
    QSqlQuery lock(f.db().connection());
    QVERIFY(lock.exec("BEGIN EXCLUSIVE"));
    Database other("other");
    int pauses = 0;
    other.retry().pause = [&](qint64) { QVERIFY(++pauses == 1 && lock.exec("COMMIT")); };
    const Result opened = other.open(f.databasePath(), false);
    QVERIFY2(opened.ok() && pauses == 1, qPrintable(opened.message));

    const std::optional<qint64> start = f.db().dataVersion();
    QVERIFY(start);
    QVERIFY(SettingsStore(f.db()).writeFixedMemo("mine").ok());
    QCOMPARE(f.db().dataVersion(), start); // its own commit is no news
    QVERIFY(SettingsStore(other).writeFixedMemo("theirs").ok());
    const std::optional<qint64> after = f.db().dataVersion();
    QVERIFY(after && *after != *start);
    QCOMPARE(f.db().dataVersion(), after); // and it stays until the next one
}

// A copy killed in the middle of a save leaves the rollback journal and a
// half-written file; the next start puts the file back as it was before that
// save. The moment is caught by copying both files while the save is under
// way with its changes already spilled into the file.
void TestDatabase::openPutsRightASaveCutOffByACrash()
{
    DataFixture f;
    QVERIFY(SettingsStore(f.db()).writeFixedMemo("before").ok());
    QTemporaryDir crashed;
    const QString copy = crashed.filePath("db.mdb");
    QSqlQuery q(f.db().connection());
    QVERIFY(q.exec("PRAGMA cache_size = 1") && q.exec("BEGIN IMMEDIATE"));
    QVERIFY(q.exec("UPDATE tbl_Setup SET FixedMemo = 'during'"));
    QVERIFY(q.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) INSERT INTO "
                   "tbl_Appt (CalDate, Data) SELECT date('2024-01-01', '+' || i || ' days'), randomblob(2000) FROM n"));
    QVERIFY(QFileInfo(f.databasePath() + "-journal").size() > 0);
    QVERIFY(QFile::copy(f.databasePath(), copy) && QFile::copy(f.databasePath() + "-journal", copy + "-journal"));
    QVERIFY(q.exec("ROLLBACK"));
    // The copy is not what the save left in the end: it was cut off midway.
    QVERIFY(TestSupport::fileBytes(copy) != TestSupport::fileBytes(f.databasePath()));

    Database after("after");
    const Result r = after.open(copy, false);
    QVERIFY2(r.ok(), qPrintable(r.message));
    QCOMPARE(Database::checkFile(copy, true).message, QString());
    QCOMPARE(firstValue(after, "SELECT FixedMemo FROM tbl_Setup"), "before");
    QCOMPARE(firstValue(after, "SELECT COUNT(*) FROM tbl_Appt"), "0");
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
