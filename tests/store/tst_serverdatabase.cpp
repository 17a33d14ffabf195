#include "TestSupport.h"

#include "core/Settings.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

// What only a PostgreSQL database has: its marking, the refusal of a database
// that is not ours, change notifications and a connection that can break.
class TestServerDatabase : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void emptyDatabaseGetsTablesAndFirstRecords();
    void foreignDatabaseIsLeftAlone_data();
    void foreignDatabaseIsLeftAlone();
    void passwordInTheAddressIsRefused();
    void otherConnectionsCommitIsNotified();
    void lostConnectionIsMadeAgain();

private:
    QString m_address;
};

namespace {

// Runs sql through a connection of its own, as another program would.
QStringList rawSql(const QString& address, const QString& sql)
{
    QStringList rows;
    // Not through Database::open: that would make our tables.
    const QUrl url(address);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("raw-sql"));
        db.setHostName(QUrlQuery(url).queryItemValue(QStringLiteral("host")));
        db.setUserName(url.userName());
        db.setDatabaseName(url.path().mid(1));
        if (!db.open())
            qFatal("%s", qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        if (!q.exec(sql))
            qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        while (q.isSelect() && q.next())
            rows.append(q.value(0).toString());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw-sql"));
    return rows;
}

QStringList tables(const QString& address)
{
    return rawSql(address,
        QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = 'public' "
                       "ORDER BY table_name"));
}

} // namespace

void TestServerDatabase::init()
{
    m_address = TestSupport::newServerDatabase();
}

void TestServerDatabase::cleanup()
{
    TestSupport::dropServerDatabase(m_address);
}

void TestServerDatabase::emptyDatabaseGetsTablesAndFirstRecords()
{
    {
        Database db;
        const Result r = db.open(m_address);
        QVERIFY2(r.ok(), qPrintable(r.message));
        QVERIFY(db.isServer());
        Settings s;
        QVERIFY(SettingsStore(db).read(s).ok());
        QCOMPARE(s.open, Settings::defaults().open);
        QCOMPARE(s.names, Settings::defaults().names);
    }
    QCOMPARE(tables(m_address),
        (QStringList {QStringLiteral("ledgerly_meta"), QStringLiteral("tbl_appt"), QStringLiteral("tbl_order"),
            QStringLiteral("tbl_setup")}));
    QCOMPARE(rawSql(m_address, QStringLiteral("SELECT application_id || '/' || schema_version FROM ledgerly_meta")),
        QStringList {QStringLiteral("%1/%2").arg(Database::ApplicationId).arg(Database::SchemaVersion)});
    QCOMPARE(rawSql(m_address, QStringLiteral("SELECT COUNT(*) FROM tbl_setup")), QStringList {QStringLiteral("1")});
    QCOMPARE(rawSql(m_address, QStringLiteral("SELECT COUNT(*) FROM tbl_order")), QStringList {QStringLiteral("1")});

    // A second start finds them and adds nothing.
    Database again;
    QVERIFY(again.open(m_address).ok());
    QCOMPARE(rawSql(m_address, QStringLiteral("SELECT COUNT(*) FROM tbl_setup")), QStringList {QStringLiteral("1")});
}

void TestServerDatabase::foreignDatabaseIsLeftAlone_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("why");
    QTest::addColumn<bool>("oursFirst"); // the setup goes into a database Ledgerly made
    QTest::newRow("other tables") << QStringLiteral("CREATE TABLE patients (name TEXT)")
                                  << QStringLiteral("holds other tables (patients)") << false;
    QTest::newRow("a trigger that would wipe the book")
        << QStringLiteral("CREATE FUNCTION wipe() RETURNS trigger AS $$ BEGIN DELETE FROM tbl_appt; RETURN NULL; END "
                          "$$ LANGUAGE plpgsql; CREATE TRIGGER wipe AFTER UPDATE ON tbl_appt FOR EACH ROW EXECUTE "
                          "FUNCTION wipe()")
        << QStringLiteral("trigger \"wipe\"") << true;
    QTest::newRow("another program's marking")
        << QStringLiteral("CREATE TABLE ledgerly_meta (application_id INTEGER, schema_version INTEGER); "
                          "INSERT INTO ledgerly_meta VALUES (42, 1)")
        << QStringLiteral("belongs to another program") << false;
    QTest::newRow("newer version") << QStringLiteral(
        "CREATE TABLE ledgerly_meta (application_id INTEGER, schema_version INTEGER); "
        "INSERT INTO ledgerly_meta VALUES (%1, %2)")
                                          .arg(Database::ApplicationId)
                                          .arg(Database::SchemaVersion + 1)
                                   << QStringLiteral("newer version of Ledgerly") << false;
    QTest::newRow("our marking, tables missing")
        << QStringLiteral("CREATE TABLE ledgerly_meta (application_id INTEGER, schema_version INTEGER); "
                          "INSERT INTO ledgerly_meta VALUES (%1, 1)")
               .arg(Database::ApplicationId)
        << QStringLiteral("the table tbl_Appt is missing") << false;
}

