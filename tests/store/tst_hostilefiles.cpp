#include "TestSupport.h"

#include "appointments/AppointmentSearch.h"
#include "store/Database.h"
#include "store/DayStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

// Every command that opens a database file, given files made to hurt it:
// damaged, cut off, of other programs, with objects or journals Ledgerly did
// not make, with absurd settings. Each either refuses the file with a message
// that names it (exit status 1), or works as on the sound file; a file that is
// refused or only read stays byte-identical, with its journal or log.
class TestHostileFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyCommandRefusesOrWorks();

private:
    QTemporaryDir m_work;
    QString m_sound; // a Ledgerly file with a few bookings
    QStringList m_soundFind; // what find prints on it
};

namespace {

constexpr quint32 Seed = 20240515;
const QString Marker = QStringLiteral("Patient");
constexpr int PageSize = 4096;
constexpr int BookedDays = 60;

// What a kind of file must come to.
enum class Expect {
    Refused, // every command refuses it
    Works, // every command takes it and works
    Either, // refused, or taken and the same as the sound file
    OwnLayout // taken; the pages read in the file's own (absurd) layouts
};

struct HostileFile
{
    QString name;
    Expect expect = Expect::Either;
    QByteArray bytes;
    QByteArray journal; // db.mdb-journal, when not empty
    QByteArray log; // db.mdb-wal, when not empty
};

// The sound file with sql run on it, as another program would.
QByteArray changedBy(const QString& sound, const QString& sql, QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("changed-%1.db").arg(QRandomGenerator::global()->generate()));
    QFile::copy(sound, path);
    TestSupport::sqlOnFile(path, sql);
    return TestSupport::fileBytes(path);
}

// A file caught in the middle of a save (its journal spilled into it): the
// file and its journal as a crash leaves them.
QPair<QByteArray, QByteArray> cutOffSave(const QString& path, int pageSize)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    const QByteArray sql = QStringLiteral("PRAGMA page_size = %1; PRAGMA cache_size = 1; BEGIN IMMEDIATE; "
                                          "CREATE TABLE IF NOT EXISTS filler (x TEXT);")
                               .arg(pageSize)
                               .toUtf8();
    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    for (int i = 0; i < 300; ++i)
        sqlite3_exec(db, "INSERT INTO filler VALUES (hex(randomblob(900)))", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "UPDATE tbl_Setup SET FixedMemo = 'during'", nullptr, nullptr, nullptr);
    const QPair<QByteArray, QByteArray> caught {
        TestSupport::fileBytes(path), TestSupport::fileBytes(path + QStringLiteral("-journal"))};
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return caught;
}

