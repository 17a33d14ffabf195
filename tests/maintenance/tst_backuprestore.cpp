#include "TestSupport.h"

#include "maintenance/BackupRestore.h"
#include "platform/FileSystem.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using TestSupport::DataFixture;
using TestSupport::fileBytes;
using TestSupport::writeFile;

class TestBackupRestore : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void backupHoldsTheSameRows();
    void failedBackupKeepsTheEarlierBackup_data();
    void failedBackupKeepsTheEarlierBackup();
    void backupWhileAnotherProcessSaves();
    void backupOfAFileInWalModeHoldsItsLog();
    void probeDestination_data();
    void probeDestination();
    void probeSource_data();
    void probeSource();

    void restoreBringsTheBackupBack();
    void restoreRefusesAFileThatIsNotSound_data();
    void restoreRefusesAFileThatIsNotSound();
    void failedReplacementKeepsTheLiveFile_data();
    void failedReplacementKeepsTheLiveFile();
    void restoreWaitsForNoOtherWriter();
    void anotherCopyGoesOnInTheRestoredFile();
    void copiesKeepTheAccessRights();
    void replacingIsCheckedDurableAndInOneStep_data();
    void replacingIsCheckedDurableAndInOneStep();

    void presetFolderPrefersAMountedMedium();
};

namespace {

const QDate Day(2024, 3, 4);

// Every row of the three tables, in storage order, as text.
QStringList rowsOf(const QString& path)
{
    static int n = 0;
    const QString name = QStringLiteral("rows-%1").arg(++n);
    QStringList out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
        for (const char* table : {"tbl_Appt", "tbl_Setup", "tbl_Order"}) {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(QLatin1String(table))))
                qFatal("cannot read %s", table);
            while (q.next()) {
                QStringList fields;
                for (int i = 0; i < q.record().count(); ++i)
                    fields.append(q.value(i).toString());
                out.append(QLatin1String(table) + QLatin1Char(':') + fields.join(QLatin1Char('|')));
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

void saveDay(Database& db, const QDate& date, const QString& memo)
{
    Settings settings;
    QVERIFY(SettingsStore(db).read(settings).ok());
    DayStore store(db);
    DayRecord rec;
    bool created = false;
    QVERIFY(store.open(date, settings, rec, created).ok());
    DayRecord edited = rec;
    edited.memo = memo;
    edited.pageText = QStringLiteral("Smith\tJones");
    QVERIFY(store.save(rec, edited).status.ok());
}

QString memoOf(Database& db, const QDate& date)
{
    std::optional<DayRecord> rec;
    if (!DayStore(db).find(date, rec).ok() || !rec)
        return QStringLiteral("<none>");
    return rec->memo;
}

// The files of a folder other than the ones named: leftovers of a copy.
QStringList strayFiles(const QString& folder, const QStringList& expected)
{
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& e : expected)
        files.removeAll(e);
    return files;
}

// A sound database of our own at path with one day whose memo is memo.
void makeBackupFile(const QString& path, const QString& memo)
{
    Database other(QStringLiteral("maker"));
    QVERIFY(other.open(path).ok());
    saveDay(other, Day, memo);
}

} // namespace

void TestBackupRestore::cleanup()
{
    FileSystem::setFailureHook({});
}

void TestBackupRestore::backupHoldsTheSameRows()
{
    DataFixture f;
    QTemporaryDir medium;
    const QString target = BackupRestore::pathIn(medium.path());
    saveDay(f.db(), Day, QStringLiteral("first"));
    QCOMPARE(BackupRestore::backup(f.databasePath(), target).message, QString());
    // A second back-up replaces the first.
    saveDay(f.db(), Day, QStringLiteral("call the bank"));
    saveDay(f.db(), Day.addDays(1), QStringLiteral("second day"));
    QCOMPARE(BackupRestore::backup(f.databasePath(), target).message, QString());

    QCOMPARE(Database::checkFile(target, true).message, QString());
    QCOMPARE(rowsOf(target), rowsOf(f.databasePath()));
    QVERIFY(rowsOf(target).join(QLatin1Char('\n')).contains(QStringLiteral("call the bank")));
    QCOMPARE(strayFiles(medium.path(), {QStringLiteral("db.mdb")}), QStringList());
}

