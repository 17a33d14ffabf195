#include "TestSupport.h"

#include "maintenance/BackupRestore.h"
#include "store/Database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <unistd.h>

using TestSupport::fileBytes;

namespace {
const QString Program = QStringLiteral(LEDGERLY_EXE);

// What killed or finished runs left behind in a folder.
QStringList temporariesIn(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".ledgerly-*")}, QDir::Files | QDir::Hidden | QDir::System);
}

// Days enough that a copy takes a while, so kills land in the middle of it.
void fillWithDays(Database& db, int days, const QString& text)
{
    QSqlQuery q(db.connection());
    QVERIFY(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
    QVERIFY(q.prepare(QStringLiteral("INSERT INTO tbl_Appt (CalDate, Clinic, Data, Memo, location, open, Close, "
                                     "timeslot, Listno, Names, Version) VALUES (?, 0, ?, '', 'Clinic', '08:00 AM', "
                                     "'05:00 PM', 30, 4, ' A - B - C - D', 1)")));
    for (int i = 0; i < days; ++i) {
        q.addBindValue(QDate(2000, 1, 1).addDays(i).toString(Qt::ISODate));
        q.addBindValue(text.repeated(4000 / text.size()));
        QVERIFY(q.exec());
    }
    QVERIFY(q.exec(QStringLiteral("COMMIT")));
}

// The day 2000-01-01's text as the file at path holds it.
QString firstDayIn(const QString& path)
{
    Database db(QStringLiteral("reader"));
    if (!db.open(path, false).ok())
        return QStringLiteral("cannot open");
    const std::optional<DayRecord> day = TestSupport::storedDay(db, QDate(2000, 1, 1));
    return day ? day->pageText.left(8) : QStringLiteral("no day");
}

TestSupport::Run ledgerly(const QStringList& arguments, const QStringList& wrapper = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    if (wrapper.isEmpty())
        return TestSupport::runProgram(Program, arguments, env);
    return TestSupport::runProgram(wrapper.first(), wrapper.mid(1) + QStringList {Program} + arguments, env);
}
} // namespace