QList<HostileFile> hostileFiles(const QString& sound, QTemporaryDir& dir)
{
    QRandomGenerator random(Seed);
    const QByteArray whole = TestSupport::fileBytes(sound);
    const int pages = int(whole.size() / PageSize);
    QList<HostileFile> files;

    // Header: page size, versions, reserved space, payload fractions, page
    // count, schema format, text encoding, marks.
    const QList<int> headerBytes = {16, 17, 18, 19, 20, 21, 22, 23, 28, 31, 44, 47, 56, 59, 63, 71, 92, 95};
    for (int at : headerBytes) {
        QByteArray b = whole;
        b[at] = char(b.at(at) ^ (1 + random.bounded(255)));
        files.append({QStringLiteral("header byte %1").arg(at), Expect::Either, b, {}, {}});
    }
    for (int i = 0; i < 4; ++i) {
        QByteArray b = whole;
        for (int k = 16; k < 100; ++k)
            b[k] = char(random.bounded(256));
        files.append({QStringLiteral("random header %1").arg(i), Expect::Either, b, {}, {}});
    }

    // Pages: overwritten, zeroed, or with a scribbled page header.
    for (int i = 0; i < 18; ++i) {
        QByteArray b = whole;
        const int page = 1 + random.bounded(pages);
        const qsizetype start = qsizetype(page) * PageSize - (page == 1 ? PageSize - 100 : PageSize);
        const qsizetype length = i % 3 == 2 ? 12 : PageSize - (page == 1 ? 100 : 0);
        for (qsizetype k = start; k < start + length; ++k)
            b[k] = i % 3 == 1 ? char(0) : char(random.bounded(256));
        files.append({QStringLiteral("page %1 damaged (%2)").arg(page).arg(i % 3), Expect::Either, b, {}, {}});
    }

    // Cut off, mid-page and at a page.
    for (int i = 0; i < 8; ++i) {
        const qsizetype at = i % 2 ? qsizetype(1 + random.bounded(pages - 1)) * PageSize
                                   : qsizetype(random.bounded(int(whole.size())));
        files.append({QStringLiteral("cut at %1").arg(at), Expect::Either, whole.left(at), {}, {}});
    }

    // Other programs' databases, one of them marked as ours.
    const QString foreign = dir.filePath(QStringLiteral("foreign.db"));
    TestSupport::sqlOnFile(
        foreign, QStringLiteral("CREATE TABLE tbl_Appt (a); INSERT INTO tbl_Appt VALUES ('%1 x');").arg(Marker));
    files.append({QStringLiteral("foreign database"), Expect::Refused, TestSupport::fileBytes(foreign), {}, {}});
    TestSupport::sqlOnFile(foreign,
        QStringLiteral("PRAGMA application_id = %1; PRAGMA user_version = %2")
            .arg(Database::ApplicationId)
            .arg(Database::SchemaVersion));
    files.append(
        {QStringLiteral("foreign database marked ours"), Expect::Refused, TestSupport::fileBytes(foreign), {}, {}});

    // Objects Ledgerly did not make, or made otherwise.
    const QList<QPair<QString, QString>> schemaChanges = {
        {QStringLiteral("trigger"),
            QStringLiteral("CREATE TRIGGER wipe AFTER UPDATE ON tbl_Appt BEGIN DELETE FROM tbl_Appt; END")},
        {QStringLiteral("view"), QStringLiteral("CREATE VIEW days AS SELECT CalDate FROM tbl_Appt")},
        {QStringLiteral("extra table"), QStringLiteral("CREATE TABLE notes (x TEXT)")},
        {QStringLiteral("extra index"), QStringLiteral("CREATE INDEX ix_memo ON tbl_Appt (Memo)")},
        {QStringLiteral("no CalDate index"), QStringLiteral("DROP INDEX ix_Appt_CalDate")},
        {QStringLiteral("CalDate index not unique"),
            QStringLiteral("DROP INDEX ix_Appt_CalDate; CREATE INDEX ix_Appt_CalDate ON tbl_Appt (CalDate)")},
        {QStringLiteral("missing field"), QStringLiteral("ALTER TABLE tbl_Appt DROP COLUMN Memo")},
        {QStringLiteral("renamed field"), QStringLiteral("ALTER TABLE tbl_Setup RENAME COLUMN listno TO providers")},
        {QStringLiteral("extra field"), QStringLiteral("ALTER TABLE tbl_Order ADD COLUMN Email TEXT")},
        {QStringLiteral("changed field"),
            QStringLiteral("CREATE TABLE t2 (id INTEGER PRIMARY KEY, CalDate TEXT NOT NULL, Clinic INTEGER NOT NULL "
                           "DEFAULT 0, Data TEXT, Memo TEXT, location TEXT, open TEXT, Close TEXT, timeslot "
                           "INTEGER, Listno INTEGER, Names TEXT, Version TEXT NOT NULL DEFAULT 0); INSERT INTO t2 "
                           "SELECT * FROM tbl_Appt; DROP TABLE tbl_Appt; ALTER TABLE t2 RENAME TO tbl_Appt; CREATE "
                           "UNIQUE INDEX ix_Appt_CalDate ON tbl_Appt (CalDate)")},
        {QStringLiteral("missing table"), QStringLiteral("DROP TABLE tbl_Order")},
    };
    for (const auto& [name, sql] : schemaChanges)
        files.append({name, Expect::Refused, changedBy(sound, sql, dir), {}, {}});

    // Absurd settings, in the set-up and in the days' own copies: opened, and
    // the days laid out safely.
    const QStringList absurd = {
        QStringLiteral("listno = 0"),
        QStringLiteral("timeslot = 0"),
        QStringLiteral("timeslot = -30"),
        QStringLiteral("open = 'half past', close = '99:99 ZM'"),
        QStringLiteral("open = '05:00 PM', close = '08:00 AM'"),
        QStringLiteral("timeslot = 2147483647, listno = 2147483647"),
        QStringLiteral("listno = -4, names = NULL"),
        QStringLiteral("open = NULL, close = NULL, timeslot = NULL, listno = NULL"),
        QStringLiteral("timeslot = 1, open = '00:00 AM', close = '11:59 PM'"),
        QStringLiteral("listno = 9999, timeslot = 'x'"),
    };
    for (const QString& set : absurd) {
        files.append({QStringLiteral("set-up %1").arg(set), Expect::Works,
            changedBy(sound, QStringLiteral("UPDATE tbl_Setup SET %1").arg(set), dir), {}, {}});
        files.append({QStringLiteral("days %1").arg(set), Expect::OwnLayout,
            changedBy(sound,
                QStringLiteral("UPDATE tbl_Appt SET %1")
                    .arg(QString(set).replace(QStringLiteral("listno"), QStringLiteral("Listno"))),
                dir),
            {}, {}});
    }

    // Write-ahead-log mode, with and without changes still in the log.
    files.append({QStringLiteral("write-ahead log"), Expect::Either,
        changedBy(sound, QStringLiteral("PRAGMA journal_mode = WAL"), dir), {}, {}});
    {
        const QString path = dir.filePath(QStringLiteral("logged.db"));
        QFile::copy(sound, path);
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db,
            "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0; UPDATE tbl_Setup SET FixedMemo = 'x'", nullptr,
            nullptr, nullptr);
        files.append({QStringLiteral("write-ahead log with changes"), Expect::Either, TestSupport::fileBytes(path), {},
            TestSupport::fileBytes(path + QStringLiteral("-wal"))});
        sqlite3_close(db);
    }

    // Journals: the file's own save cut off by a crash, and journals of other
    // files (other page size, a longer file, another program's file).
    {
        const QString own = dir.filePath(QStringLiteral("own.db"));
        QFile::copy(sound, own);
        const auto [bytes, journal] = cutOffSave(own, PageSize);
        files.append({QStringLiteral("own journal"), Expect::Either, bytes, journal, {}});
    }
    const QString smallPages = dir.filePath(QStringLiteral("small-pages.db"));
    TestSupport::sqlOnFile(
        smallPages, QStringLiteral("PRAGMA page_size = 1024; CREATE TABLE tbl_Setup (FixedMemo TEXT)"));
    const QString longer = dir.filePath(QStringLiteral("longer.db"));
    QFile::copy(sound, longer);
    TestSupport::sqlOnFile(longer,
        QStringLiteral("CREATE TABLE big (x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                       "WHERE i < 200) INSERT INTO big SELECT randomblob(900) FROM n"));
    const QString other = dir.filePath(QStringLiteral("other.db"));
    TestSupport::sqlOnFile(
        other, QStringLiteral("CREATE TABLE tbl_Setup (FixedMemo TEXT); INSERT INTO tbl_Setup VALUES ('x')"));
    const QList<QPair<QString, int>> foreignJournals = {{smallPages, 1024}, {longer, PageSize}, {other, PageSize}};
    for (const auto& [path, size] : foreignJournals) {
        const QByteArray journal = cutOffSave(path, size).second;
        files.append(
            {QStringLiteral("journal of %1").arg(QFileInfo(path).fileName()), Expect::Refused, whole, journal, {}});
    }
    return files;
}