void TestBackupRestore::failedBackupKeepsTheEarlierBackup_data()
{
    QTest::addColumn<QString>("failing");
    QTest::newRow("temporary file") << "create";
    QTest::newRow("flush") << "flush";
    QTest::newRow("rename") << "replace";
}

void TestBackupRestore::failedBackupKeepsTheEarlierBackup()
{
    QFETCH(QString, failing);
    DataFixture f;
    QTemporaryDir medium;
    const QString target = BackupRestore::pathIn(medium.path());
    saveDay(f.db(), Day, QStringLiteral("old"));
    QCOMPARE(BackupRestore::backup(f.databasePath(), target).message, QString());
    const QByteArray earlier = fileBytes(target);
    saveDay(f.db(), Day, QStringLiteral("new"));

    FileSystem::setFailureHook([&](const QString& op, const QString&) {
        return op == failing ? Result::failed(QStringLiteral("The medium is write-protected")) : Result::success();
    });
    QCOMPARE(BackupRestore::backup(f.databasePath(), target).message, QStringLiteral("The medium is write-protected"));

    QCOMPARE(fileBytes(target), earlier);
    QCOMPARE(strayFiles(medium.path(), {QStringLiteral("db.mdb")}), QStringList());
}

void TestBackupRestore::backupWhileAnotherProcessSaves()
{
    DataFixture f;
    QTemporaryDir medium;
    const QString target = BackupRestore::pathIn(medium.path());

    QProcess writer;
    writer.start(QStringLiteral(DAY_WRITER), {f.databasePath()});
    QVERIFY(writer.waitForStarted());
    QVERIFY(writer.waitForReadyRead(30000));
    QCOMPARE(writer.readLine().trimmed(), QByteArray("ready"));

    for (int round = 0; round < 5; ++round) {
        QCOMPARE(writer.state(), QProcess::Running);
        QCOMPARE(BackupRestore::backup(f.databasePath(), target).message, QString());
        QCOMPARE(Database::checkFile(target, true).message, QString());
        // A committed state: each day's page and memo come from the same save.
        Database copy(QStringLiteral("copy"));
        QVERIFY(copy.open(target, false).ok());
        for (int d = 0; d < 40; ++d) {
            std::optional<DayRecord> rec;
            QVERIFY(DayStore(copy).find(QDate(2024, 1, 1).addDays(d), rec).ok());
            if (rec && !rec->memo.isEmpty()) // else only just created, not saved yet
                QCOMPARE(rec->pageText, rec->memo.repeated(6000 / rec->memo.size()));
            else if (rec)
                QCOMPARE(rec->pageText, QString());
        }
    }
    QCOMPARE(writer.state(), QProcess::Running);

    writeFile(f.databasePath() + QStringLiteral(".stop"), QByteArray());
    QVERIFY(writer.waitForFinished(60000));
    QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(writer.exitCode(), 0);
    QCOMPARE(Database::checkFile(f.databasePath(), true).message, QString());
}

// A file switched to write-ahead logging (by hand: the program never does)
// keeps its latest changes in a log beside it until they are checkpointed; a
// copy of the file alone would lose them.
void TestBackupRestore::backupOfAFileInWalModeHoldsItsLog()
{
    DataFixture f;
    saveDay(f.db(), Day, QStringLiteral("in the file"));
    f.db().close();
    sqlite3* raw = nullptr;
    QCOMPARE(sqlite3_open(f.databasePath().toUtf8().constData(), &raw), SQLITE_OK);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> writer(raw, &sqlite3_close);
    QCOMPARE(sqlite3_exec(raw,
                 "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0; "
                 "UPDATE tbl_Appt SET Memo = 'only in the log'",
                 nullptr, nullptr, nullptr),
        SQLITE_OK);
    QVERIFY(QFileInfo::exists(f.databasePath() + QStringLiteral("-wal")));
    QTemporaryDir medium;

    const QString target = BackupRestore::pathIn(medium.path());
    QCOMPARE(BackupRestore::backup(f.databasePath(), target).message, QString());

    QVERIFY(rowsOf(target).join(QLatin1Char('\n')).contains(QStringLiteral("only in the log")));

    // Such a file and its log as the source of a restore: restored whole,
    // and never changed (no log played into it, no index made beside it).
    QTemporaryDir walBackup;
    for (const QString& suffix : {QString(), QStringLiteral("-wal")})
        QVERIFY(QFile::copy(f.databasePath() + suffix, BackupRestore::pathIn(walBackup.path()) + suffix));
    const QStringList filesBefore = QDir(walBackup.path()).entryList(QDir::Files);
    const QByteArray fileBefore = fileBytes(BackupRestore::pathIn(walBackup.path()));
    const QByteArray logBefore = fileBytes(BackupRestore::pathIn(walBackup.path()) + QStringLiteral("-wal"));
    DataFixture other;
    QVERIFY(
        BackupRestore::restore(BackupRestore::pathIn(walBackup.path()), other.databasePath(), &other.db()).result.ok());
    QCOMPARE(QDir(walBackup.path()).entryList(QDir::Files), filesBefore);
    QCOMPARE(fileBytes(BackupRestore::pathIn(walBackup.path())), fileBefore);
    QCOMPARE(fileBytes(BackupRestore::pathIn(walBackup.path()) + QStringLiteral("-wal")), logBefore);
    QVERIFY(rowsOf(other.databasePath()).join(QLatin1Char('\n')).contains(QStringLiteral("only in the log")));
}