class TestMaintenanceCommands : public QObject
{
    Q_OBJECT

private slots:
    // A back-up or restore killed at any moment leaves the previous back-up
    // and the live file whole; the next run removes what the killed ones
    // left and succeeds.
    void killedHalfWayLosesNothing_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::newRow("back-up") << false;
        QTest::newRow("restore") << true;
    }

    void killedHalfWayLosesNothing()
    {
        QFETCH(bool, restore);
        TestSupport::DataFixture data;
        fillWithDays(data.db(), 3000, QStringLiteral("LIVE "));
        QTemporaryDir medium;
        const QString backup = BackupRestore::pathIn(medium.path());
        {
            TestSupport::DataFixture other;
            fillWithDays(other.db(), 3000, QStringLiteral("KEPT "));
            QCOMPARE(BackupRestore::backup(other.databasePath(), backup).message, QString());
        }
        const QString live = data.databasePath();
        const QByteArray backupBefore = fileBytes(backup);
        const QByteArray liveBefore = fileBytes(live);
        const QStringList command {restore ? QStringLiteral("restore") : QStringLiteral("backup"), medium.path(),
            QStringLiteral("--data-dir"), data.folder()};

        // Kills spread over a whole run, checks and copy alike.
        QElapsedTimer clock;
        clock.start();
        {
            TestSupport::DataFixture scratch;
            fillWithDays(scratch.db(), 3000, QStringLiteral("LIVE "));
            QTemporaryDir scratchMedium;
            QVERIFY(BackupRestore::backup(live, BackupRestore::pathIn(scratchMedium.path())).ok());
            const TestSupport::Run timed
                = ledgerly({command[0], scratchMedium.path(), QStringLiteral("--data-dir"), scratch.folder()});
            QCOMPARE(timed.exitCode, 0);
        }
        const int runMillis = int(clock.elapsed());
        QRandomGenerator random(restore ? 7 : 11);
        int leftBehind = 0;
        for (int i = 0; i < 8; ++i) {
            QProcess run;
            run.start(Program, command);
            QVERIFY(run.waitForStarted());
            QThread::msleep(random.bounded(runMillis));
            run.kill();
            run.waitForFinished();
            leftBehind += int(temporariesIn(restore ? data.folder() : medium.path()).size());
            if (restore) {
                QCOMPARE(fileBytes(backup), backupBefore); // a restore never changes its source
                QVERIFY(
                    QStringList({QStringLiteral("LIVE LIV"), QStringLiteral("KEPT KEP")}).contains(firstDayIn(live)));
            } else {
                QCOMPARE(fileBytes(live), liveBefore);
                QCOMPARE(Database::checkFile(backup, true).message, QString());
                QVERIFY(
                    QStringList({QStringLiteral("LIVE LIV"), QStringLiteral("KEPT KEP")}).contains(firstDayIn(backup)));
            }
        }
        qInfo("a whole run: %d ms; temporary files left by 8 kills: %d", runMillis, leftBehind);

        const TestSupport::Run finished = ledgerly(command);
        QVERIFY2(finished.exitCode == 0, qPrintable(finished.err));
        QCOMPARE(temporariesIn(medium.path()), QStringList());
        QCOMPARE(temporariesIn(data.folder()), QStringList());
        QCOMPARE(
            firstDayIn(restore ? live : backup), restore ? QStringLiteral("KEPT KEP") : QStringLiteral("LIVE LIV"));
    }

    // A failed back-up says why in words the person at the desk can act on.
    void failuresNameTheirCause_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("message");
        QTest::newRow("disk full") << "full"
                                   << "the disk is full";
        QTest::newRow("PDF on a full disk") << "full pdf"
                                            << "the disk is full";
        QTest::newRow("folder that cannot be written") << "unwritable"
                                                       << "cannot be written";
        QTest::newRow("folder that cannot be entered") << "closed"
                                                       << "cannot be entered";
    }

    void failuresNameTheirCause()
    {
        QFETCH(QString, cause);
        QFETCH(QString, message);
        const bool root = ::geteuid() == 0;
        if (cause.startsWith(QLatin1String("full")) && !root)
            QSKIP("a full disk is made with a mount of its own, which needs root");
        TestSupport::DataFixture data;
        fillWithDays(data.db(), 50, QStringLiteral("LIVE "));
        QTemporaryDir outer;
        const QString folder = outer.path() + QStringLiteral("/medium");
        QVERIFY(QDir().mkpath(folder));
        // Root passes every access check: the program runs as nobody, with a
        // data folder nobody may use.
        QStringList wrapper;
        if (!cause.startsWith(QLatin1String("full")) && root) {
            wrapper = {QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                QStringLiteral("--clear-groups")};
            QVERIFY(QFile::setPermissions(data.folder(), QFileDevice::Permissions(0x7777)));
            QVERIFY(QFile::setPermissions(data.databasePath(), QFileDevice::Permissions(0x6666)));
        }
        QStringList arguments {QStringLiteral("backup"), folder, QStringLiteral("--data-dir"), data.folder()};
        if (cause == QLatin1String("full pdf"))
            arguments = {QStringLiteral("print-day"), QStringLiteral("--pdf"), folder + QStringLiteral("/day.pdf"),
                QStringLiteral("--data-dir"), data.folder()};
        if (cause.startsWith(QLatin1String("full"))) {
            // A disk of 4 KiB in a mount namespace of the program's own.
            wrapper = {QStringLiteral("unshare"), QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
                QStringLiteral("mount -t tmpfs -o size=4k tmpfs \"$1\" && shift && exec \"$@\""), QStringLiteral("sh"),
                folder};
        } else if (cause == QLatin1String("unwritable")) {
            QVERIFY(QFile::setPermissions(outer.path(), QFileDevice::Permissions(0x7755)));
            QVERIFY(QFile::setPermissions(folder, QFileDevice::Permissions(0x5555)));
        } else {
            QVERIFY(QFile::setPermissions(outer.path(), QFileDevice::Permissions(0x7700)));
        }

        const TestSupport::Run run = ledgerly(arguments, wrapper);
        QFile::setPermissions(outer.path(), QFileDevice::Permissions(0x7700));
        QFile::setPermissions(folder, QFileDevice::Permissions(0x7700));
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY2(!run.err.contains(QLatin1String("Unknown error")), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestMaintenanceCommands)
#include "tst_maintenancecommands.moc"