struct Outcome
{
    bool refused = false;
    QString message;
    QStringList lines;
    QString wrong; // what went wrong beside refusing or the lines
};

TestSupport::Run ledgerly(const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    return TestSupport::runProgram(QStringLiteral(LEDGERLY_EXE), arguments, env);
}

// The lines find prints for the file at path, as the search gives them.
QStringList searched(Database& db, bool* ok)
{
    QList<DayRecord> days;
    Settings current;
    *ok = AppointmentSearch::readDays(db, days, current).ok();
    QStringList out;
    const AppointmentSearch search(days, current, QDate::currentDate());
    for (const AppointmentSearch::Match& m : search.find(Marker).matches)
        out.append(AppointmentSearch::resultLine(m));
    if (out.isEmpty())
        out.append(AppointmentSearch::noneFoundText());
    return out;
}

// Whether SQLite finds the pages of a file damaged (PRAGMA quick_check), read
// from a copy of it.
bool damaged(const QByteArray& bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("copy.db"));
    TestSupport::writeFile(path, bytes);
    sqlite3* db = nullptr;
    bool sound = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
    sqlite3_stmt* check = nullptr;
    sound = sound && sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &check, nullptr) == SQLITE_OK
        && sqlite3_step(check) == SQLITE_ROW
        && qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok") == 0
        && sqlite3_step(check) == SQLITE_DONE;
    sqlite3_finalize(check);
    sqlite3_close(db);
    return !sound;
}