void TestBackupRestore::probeDestination_data()
{
    QTest::addColumn<QString>("folder"); // relative to a temporary folder; "@data" is the live folder
    QTest::addColumn<QString>("reasonStart"); // empty: the probe passes
    QTest::newRow("writable folder") << QStringLiteral("medium") << QString();
    QTest::newRow("missing folder") << QStringLiteral("nowhere") << QStringLiteral("The folder");
    QTest::newRow("under a file") << QStringLiteral("afile/sub") << QStringLiteral("The folder");
    QTest::newRow("the live folder") << QStringLiteral("@data") << QStringLiteral("The folder");
}

void TestBackupRestore::probeDestination()
{
    QFETCH(QString, folder);
    QFETCH(QString, reasonStart);
    DataFixture f;
    QTemporaryDir tmp;
    QDir(tmp.path()).mkdir(QStringLiteral("medium"));
    writeFile(tmp.path() + QStringLiteral("/afile"), "x");
    const QString text = folder == QLatin1String("@data") ? f.folder() : tmp.path() + QLatin1Char('/') + folder;

    const QString reason = BackupRestore::probeDestination(text, f.databasePath()).message;
    if (reasonStart.isEmpty()) {
        QCOMPARE(reason, QString());
        QCOMPARE(strayFiles(text, {}), QStringList());
    } else {
        QVERIFY2(reason.startsWith(reasonStart), qPrintable(reason));
    }
}

void TestBackupRestore::probeSource_data()
{
    QTest::addColumn<QString>("content"); // "sound", "none", "text"; "@data" probes the live folder
    QTest::addColumn<bool>("passes");
    QTest::newRow("sound back-up") << "sound" << true;
    QTest::newRow("no db.mdb") << "none" << false;
    QTest::newRow("text file") << "text" << false;
    QTest::newRow("the live folder") << "@data" << false;
}

void TestBackupRestore::probeSource()
{
    QFETCH(QString, content);
    QFETCH(bool, passes);
    DataFixture f;
    QTemporaryDir medium;
    const QString path = BackupRestore::pathIn(medium.path());
    if (content == QLatin1String("sound"))
        makeBackupFile(path, QStringLiteral("x"));
    else if (content == QLatin1String("text"))
        writeFile(path, "not a database\n");
    const QString text = content == QLatin1String("@data") ? f.folder() : medium.path();

    const QString reason = BackupRestore::probeSource(text, f.databasePath()).message;
    QCOMPARE(reason.isEmpty(), passes);
}

