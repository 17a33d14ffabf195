#include "TestSupport.h"

#include "maintenance/BackupRestore.h"
#include "store/Database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {
const QString Program = QStringLiteral(LEDGERLY_EXE);

// A db.mdb in folder with a day long enough that a copy takes a while, so
// that a kill lands in the middle of it.
QString makeDatabase(const QString& folder, const QString& text)
{
    Database db(QStringLiteral("maker"));
    if (!db.open(BackupRestore::pathIn(folder)).ok())
        qFatal("cannot make a database in %s", qPrintable(folder));
    TestSupport::bookCell(db, TestSupport::Today, Settings::defaults(), 2, 1, text.repeated(1 << 21));
    return BackupRestore::pathIn(folder);
}

// The start of today's booking in the file at path, if it opens.
QString bookedIn(const QString& path)
{
    Database db(QStringLiteral("reader"));
    const std::optional<DayRecord> day = db.open(path, false).ok() ? TestSupport::storedDay(db) : std::nullopt;
    return day ? TestSupport::cellOf(day->pageText, 2, 1).left(5) : QStringLiteral("<unreadable>");
}
} // namespace

class TestMaintenanceCommands : public QObject
{
    Q_OBJECT

private slots:
    void killedHalfWayLosesNothing_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::newRow("back-up") << false;
        QTest::newRow("restore") << true;
    }

    // A back-up or restore killed at any moment leaves its source as it was
    // and the file it replaces old or new, whole; the next run removes what
    // the killed ones left, succeeds and says so.
    void killedHalfWayLosesNothing()
    {
        QFETCH(bool, restore);
        QTemporaryDir data;
        QTemporaryDir medium;
        const QString live = makeDatabase(data.path(), QStringLiteral("LIVE "));
        const QString backup = makeDatabase(medium.path(), QStringLiteral("KEPT "));
        const QString source = restore ? backup : live;
        const QString replaced = restore ? live : backup;
        const QByteArray sourceBefore = TestSupport::fileBytes(source);
        QStringList command {QStringLiteral("backup"), medium.path(), QStringLiteral("--data-dir"), data.path()};
        // Kills spread over a whole run (timed on a back-up elsewhere), checks
        // and copy alike.
        QTemporaryDir scratch;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(TestSupport::runProgram(Program, {command[0], scratch.path(), command[2], command[3]}).exitCode, 0);
        const qint64 runMillis = clock.elapsed();
        if (restore)
            command[0] = QStringLiteral("restore");
        for (int i = 0; i < 8; ++i) {
            QProcess killed;
            killed.start(Program, command);
            QVERIFY(killed.waitForStarted());
            QThread::msleep(i * runMillis / 8);
            killed.kill();
            killed.waitForFinished();
            QCOMPARE(TestSupport::fileBytes(source), sourceBefore);
            QVERIFY(QStringList({QStringLiteral("LIVE "), QStringLiteral("KEPT ")}).contains(bookedIn(replaced)));
        }
        const TestSupport::Run finished = TestSupport::runProgram(Program, command);
        QCOMPARE(finished.exitCode, 0);
        QCOMPARE(finished.out.trimmed(),
            (restore ? QStringLiteral("Restored from ") : QStringLiteral("Backed up into ")) + backup);
        for (const QString& folder : {data.path(), medium.path()})
            QCOMPARE(
                QDir(folder).entryList({QStringLiteral(".ledgerly-*")}, QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(bookedIn(replaced), restore ? QStringLiteral("KEPT ") : QStringLiteral("LIVE "));
    }

    void theDataFolderIsPerUserUnlessTheProgramsFolderHoldsOne_data()
    {
        QTest::addColumn<bool>("portable");
        QTest::newRow("installed or built") << false;
        QTest::newRow("portable") << true;
    }

    // A program started from a folder it can write to (a build folder) keeps
    // its data in the per-user data folder, where cleaning the build cannot
    // delete it; only a db.mdb already beside the program is used there.
    void theDataFolderIsPerUserUnlessTheProgramsFolderHoldsOne()
    {
        QFETCH(bool, portable);
        QTemporaryDir home;
        const QString programFolder = home.filePath(QStringLiteral("bin"));
        const QString perUser = home.filePath(QStringLiteral("data/Ledgerly/Ledgerly"));
        const QString copy = programFolder + QStringLiteral("/ledgerly");
        const QString out = home.filePath(QStringLiteral("out"));
        for (const QString& folder : {programFolder, perUser, out})
            QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(Program, copy));
        makeDatabase(portable ? programFolder : perUser, QStringLiteral("MINE "));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        const TestSupport::Run run = TestSupport::runProgram(copy, {QStringLiteral("backup"), out}, environment);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(bookedIn(BackupRestore::pathIn(out)), QStringLiteral("MINE "));
        QCOMPARE(QFile::exists(BackupRestore::pathIn(portable ? perUser : programFolder)), false);
    }

    // A mistyped command is refused; it does not open the windows (where no
    // one may be looking) as if none had been given.
    void anUnknownCommandIsRefused()
    {
        QTemporaryDir data;
        const TestSupport::Run run = TestSupport::runProgram(Program,
            {QStringLiteral("--data-dir"), data.path(), QStringLiteral("histroy"), QStringLiteral("2024-05-14")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QStringLiteral("histroy")));
    }
};

QTEST_GUILESS_MAIN(TestMaintenanceCommands)
#include "tst_maintenancecommands.moc"
