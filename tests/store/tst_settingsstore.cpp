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
    s.timeslot = 240;
    s.listno = 8;
    s.names = QStringLiteral(" Dr Lee -  Dr Kim - ");
    s.fixedMemo = QStringLiteral("not written by writeLayout");
    QVERIFY(store.writeLayout(s).ok());

    // Read through another connection: it is on disk, not in a cache.
    Database other(QStringLiteral("reader"));
    QVERIFY(other.open(f.databasePath()).ok);
    Settings back;
    QVERIFY(SettingsStore(other).read(back).ok());
    QCOMPARE(back.location, QStringLiteral("Clinic"));
    QCOMPARE(back.open, QStringLiteral("8:00 AM"));
    QCOMPARE(back.close, QStringLiteral("12:00 PM"));
    QCOMPARE(back.timeslot, 240);
    QCOMPARE(back.listno, 8);
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
    QCOMPARE(s.listno, 4);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