void TestBackupRestore::restoreBringsTheBackupBack()
{
    DataFixture f;
    QTemporaryDir medium;
    const QString backup = BackupRestore::pathIn(medium.path());
    saveDay(f.db(), Day, QStringLiteral("before the crash"));
    QCOMPARE(BackupRestore::backup(f.databasePath(), backup).message, QString());
    saveDay(f.db(), Day, QStringLiteral("typed after the back-up"));
    saveDay(f.db(), Day.addDays(7), QStringLiteral("a later day"));
    const QStringList replacedRows = rowsOf(f.databasePath());

    const BackupRestore::RestoreOutcome r = BackupRestore::restore(backup, f.databasePath(), &f.db());
    QCOMPARE(r.result.message, QString());
    QVERIFY(r.replaced);

    // The program-wide connection reads the restored file.
    QVERIFY(f.db().isOpen());
    QCOMPARE(memoOf(f.db(), Day), QStringLiteral("before the crash"));
    QCOMPARE(memoOf(f.db(), Day.addDays(7)), QStringLiteral("<none>"));
    QCOMPARE(rowsOf(f.databasePath()), rowsOf(backup));
    saveDay(f.db(), Day.addDays(1), QStringLiteral("written after the restore"));
    QCOMPARE(memoOf(f.db(), Day.addDays(1)), QStringLiteral("written after the restore"));

    // The replaced database is kept beside it, whole.
    const QString kept = f.folder() + QLatin1Char('/') + BackupRestore::KeptName;
    QCOMPARE(Database::checkFile(kept, true).message, QString());
    QCOMPARE(rowsOf(kept), replacedRows);
    QCOMPARE(strayFiles(f.folder(), {QStringLiteral("db.mdb"), BackupRestore::KeptName}), QStringList());
}

void TestBackupRestore::restoreRefusesAFileThatIsNotSound_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("empty file") << "empty";
    QTest::newRow("text file") << "text";
    QTest::newRow("truncated copy") << "truncated";
    QTest::newRow("another program's database") << "foreign";
    QTest::newRow("damaged page") << "damaged";
    QTest::newRow("newer data version") << "newer";
    QTest::newRow("missing file") << "missing";
}

void TestBackupRestore::restoreRefusesAFileThatIsNotSound()
{
    QFETCH(QString, kind);
    DataFixture f;
    saveDay(f.db(), Day, QStringLiteral("live data"));
    QTemporaryDir medium;
    const QString source = BackupRestore::pathIn(medium.path());

    if (kind == QLatin1String("empty")) {
        writeFile(source, QByteArray());
    } else if (kind == QLatin1String("text")) {
        writeFile(source, "Dear customer,\nthis is not a database.\n");
    } else if (kind == QLatin1String("foreign")) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
        db.setDatabaseName(source);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE tbl_Appt(CalDate TEXT)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO tbl_Appt VALUES('2024-01-01')")));
        q = QSqlQuery();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
    } else if (kind != QLatin1String("missing")) {
        makeBackupFile(source, QStringLiteral("from the back-up"));
        QByteArray bytes = fileBytes(source);
        if (kind == QLatin1String("truncated")) {
            bytes.truncate(bytes.size() / 2);
        } else if (kind == QLatin1String("damaged")) {
            // Scribble over the last page, where the day records live.
            for (qsizetype i = bytes.size() - 4096 + 8; i < bytes.size(); ++i)
                bytes[i] = char(0xA5);
        } else if (kind == QLatin1String("newer")) {
            bytes[63] = char(Database::SchemaVersion + 1); // user_version, big-endian at offset 60
        }
        writeFile(source, bytes);
    }
    const QByteArray live = fileBytes(f.databasePath());
    const QByteArray sourceBytes = fileBytes(source);

    const BackupRestore::RestoreOutcome r = BackupRestore::restore(source, f.databasePath(), &f.db());
    QVERIFY(!r.result.message.isEmpty());
    QVERIFY(!r.replaced);

    QCOMPARE(fileBytes(f.databasePath()), live);
    QCOMPARE(fileBytes(source), sourceBytes);
    QVERIFY(f.db().isOpen());
    QCOMPARE(memoOf(f.db(), Day), QStringLiteral("live data"));
    QCOMPARE(strayFiles(f.folder(), {QStringLiteral("db.mdb")}), QStringList());
}

void TestBackupRestore::failedReplacementKeepsTheLiveFile_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("onPathEnding");
    QTest::newRow("temporary file") << QStringLiteral("create") << QString();
    QTest::newRow("flush") << QStringLiteral("flush") << QString();
    QTest::newRow("keeping the old file") << QStringLiteral("replace") << QStringLiteral("db-before-restore.mdb");
    QTest::newRow("the final rename") << QStringLiteral("replace") << QStringLiteral("/db.mdb");
}

