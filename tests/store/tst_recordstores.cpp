#include "TestSupport.h"

#include "platform/Clock.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/OrderStore.h"
#include "store/SettingsStore.h"

#include <QTest>

// The tables of one record, the set-up (tbl_Setup) and the order form
// (tbl_Order), written by one desk and read back by another.
class TestRecordStores : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void layoutAndFixedMemoKeepEachOther();
    void saveFixedMemoMerges_data();
    void saveFixedMemoMerges();
    void orderFormKeepsEveryField();

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    std::unique_ptr<Database> m_other;
};

namespace {
QStringList layoutOf(const Settings& s)
{
    return {s.location, s.open, s.close, QString::number(s.slotMinutes), QString::number(s.providerCount), s.names};
}

QStringList fieldsOf(const OrderRecord& o)
{
    return {o.name, o.address, o.city, o.state, o.zip, o.country, o.phone, o.fax, o.contact, o.practice, o.orderDate};
}
} // namespace

// A fresh database for every test, the earlier one closed first.
void TestRecordStores::init()
{
    m_other.reset();
    m_data.reset();
    m_data = std::make_unique<TestSupport::DataFixture>();
    m_other = std::make_unique<Database>("other");
    QVERIFY(m_other->open(m_data->databasePath()).ok());
}

void TestRecordStores::layoutAndFixedMemoKeepEachOther()
{
    SettingsStore store(m_data->db());
    QVERIFY(store.writeFixedMemo("Closed on Sundays").ok());
    Settings s;
    QVERIFY(store.read(s).ok());
    const QString readme = s.readme;
    s = {"Clinic", "8:00 AM", "12:00 PM", 240, 8, " Dr Lee -  Dr Kim - ", "not written by writeLayout", {}, {}};
    QVERIFY(store.writeLayout(s).ok());
    Settings back;
    QVERIFY(SettingsStore(*m_other).read(back).ok());
    QCOMPARE(layoutOf(back), layoutOf(s));
    QCOMPARE(back.fixedMemo, "Closed on Sundays");
    QCOMPARE(back.readme, readme);

    QVERIFY(store.writeFixedMemo("line one\nline two").ok());
    QVERIFY(SettingsStore(*m_other).read(back).ok());
    QCOMPARE(back.fixedMemo, "line one\nline two");
    QCOMPARE(layoutOf(back), layoutOf(s));
}

void TestRecordStores::saveFixedMemoMerges_data()
{
    // This desk's, the other desk's, the merged one, and what this desk's
    // save keeps in the history: what was stored before and after it.
    QTest::addColumn<QStringList>("memos");
    QTest::newRow("only mine changed") << QStringList {"Open", "Base", "Open", "Base>Open"};
    QTest::newRow("only theirs changed") << QStringList {"Base", "Shut", "Shut", ""};
    QTest::newRow("both changed") << QStringList {"Open", "Shut", "Open\nShut", "Shut>Open\nShut"};
}

// The other desk saved the fixed memo since this one read it as "Base".
void TestRecordStores::saveFixedMemoMerges()
{
    QFETCH(QStringList, memos);
    QVERIFY(SettingsStore(m_data->db()).writeFixedMemo("Base").ok());
    QVERIFY(SettingsStore(*m_other).writeFixedMemo(memos[1]).ok());
    QString stored;
    QVERIFY(SettingsStore(m_data->db()).saveFixedMemo("Base", memos[0], stored).ok());
    QCOMPARE(stored, memos[2]);
    QVERIFY(SettingsStore(*m_other).readFixedMemoOnce(stored).ok());
    QCOMPARE(stored, memos[2]);
    QList<ChangeEntry> history;
    QVERIFY(ChangeHistory::readDay(*m_other, Clock::today(), history).ok());
    QStringList kept;
    for (const ChangeEntry& e : std::as_const(history))
        kept.append(ChangeHistory::placeOf(e) + ": " + e.before + '>' + e.after);
    QCOMPARE(kept.join(';'), memos[3].isEmpty() ? QString() : "Fixed memo: " + memos[3]);
}

void TestRecordStores::orderFormKeepsEveryField()
{
    // A text of its own in every field, so that no two are mixed up.
    const OrderRecord o {
        "NAME", "ADDRESS", "CITY", "STATE", "ZIP", "COUNTRY", "PHONE", "FAX", "CONTACT", "PRACTICE", "15/05/2024"};
    QVERIFY(OrderStore(m_data->db()).write(OrderRecord()).ok());
    QVERIFY(OrderStore(m_data->db()).write(o).ok());
    OrderRecord back;
    QVERIFY(OrderStore(*m_other).read(back).ok());
    QCOMPARE(fieldsOf(back), fieldsOf(o));
}

QTEST_GUILESS_MAIN(TestRecordStores)
#include "tst_recordstores.moc"