// Every file of the folder with its bytes.
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
    QVERIFY(m_work.isValid());
    m_sound = m_work.filePath(QStringLiteral("sound.mdb"));
    {
        Database db(QStringLiteral("sound"));
        QVERIFY(db.open(m_sound).ok());
        Settings layout = Settings::defaults();
        // Enough days for tbl_Appt to take several pages.
        for (int i = 0; i < BookedDays; ++i) {
            TestSupport::bookCell(db, TestSupport::Today.addDays(i * 3 - 60), layout, 2 + i % 15, 1 + i % 4,
                QStringLiteral("%1 %2").arg(Marker).arg(i));
        }
        bool ok = false;
        m_soundFind = searched(db, &ok);
        QVERIFY(ok);
    }
    QCOMPARE(m_soundFind.size(), BookedDays);
}

void TestHostileFiles::everyCommandRefusesOrWorks()
{
    const QList<HostileFile> files = hostileFiles(m_sound, m_work);
    int tried = 0;
    int refused = 0;
    int acceptedCorrectly = 0;
    int changed = 0;
    QStringList faults;

    for (const HostileFile& file : files) {
        QTemporaryDir data;
        QTemporaryDir output;
        const QString path = data.filePath(QStringLiteral("db.mdb"));
        TestSupport::writeFile(path, file.bytes);
        if (!file.journal.isEmpty())
            TestSupport::writeFile(path + QStringLiteral("-journal"), file.journal);
        if (!file.log.isEmpty())
            TestSupport::writeFile(path + QStringLiteral("-wal"), file.log);
        const QMap<QString, QByteArray> before = folderState(data.path());
        // A damaged file is never taken by what reads it whole.
        const bool isDamaged
            = file.expect == Expect::Either && file.journal.isEmpty() && file.log.isEmpty() && damaged(file.bytes);

        // What each command came to: refused, or its lines of output.
        QList<QPair<QString, Outcome>> outcomes;
        const TestSupport::Run find
            = ledgerly({QStringLiteral("find"), Marker, QStringLiteral("--data-dir"), data.path()});
        Outcome found {find.exitCode != 0, find.err, find.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), {}};
        if (find.exitCode != 0 && (find.exitCode != 1 || !find.out.isEmpty()))
            found.wrong = QStringLiteral("exit status %1 with output: %2").arg(find.exitCode).arg(find.err);
        outcomes.append({QStringLiteral("find"), found});

        const QString pdf = output.filePath(QStringLiteral("day.pdf"));
        const TestSupport::Run print = ledgerly({QStringLiteral("print-day"), TestSupport::Today.toString(Qt::ISODate),
            QStringLiteral("--pdf"), pdf, QStringLiteral("--data-dir"), data.path()});
        Outcome printed {print.exitCode != 0, print.err, {}, {}};
        if (print.exitCode == 0 && QFileInfo(pdf).size() == 0)
            printed.wrong = QStringLiteral("no PDF written");
        if (print.exitCode != 0 && (print.exitCode != 1 || QFileInfo::exists(pdf) || !print.out.isEmpty()))
            printed.wrong = QStringLiteral("exit status %1 with output: %2").arg(print.exitCode).arg(print.err);
        outcomes.append({QStringLiteral("print-day"), printed});

        const QString checked = Database::checkFile(path, true).message;
        outcomes.append({QStringLiteral("back-up check"), {!checked.isEmpty(), checked, {}, {}}});
        const bool readOnlyChanged = folderState(data.path()) != before;

        Outcome opened;
        {
            Database db(QStringLiteral("hostile"));
            const Result r = db.open(path, false);
            opened.refused = !r.ok();
            opened.message = r.message;
            if (r.ok()) {
                bool ok = false;
                opened.lines = searched(db, &ok);
                opened.refused = !ok;
                if (!ok)
                    opened.message
                        = QStringLiteral("The file %1 could not be read").arg(QDir::toNativeSeparators(path));
            }
        }
        outcomes.append({QStringLiteral("open"), opened});
        const bool openChanged = opened.refused && folderState(data.path()) != before;

        // The file's own pages, as the store reads them once it has opened it
        // (in the file's own layouts), for the commands that took it.
        QStringList ownLines = m_soundFind;
        if (file.expect == Expect::OwnLayout)
            ownLines = opened.lines;

        for (const auto& [command, o] : std::as_const(outcomes)) {
            ++tried;
            const bool listsLines = command == QLatin1String("find") || command == QLatin1String("open");
            QString fault = o.wrong;
            if (!fault.isEmpty())
                fault = QStringLiteral("misbehaved: %1").arg(fault);
            else if (o.refused && (file.expect == Expect::Works || file.expect == Expect::OwnLayout))
                fault = QStringLiteral("refused: %1").arg(o.message);
            else if (o.refused && !o.message.contains(QDir::toNativeSeparators(path)))
                fault = QStringLiteral("refused without naming the file: %1").arg(o.message);
            else if (!o.refused && file.expect == Expect::Refused)
                fault = QStringLiteral("taken");
            else if (!o.refused && isDamaged && command != QLatin1String("open"))
                fault = QStringLiteral("damaged, but taken");
            else if (!o.refused && listsLines && o.lines != ownLines)
                fault = QStringLiteral("wrong lines: %1").arg(o.lines.join(QStringLiteral(" | ")));
            if (!fault.isEmpty())
                faults.append(QStringLiteral("%1, %2: %3").arg(file.name, command, fault));
            else if (o.refused)
                ++refused;
            else
                ++acceptedCorrectly;
        }
        if (readOnlyChanged || openChanged) {
            ++changed;
            faults.append(QStringLiteral("%1: changed by %2")
                              .arg(file.name,
                                  readOnlyChanged ? QStringLiteral("a command that only reads")
                                                  : QStringLiteral("a refused open")));
        }
    }

    qInfo("%d hostile files, %d runs: %d refused, %d accepted correctly, %d files changed", int(files.size()), tried,
        refused, acceptedCorrectly, changed);
    for (const QString& fault : std::as_const(faults))
        qWarning("%s", qPrintable(fault.left(300)));
    QVERIFY2(faults.isEmpty(), "some files were taken wrongly or changed");
    QCOMPARE(refused + acceptedCorrectly, tried);
    QCOMPARE(changed, 0);
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