void TestBackupRestore::failedReplacementKeepsTheLiveFile()
{
    QFETCH(QString, failing);
    QFETCH(QString, onPathEnding);
    DataFixture f;
    QTemporaryDir medium;
    const QString backup = BackupRestore::pathIn(medium.path());
    makeBackupFile(backup, QStringLiteral("from the back-up"));
    saveDay(f.db(), Day, QStringLiteral("live data"));
    const QByteArray live = fileBytes(f.databasePath());

    FileSystem::setFailureHook([&](const QString& op, const QString& path) {
        return op == failing && path.endsWith(onPathEnding) ? Result::failed(QStringLiteral("No space left on device"))
                                                            : Result::success();
    });
    const BackupRestore::RestoreOutcome r = BackupRestore::restore(backup, f.databasePath(), &f.db());
    QCOMPARE(r.result.message, QStringLiteral("No space left on device"));
    QVERIFY(!r.replaced);

    QCOMPARE(fileBytes(f.databasePath()), live);
    QVERIFY(f.db().isOpen());
    QCOMPARE(memoOf(f.db(), Day), QStringLiteral("live data"));
    QCOMPARE(strayFiles(f.folder(), {QStringLiteral("db.mdb"), BackupRestore::KeptName}), QStringList());

    // The same restore goes through once the cause is gone.
    FileSystem::setFailureHook({});
    QCOMPARE(BackupRestore::restore(backup, f.databasePath(), &f.db()).result.message, QString());
    QCOMPARE(memoOf(f.db(), Day), QStringLiteral("from the back-up"));
}

