#include "TestSupport.h"

#include "store/Database.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <sqlite3.h>

// The commands that open a database file, given files made to hurt it. Each
// either refuses the file with a message that names it (exit status 1), or
// works as on the sound file; the file, its journal and its log stay
// byte-identical.
class TestHostileFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyCommandRefusesOrWorks_data();
    void everyCommandRefusesOrWorks();

private:
    QTemporaryDir m_work;
    QString m_sound; // a Ledgerly file with a few bookings
    QStringList m_soundFind; // what find prints on it
};

namespace {

const QString Marker = "Patient";
constexpr int PageSize = 4096;

// What a kind of file must come to.
enum class Expect {
    Refused, // every command refuses it
    Works, // every command takes it and finds what the sound file holds
    Either, // refused, or taken and the same as the sound file (never taken when damaged)
    Taken // every command takes it (its days are laid out in their own absurd layouts)
};

// The file and its journal as a crash in the middle of a save (its journal
// spilled into the file) leaves them.
QPair<QByteArray, QByteArray> cutOffSave(const QString& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db,
        "PRAGMA cache_size = 1; BEGIN IMMEDIATE; CREATE TABLE IF NOT EXISTS filler (x); WITH RECURSIVE n(i) AS "
        "(SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) INSERT INTO filler SELECT randomblob(900) FROM n",
        nullptr, nullptr, nullptr);
    const QPair<QByteArray, QByteArray> caught {
        TestSupport::fileBytes(path), TestSupport::fileBytes(path + "-journal")};
    sqlite3_close(db);
    return caught;
}

TestSupport::Run ledgerly(const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    return TestSupport::runProgram(QStringLiteral(LEDGERLY_EXE), arguments, env);
}

// Whether SQLite finds the pages of a file damaged (PRAGMA quick_check).
bool damaged(const QByteArray& bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("copy.db");
    TestSupport::writeFile(path, bytes);
    sqlite3* db = nullptr;
    sqlite3_stmt* check = nullptr;
    const bool sound = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &check, nullptr) == SQLITE_OK
        && sqlite3_step(check) == SQLITE_ROW
        && qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok") == 0
        && sqlite3_step(check) == SQLITE_DONE;
    sqlite3_finalize(check);
    sqlite3_close(db);
    return !sound;
}

QMap<QString, QByteArray> folderState(const QString& folder)
{
    QMap<QString, QByteArray> state;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        state.insert(name, TestSupport::fileBytes(QDir(folder).filePath(name)));
    return state;
}

} // namespace

void TestHostileFiles::initTestCase()
{
    m_sound = m_work.filePath("db.mdb");
    {
        Database db("sound");
        QVERIFY(db.open(m_sound).ok());
        // Enough days for tbl_Appt to take several pages, saved by a program
        // started without a login session: its changes still name the user.
        qunsetenv("USER");
        for (int i = 0; i < 60; ++i) {
            TestSupport::bookCell(db, TestSupport::Today.addDays(i * 3 - 60), Settings::defaults(), 2 + i % 15,
                1 + i % 4, QStringLiteral("%1 %2").arg(Marker).arg(i));
        }
    }
    const TestSupport::Run found = ledgerly({"find", Marker, "--data-dir", m_work.path()});
    QCOMPARE(found.exitCode, 0);
    m_soundFind = found.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(m_soundFind.size(), 60);
    const TestSupport::Run history
        = ledgerly({"history", TestSupport::Today.toString(Qt::ISODate), "--data-dir", m_work.path()});
    QVERIFY2(
        history.out.trimmed().endsWith(R"(10:30 AM, Practitioner A: "" -> "Patient 20")"), qPrintable(history.out));
    QVERIFY2(!history.out.contains(QStringLiteral("  @")), qPrintable(history.out));
}

