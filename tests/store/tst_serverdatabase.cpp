#include "TestSupport.h"

#include "store/Database.h"
#include "store/SettingsStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

// What only a PostgreSQL database has: the refusal of a database that is not
// ours, change notifications and a connection that can break.
class TestServerDatabase : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_address = TestSupport::newServerDatabase(); }
    void cleanup() { TestSupport::dropServerDatabase(m_address); }
    void foreignDatabaseIsLeftAlone_data();
    void foreignDatabaseIsLeftAlone();
    void passwordInTheAddressIsRefused();
    void otherConnectionsCommitIsNotified();
    void lostConnectionIsMadeAgain();

private:
    // Runs sql through a connection of its own, as another program would
    // (not through Database::open: that would make our tables); the first
    // column of the rows it gives, as one text.
    QString rawSql(const QString& sql);

    QString m_address;
};

namespace {
const QString Tables = "SELECT table_name FROM information_schema.tables WHERE table_schema = 'public' ORDER BY 1";
}

QString TestServerDatabase::rawSql(const QString& sql)
{
    QStringList rows;
    const QUrl url(m_address);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "raw-sql");
        db.setHostName(QUrlQuery(url).queryItemValue("host"));
        db.setUserName(url.userName());
        db.setDatabaseName(url.path().mid(1));
        if (!db.open())
            qFatal("%s", qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        if (!q.exec(sql))
            qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        while (q.isSelect() && q.next())
            rows.append(q.value(0).toString());
    }
    QSqlDatabase::removeDatabase("raw-sql");
    return rows.join(' ');
}

void TestServerDatabase::foreignDatabaseIsLeftAlone_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("why");
    QTest::addColumn<bool>("oursFirst"); // the setup goes into a database Ledgerly made
    QTest::newRow("other tables") << "CREATE TABLE patients (name TEXT)"
                                  << "holds other tables (patients)" << false;
    QTest::newRow("a trigger that would wipe the book")
        << "CREATE FUNCTION wipe() RETURNS trigger AS $$ BEGIN DELETE FROM tbl_appt; RETURN NULL; END $$ LANGUAGE "
           "plpgsql; CREATE TRIGGER wipe AFTER UPDATE ON tbl_appt FOR EACH ROW EXECUTE FUNCTION wipe()"
        << "trigger \"wipe\"" << true;
    QTest::newRow("newer version") << QString("CREATE TABLE ledgerly_meta (application_id INTEGER, schema_version "
                                              "INTEGER); INSERT INTO ledgerly_meta VALUES (%1, %2)")
                                          .arg(Database::ApplicationId)
                                          .arg(Database::SchemaVersion + 1)
                                   << "newer version of Ledgerly" << false;
}

void TestServerDatabase::foreignDatabaseIsLeftAlone()
{
    QFETCH(QString, setup);
    QFETCH(QString, why);
    QFETCH(bool, oursFirst);
    QVERIFY(!oursFirst || Database().open(m_address).ok());
    rawSql(setup);
    const QString tables = rawSql(Tables);

    Database db;
    const Result r = db.open(m_address);
    QVERIFY2(!r.ok() && r.message.contains(why), qPrintable(r.message));
    QVERIFY(!db.isOpen());
    QCOMPARE(rawSql(Tables), tables);
}

void TestServerDatabase::passwordInTheAddressIsRefused()
{
    QUrl url(m_address);
    url.setPassword("secret");
    const Result r = Database().open(url.toString());
    QVERIFY2(!r.ok() && r.message.contains("pgpass") && !r.message.contains("secret"), qPrintable(r.message));
}

void TestServerDatabase::otherConnectionsCommitIsNotified()
{
    Database mine("mine");
    Database other("other");
    QVERIFY(mine.open(m_address).ok() && other.open(m_address).ok());
    // The first start made the tables and first records, the second added none.
    QCOMPARE(rawSql("SELECT COUNT(*) FROM tbl_setup UNION ALL SELECT COUNT(*) FROM tbl_order"), "1 1");
    int told = 0;
    mine.onChangedElsewhere = [&] { ++told; };
    const std::optional<qint64> start = mine.dataVersion();
    QVERIFY(start);
    // Its own commit is no news: both notifications are waiting by the time
    // the first one is read, and only the other connection's counts.
    QVERIFY(SettingsStore(mine).writeFixedMemo("mine").ok());
    QVERIFY(SettingsStore(other).writeFixedMemo("theirs").ok());
    QTRY_VERIFY(told > 0);
    QCoreApplication::processEvents();
    QCOMPARE(told, 1);
    QVERIFY(mine.dataVersion() != start);
}

void TestServerDatabase::lostConnectionIsMadeAgain()
{
    Database db;
    QVERIFY(db.open(m_address).ok());
    rawSql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = current_database() AND pid <> "
           "pg_backend_pid()");
    QCOMPARE(SettingsStore(db).writeFixedMemo("SMITH").code, Result::Failed);
    // Asked again (the window's "Retry?"), the write connects anew and is stored.
    const Result again = SettingsStore(db).writeFixedMemo("SMITH");
    QVERIFY2(again.ok(), qPrintable(again.message));
    QCOMPARE(rawSql("SELECT FixedMemo FROM tbl_setup"), "SMITH");
}

QTEST_GUILESS_MAIN(TestServerDatabase)
#include "tst_serverdatabase.moc"