void TestBackupRestore::restoreWaitsForNoOtherWriter()
{
    DataFixture f;
    QTemporaryDir medium;
    const QString backup = BackupRestore::pathIn(medium.path());
    makeBackupFile(backup, QStringLiteral("from the back-up"));
    saveDay(f.db(), Day, QStringLiteral("live data"));

    // Another copy holds a write transaction open for longer than the retry
    // policy waits.
    Database other(QStringLiteral("other"));
    QVERIFY(other.open(f.databasePath(), false).ok());
    QSqlQuery q(other.connection());
    QVERIFY(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
    const QByteArray live = fileBytes(f.databasePath());

    // The policy's pauses pass at once; it still gives up as it would.
    f.db().retry().pause = [](qint64) {};
    const BackupRestore::RestoreOutcome r = BackupRestore::restore(backup, f.databasePath(), &f.db());
    QVERIFY2(r.result.message.contains(QStringLiteral("in use")), qPrintable(r.result.message));
    QVERIFY(!r.replaced);
    QCOMPARE(fileBytes(f.databasePath()), live);

    // Once the other copy is done, trying again restores and reconnects.
    QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
    q = QSqlQuery();
    other.close();
    QCOMPARE(BackupRestore::restore(backup, f.databasePath(), &f.db()).result.message, QString());
    QVERIFY(f.db().isOpen());
    QCOMPARE(memoOf(f.db(), Day), QStringLiteral("from the back-up"));
}

// A copy of the program that read a day before the restore (its store open,
// no window to follow the restore) saves afterwards: the save lands in the
// restored file, never in the replaced one.
void TestBackupRestore::anotherCopyGoesOnInTheRestoredFile()
{
    DataFixture f;
    QTemporaryDir medium;
    const QString backup = BackupRestore::pathIn(medium.path());
    makeBackupFile(backup, QStringLiteral("from the back-up"));
    saveDay(f.db(), Day, QStringLiteral("live data"));

    QProcess other;
    other.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    other.start(QStringLiteral(STORE_STRESS), {QStringLiteral("same-cell"), f.databasePath(), QStringLiteral("LATE")});
    QVERIFY(other.waitForReadyRead(30'000));
    QCOMPARE(other.readLine().trimmed(), QByteArray("ready"));

    QCOMPARE(BackupRestore::restore(backup, f.databasePath(), &f.db()).result.message, QString());
    const QString kept = f.folder() + QLatin1Char('/') + BackupRestore::KeptName;
    const QByteArray keptBytes = fileBytes(kept);
    other.write("save\n");
    QVERIFY(other.waitForFinished(30'000));
    QCOMPARE(other.exitCode(), 0);

    QCOMPARE(memoOf(f.db(), Day), QStringLiteral("from the back-up"));
    std::optional<DayRecord> saved;
    QVERIFY(DayStore(f.db()).find(QDate(2024, 6, 3), saved).ok());
    QVERIFY(saved);
    QCOMPARE(TestSupport::cellOf(saved->pageText, 1, 1), QStringLiteral("LATE"));
    QCOMPARE(fileBytes(kept), keptBytes);
}

void TestBackupRestore::copiesKeepTheAccessRights()
{
    DataFixture f;
    QTemporaryDir medium;
    const QString backup = BackupRestore::pathIn(medium.path());
    const auto shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup
        | QFile::WriteGroup | QFile::ReadOther;
    QVERIFY(QFile::setPermissions(f.databasePath(), shared));

    QCOMPARE(BackupRestore::backup(f.databasePath(), backup).message, QString());
    QCOMPARE(QFileInfo(backup).permissions(), shared);
    QCOMPARE(BackupRestore::restore(backup, f.databasePath(), &f.db()).result.message, QString());
    QCOMPARE(QFileInfo(f.databasePath()).permissions(), shared);
}

void TestBackupRestore::replacingIsCheckedDurableAndInOneStep_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("back-up") << "backup";
    QTest::newRow("restore") << "restore";
    QTest::newRow("server back-up") << "server";
}

// The file replaced (an earlier back-up, the live file) stays whole unless a
// checked copy takes its place in one rename, which is then made durable.
void TestBackupRestore::replacingIsCheckedDurableAndInOneStep()
{
    QFETCH(QString, kind);
    DataFixture f;
    QTemporaryDir medium;
    const QString backup = BackupRestore::pathIn(medium.path());
    QString target = backup;
    Database server(QStringLiteral("server"));
    QString address;
    const auto dropServer = qScopeGuard([&] {
        server.close();
        if (!address.isEmpty())
            TestSupport::dropServerDatabase(address);
    });
    std::function<Result()> replace = [&] { return BackupRestore::backup(f.databasePath(), backup); };
    if (kind == QLatin1String("restore")) {
        makeBackupFile(backup, QStringLiteral("from the back-up"));
        target = f.databasePath();
        replace = [&] { return BackupRestore::restore(backup, f.databasePath(), &f.db()).result; };
    } else if (kind == QLatin1String("server")) {
        if (qEnvironmentVariableIsEmpty("LEDGERLY_TEST_PG"))
            QSKIP("LEDGERLY_TEST_PG names no test server");
        address = TestSupport::newServerDatabase();
        QVERIFY(server.open(address).ok());
        replace = [&] { return BackupRestore::backupServer(server, backup); };
    }
    const QString folder = QFileInfo(target).absolutePath();
    QStringList done;
    FileSystem::setFailureHook([&](const QString& op, const QString& path) {
        done.append(op + QLatin1Char(' ') + path);
        return Result::success();
    });
    QCOMPARE(replace().message, QString());
    // The rename is made durable: its folder is flushed after it.
    QCOMPARE(done.mid(done.lastIndexOf(QStringLiteral("replace ") + target)),
        QStringList({QStringLiteral("replace ") + target, QStringLiteral("flushFolder ") + folder}));
    const QByteArray earlier = fileBytes(target);

    // The copy is cut short on its way to the medium.
    FileSystem::setFailureHook([&](const QString& op, const QString& path) {
        if (op == QLatin1String("flush"))
            QFile::resize(path, QFileInfo(path).size() / 2);
        return Result::success();
    });
    QVERIFY(replace().message.contains(QStringLiteral("is not sound")));
    QCOMPARE(fileBytes(target), earlier);

    // The rename fails: the copy is gone by then.
    FileSystem::setFailureHook([&](const QString& op, const QString& path) {
        if (op == QLatin1String("replace") && path == target) {
            for (const QString& name :
                QDir(folder).entryList({QStringLiteral(".ledgerly-*")}, QDir::Files | QDir::Hidden))
                QFile::remove(folder + QLatin1Char('/') + name);
        }
        return Result::success();
    });
    QVERIFY(!replace().ok());
    QCOMPARE(fileBytes(target), earlier);
}

void TestBackupRestore::presetFolderPrefersAMountedMedium()
{
    QTemporaryDir roots;
    const QString none = roots.path() + QStringLiteral("/none");
    const QString media = roots.path() + QStringLiteral("/media");
    QVERIFY(QDir().mkpath(media + QStringLiteral("/STICK")));
    QVERIFY(QDir().mkpath(media + QStringLiteral("/TRAVEL")));

    QCOMPARE(BackupRestore::presetFolder({none}), QDir::homePath());
    QCOMPARE(BackupRestore::presetFolder({none, media}), media + QStringLiteral("/STICK"));
}

QTEST_GUILESS_MAIN(TestBackupRestore)
#include "tst_backuprestore.moc"
