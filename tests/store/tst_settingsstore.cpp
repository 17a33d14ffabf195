#include "TestSupport.h"

#include "store/Database.h"
#include "store/SettingsStore.h"

#include <QTest>

using TestSupport::DataFixture;

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void writeLayoutKeepsTheOtherFields();
    void writeFixedMemoKeepsTheLayout();
    void saveFixedMemoMerges_data();
    void saveFixedMemoMerges();
};

void TestSettingsStore::writeLayoutKeepsTheOtherFields()
{
    DataFixture f;
    SettingsStore store(f.db());
    QVERIFY(store.writeFixedMemo(QStringLiteral("Closed on Sundays")).ok());
    Settings s;
    QVERIFY(store.read(s).ok());
    const QString readme = s.readme;
    s.location = QStringLiteral("Clinic");
    s.open = QStringLiteral("8:00 AM");
    s.close = QStringLiteral("12:00 PM");
    s.slotMinutes = 240;
    s.providerCount = 8;
    s.names = QStringLiteral(" Dr Lee -  Dr Kim - ");
    s.fixedMemo = QStringLiteral("not written by writeLayout");
    QVERIFY(store.writeLayout(s).ok());

    // Read through another connection: it is on disk, not in a cache.
    Database other(QStringLiteral("reader"));
    QVERIFY(other.open(f.databasePath()).ok());
    Settings back;
    QVERIFY(SettingsStore(other).read(back).ok());
    QCOMPARE(back.location, QStringLiteral("Clinic"));
    QCOMPARE(back.open, QStringLiteral("8:00 AM"));
    QCOMPARE(back.close, QStringLiteral("12:00 PM"));
    QCOMPARE(back.slotMinutes, 240);
    QCOMPARE(back.providerCount, 8);
    QCOMPARE(back.names, QStringLiteral(" Dr Lee -  Dr Kim - "));
    QCOMPARE(back.fixedMemo, QStringLiteral("Closed on Sundays"));
    QCOMPARE(back.readme, readme);
}

void TestSettingsStore::writeFixedMemoKeepsTheLayout()
{
    DataFixture f;
    SettingsStore store(f.db());
    QVERIFY(store.writeFixedMemo(QStringLiteral("line one\nline two")).ok());
    Settings s;
    QVERIFY(store.read(s).ok());
    QCOMPARE(s.fixedMemo, QStringLiteral("line one\nline two"));
    QCOMPARE(s.names, Settings::defaultNames());
    QCOMPARE(s.providerCount, 4);
}

void TestSettingsStore::saveFixedMemoMerges_data()
{
    QTest::addColumn<QString>("mine");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<QString>("expected");

    const QString base = QStringLiteral("Closed on Sundays");
    QTest::newRow("only mine changed") << base + QStringLiteral(" and Mondays") << base
                                       << base + QStringLiteral(" and Mondays");
    QTest::newRow("only theirs changed") << base << QStringLiteral("Open on Sundays")
                                         << QStringLiteral("Open on Sundays");
    QTest::newRow("both changed") << QStringLiteral("Staff meeting Friday") << QStringLiteral("Closed in August")
                                  << QStringLiteral("Staff meeting Friday\nClosed in August");
}

void TestSettingsStore::saveFixedMemoMerges()
{
    QFETCH(QString, mine);
    QFETCH(QString, theirs);
    QFETCH(QString, expected);

    DataFixture f;
    const QString base = QStringLiteral("Closed on Sundays");
    QVERIFY(SettingsStore(f.db()).writeFixedMemo(base).ok());
    Database other(QStringLiteral("other"));
    QVERIFY(other.open(f.databasePath()).ok());
    QVERIFY(SettingsStore(other).writeFixedMemo(theirs).ok());

    QString stored;
    QVERIFY(SettingsStore(f.db()).saveFixedMemo(base, mine, stored).ok());
    QCOMPARE(stored, expected);
    QString read;
    QVERIFY(SettingsStore(other).readFixedMemoOnce(read).ok());
    QCOMPARE(read, expected);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