void TestServerDatabase::foreignDatabaseIsLeftAlone()
{
    QFETCH(QString, setup);
    QFETCH(QString, why);
    QFETCH(bool, oursFirst);
    if (oursFirst)
        QVERIFY(Database().open(m_address).ok());
    rawSql(m_address, setup);
    const QStringList before = tables(m_address);
    const QStringList metaBefore = before.contains(QStringLiteral("ledgerly_meta"))
        ? rawSql(m_address, QStringLiteral("SELECT application_id || '/' || schema_version FROM ledgerly_meta"))
        : QStringList();

    Database db;
    const Result r = db.open(m_address);
    QVERIFY(!r.ok());
    QVERIFY2(r.message.contains(why), qPrintable(r.message));
    QVERIFY(!db.isOpen());
    QCOMPARE(tables(m_address), before);
    if (!metaBefore.isEmpty()) {
        QCOMPARE(rawSql(m_address, QStringLiteral("SELECT application_id || '/' || schema_version FROM ledgerly_meta")),
            metaBefore);
    }
}

void TestServerDatabase::passwordInTheAddressIsRefused()
{
    QUrl url(m_address);
    url.setPassword(QStringLiteral("secret"));
    Database db;
    const Result r = db.open(url.toString());
    QVERIFY(!r.ok());
    QVERIFY2(r.message.contains(QStringLiteral("pgpass")), qPrintable(r.message));
    QVERIFY(!r.message.contains(QStringLiteral("secret")));
}

void TestServerDatabase::otherConnectionsCommitIsNotified()
{
    Database mine(QStringLiteral("mine"));
    Database other(QStringLiteral("other"));
    QVERIFY(mine.open(m_address).ok());
    QVERIFY(other.open(m_address).ok());
    int told = 0;
    mine.onChangedElsewhere = [&] { ++told; };
    const std::optional<qint64> start = mine.dataVersion();
    QVERIFY(start);

    DayRecord rec;
    bool created = false;
    QVERIFY(DayStore(mine).open(TestSupport::Today, Settings::defaults(), rec, created).ok());
    QTest::qWait(200);
    QCOMPARE(mine.dataVersion(), start); // its own commit is no news
    QCOMPARE(told, 0);

    DayRecord theirs;
    QVERIFY(DayStore(other).open(TestSupport::Today, Settings::defaults(), theirs, created).ok());
    DayRecord edited = theirs;
    edited.memo = QStringLiteral("SMITH");
    QVERIFY(DayStore(other).save(theirs, edited).status.ok());
    QTRY_COMPARE(told, 1);
    QVERIFY(mine.dataVersion() != start);
}

void TestServerDatabase::lostConnectionIsMadeAgain()
{
    Database db;
    QVERIFY(db.open(m_address).ok());
    DayRecord rec;
    bool created = false;
    QVERIFY(DayStore(db).open(TestSupport::Today, Settings::defaults(), rec, created).ok());

    rawSql(m_address,
        QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = current_database() "
                       "AND pid <> pg_backend_pid()"));
    DayRecord edited = rec;
    edited.memo = QStringLiteral("SMITH");
    const DayStore::SaveOutcome lost = DayStore(db).save(rec, edited);
    QCOMPARE(lost.status.code, Result::Failed);

    // Asked again (the window's "Retry?"), the save connects anew and is stored.
    const DayStore::SaveOutcome again = DayStore(db).save(rec, edited);
    QVERIFY2(again.status.ok(), qPrintable(again.status.message));
    QCOMPARE(rawSql(m_address, QStringLiteral("SELECT Memo FROM tbl_appt")), QStringList {QStringLiteral("SMITH")});
}

QTEST_GUILESS_MAIN(TestServerDatabase)
#include "tst_serverdatabase.moc"