void TestHostileFiles::everyCommandRefusesOrWorks_data()
{
    QTest::addColumn<Expect>("expect");
    QTest::addColumn<QString>("why"); // what a refusal says
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("journal"); // db.mdb-journal, when not empty
    QTest::addColumn<QByteArray>("log"); // db.mdb-wal, when not empty
    const auto add = [](const QString& name, Expect expect, const QByteArray& bytes, const QString& why = QString(),
                         const QByteArray& journal = {}, const QByteArray& log = {}) {
        QTest::newRow(qPrintable(name)) << expect << why << bytes << journal << log;
    };
    QRandomGenerator random(20240515);
    const QByteArray whole = TestSupport::fileBytes(m_sound);
    // The sound file with sql run on it, as another program would.
    const auto changedBy = [&, changed = m_work.filePath("changed.db")](const QString& sql) {
        QFile::remove(changed);
        QFile::copy(m_sound, changed);
        TestSupport::sqlOnFile(changed, sql);
        return TestSupport::fileBytes(changed);
    };

    add("empty", Expect::Refused, {}, "it is empty");
    add("text", Expect::Refused, QByteArray(200, 'x'), "it is not a database file");
    add("newer version", Expect::Refused,
        changedBy(QString("PRAGMA user_version = %1").arg(Database::SchemaVersion + 1)),
        "was written by a newer version");
    // Header: page size, write version, payload fraction, page count, schema
    // format, text encoding, data version, mark.
    for (int at : {16, 18, 21, 28, 44, 56, 63, 71}) {
        QByteArray b = whole;
        b[at] = char(b.at(at) ^ (1 + random.bounded(255)));
        add(QString("header byte %1").arg(at), Expect::Either, b);
    }
    // A page overwritten, zeroed, or with its page header scribbled over.
    for (int kind = 0; kind < 3; ++kind) {
        QByteArray b = whole;
        const qsizetype start = qsizetype(1 + random.bounded(int(whole.size() / PageSize) - 1)) * PageSize;
        for (qsizetype at = start; at < start + (kind == 2 ? 12 : PageSize); ++at)
            b[at] = kind == 1 ? char(0) : char(random.bounded(256));
        add(QString("page at %1 damaged (%2)").arg(start).arg(kind), Expect::Either, b);
    }
    add("cut mid-page", Expect::Either, whole.left(whole.size() - PageSize / 2));
    add("cut at a page", Expect::Either, whole.left(whole.size() - PageSize));

    // Another program's database, marked as ours.
    const QString foreign = m_work.filePath("foreign.db");
    TestSupport::sqlOnFile(foreign,
        QString("CREATE TABLE tbl_Appt (a); INSERT INTO tbl_Appt VALUES ('%1'); PRAGMA application_id = %2; PRAGMA "
                "user_version = %3")
            .arg(Marker)
            .arg(Database::ApplicationId)
            .arg(Database::SchemaVersion));
    add("foreign", Expect::Refused, TestSupport::fileBytes(foreign));

    // The sound file changed as another program would: objects Ledgerly did
    // not make, or made otherwise; absurd settings in the set-up and in the
    // days' own copies; write-ahead-log mode.
    const QList<QPair<Expect, QString>> changes = {
        {Expect::Refused, "CREATE TRIGGER wipe AFTER UPDATE ON tbl_Appt BEGIN DELETE FROM tbl_Appt; END"},
        {Expect::Refused, "CREATE TABLE notes (x TEXT)"},
        {Expect::Refused, "DROP INDEX ix_Appt_CalDate"},
        {Expect::Refused, "DROP INDEX ix_Appt_CalDate; CREATE INDEX ix_Appt_CalDate ON tbl_Appt (CalDate)"},
        {Expect::Refused, "ALTER TABLE tbl_Appt DROP COLUMN Memo"},
        {Expect::Refused, "ALTER TABLE tbl_Order ADD COLUMN Email TEXT"},
        {Expect::Refused, "ALTER TABLE tbl_Order DROP COLUMN Fax; ALTER TABLE tbl_Order ADD COLUMN Fax INTEGER"},
        {Expect::Refused, "DROP TABLE tbl_Order"},
        {Expect::Refused, "DROP TABLE day_search"},
        {Expect::Refused, "ALTER TABLE tbl_History RENAME COLUMN TextBefore TO Earlier"},
        {Expect::Refused,
            "DROP TABLE day_search; CREATE VIRTUAL TABLE day_search USING fts5(folded_cell, content='', detail=none, "
            "columnsize=0)"},
        {Expect::Refused, "CREATE TABLE day_search_docsize (id INTEGER PRIMARY KEY, sz BLOB)"},
        {Expect::Refused, "CREATE TRIGGER t AFTER INSERT ON day_search_data BEGIN DELETE FROM tbl_Appt; END"},
        {Expect::Refused, "UPDATE tbl_Appt SET id = 17592186044421 WHERE id = (SELECT MAX(id) FROM tbl_Appt)"},
        {Expect::Works, "UPDATE tbl_Setup SET Listno = 0, timeslot = -30"},
        {Expect::Works, "UPDATE tbl_Setup SET open = NULL, Close = NULL, timeslot = NULL"},
        {Expect::Taken, "UPDATE tbl_Appt SET open = '05:00 PM', Close = '08:00 AM'"},
        {Expect::Taken, "UPDATE tbl_Appt SET timeslot = 2147483647, Listno = 2147483647"},
        {Expect::Either, "PRAGMA journal_mode = WAL"},
    };
    for (const auto& [expect, sql] : changes)
        add(sql.left(70), expect, changedBy(sql));

    // Write-ahead-log mode with changes still in the log.
    const QString logged = m_work.filePath("logged.db");
    QFile::copy(m_sound, logged);
    sqlite3* db = nullptr;
    sqlite3_open(logged.toUtf8().constData(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0; UPDATE tbl_Setup SET FixedMemo = 'x'",
        nullptr, nullptr, nullptr);
    add("write-ahead log with changes", Expect::Either, TestSupport::fileBytes(logged), {}, {},
        TestSupport::fileBytes(logged + "-wal"));
    sqlite3_close(db);

    // Journals: the file's own save cut off by a crash, and journals of other
    // files (other page size, a longer file, another program's file).
    QFile::copy(m_sound, m_work.filePath("own.db"));
    const auto [bytes, journal] = cutOffSave(m_work.filePath("own.db"));
    add("own journal", Expect::Either, bytes, {}, journal);
    QFile::copy(m_sound, m_work.filePath("longer.db"));
    const QList<QPair<QString, QString>> others = {
        {"small-pages.db", "PRAGMA page_size = 1024; CREATE TABLE x (y)"},
        {"longer.db", "CREATE TABLE big (x); INSERT INTO big VALUES (zeroblob(800000))"},
        {"other.db", "CREATE TABLE tbl_Setup (FixedMemo); INSERT INTO tbl_Setup VALUES (1)"},
    };
    for (const auto& [name, sql] : others) {
        TestSupport::sqlOnFile(m_work.filePath(name), sql);
        add("journal of " + name, Expect::Refused, whole, {}, cutOffSave(m_work.filePath(name)).second);
    }
}

void TestHostileFiles::everyCommandRefusesOrWorks()
{
    QFETCH(Expect, expect);
    QFETCH(QString, why);
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, journal);
    QFETCH(QByteArray, log);
    QTemporaryDir data;
    const QString path = data.filePath("db.mdb");
    for (const auto& [file, content] :
        QList<QPair<QString, QByteArray>> {{path, bytes}, {path + "-journal", journal}, {path + "-wal", log}})
        if (file == path || !content.isEmpty())
            TestSupport::writeFile(file, content);
    const QMap<QString, QByteArray> before = folderState(data.path());

    const TestSupport::Run found = ledgerly({"find", Marker, "--data-dir", data.path()});
    const QString pdf = data.filePath("day.pdf");
    const TestSupport::Run printed
        = ledgerly({"print-day", TestSupport::Today.toString(Qt::ISODate), "--pdf", pdf, "--data-dir", data.path()});
    QVERIFY2(printed.exitCode == 0 ? QFile::remove(pdf) : printed.exitCode == 1 && !QFile::exists(pdf),
        qPrintable(printed.err));
    const TestSupport::Run history
        = ledgerly({"history", TestSupport::Today.toString(Qt::ISODate), "--data-dir", data.path()});
    // The window's check of the whole file, which reports later in the
    // window's thread.
    QObject window;
    std::optional<QString> checked;
    Database::checkWholeFileLater(path, &window, [&](const Result& r) {
        QCOMPARE(QThread::currentThread(), window.thread());
        checked = r.message;
    });
    QTRY_VERIFY(checked);
    QVERIFY(folderState(data.path()) == before);

    const bool isDamaged = expect == Expect::Either && journal.isEmpty() && log.isEmpty() && damaged(bytes);
    const QList<QPair<int, QString>> outcomes = {{found.exitCode, found.err}, {printed.exitCode, printed.err},
        {history.exitCode, history.err}, {checked->isEmpty() ? 0 : 1, *checked}};
    for (const auto& [exitCode, message] : outcomes) {
        if (exitCode != 0) {
            QCOMPARE(exitCode, 1);
            QVERIFY2(expect == Expect::Refused || expect == Expect::Either, qPrintable(message));
            QVERIFY2(message.contains(QDir::toNativeSeparators(path)) && message.contains(why), qPrintable(message));
        } else {
            QVERIFY(expect != Expect::Refused && !isDamaged);
        }
    }
    if (found.exitCode == 0 && expect != Expect::Taken)
        QCOMPARE(found.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), m_soundFind);
    else
        QVERIFY(found.out.isEmpty() == (found.exitCode != 0));
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
