#include "TestSupport.h"

#include "maintenance/AutomaticBackupRecord.h"
#include "maintenance/AutomaticBackupRunner.h"
#include "maintenance/AutomaticBackups.h"
#include "maintenance/BackupRestore.h"
#include "maintenance/BackupWindow.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "store/Database.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {
// Every day from first to last, or only Monday to Friday.
QList<QDate> daysFrom(const QDate& first, const QDate& last, bool weekdaysOnly = false)
{
    QList<QDate> days;
    for (QDate d = first; d <= last; d = d.addDays(1)) {
        if (!weekdaysOnly || d.dayOfWeek() <= 5)
            days.append(d);
    }
    return days;
}

QList<QDate> newestFirst(QList<QDate> days)
{
    std::sort(days.begin(), days.end(), std::greater<>());
    return days;
}

// A placeholder where the rule only looks at the names.
void placeBackup(const QString& folder, const QDate& day)
{
    const QString dayFolder = AutomaticBackups::folderOf(folder, day);
    QVERIFY(QDir().mkpath(dayFolder));
    TestSupport::writeFile(BackupRestore::pathIn(dayFolder), "placeholder");
}
} // namespace

class TestAutomaticBackups : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        FileSystem::setFailureHook({});
        Clock::setFixedToday(TestSupport::Today);
    }

    void keepsFourteenDaysAndTheFirstOfTwelveMonths_data()
    {
        QTest::addColumn<QList<QDate>>("made");
        QTest::addColumn<QList<QDate>>("kept");
        QTest::newRow("daily for 15 months") << daysFrom({2023, 12, 1}, {2025, 2, 20})
                                             << daysFrom({2025, 2, 7}, {2025, 2, 20})
                + QList<QDate> {{2024, 3, 1}, {2024, 4, 1}, {2024, 5, 1}, {2024, 6, 1}, {2024, 7, 1}, {2024, 8, 1},
                    {2024, 9, 1}, {2024, 10, 1}, {2024, 11, 1}, {2024, 12, 1}, {2025, 1, 1}, {2025, 2, 1}};
        // No back-up at the weekend: the month's first is its first working day.
        QTest::newRow("weekdays only") << daysFrom({2024, 1, 1}, {2024, 6, 14}, true)
                                       << daysFrom({2024, 5, 28}, {2024, 6, 14}, true)
                + QList<QDate> {{2024, 1, 1}, {2024, 2, 1}, {2024, 3, 1}, {2024, 4, 1}, {2024, 5, 1}};
        // Three weeks away: the last fourteen reach back before the gap.
        QTest::newRow("a gap") << daysFrom({2024, 1, 1}, {2024, 1, 20}) + QList<QDate> {{2024, 3, 5}}
                               << daysFrom({2024, 1, 8}, {2024, 1, 20}) + QList<QDate> {{2024, 1, 1}, {2024, 3, 5}};
    }

    // One back-up a day over months, each followed by the removal as the
    // program does it: what is left in the folder at the end.
    void keepsFourteenDaysAndTheFirstOfTwelveMonths()
    {
        QFETCH(QList<QDate>, made);
        QFETCH(QList<QDate>, kept);
        QTemporaryDir folder;
        for (const QDate& day : made) {
            placeBackup(folder.path(), day);
            AutomaticBackups::removeOutdated(folder.path(), day);
        }
        QCOMPARE(AutomaticBackups::listed(folder.path()), newestFirst(kept));
    }

    // A back-up that fails its check leaves every earlier one in place, the
    // outdated too, and is reported once at the next start; the next day's
    // goes through and only then are the outdated removed.
    void failedBackupRemovesNothingAndIsReportedOnce()
    {
        TestSupport::DataFixture data;
        TestSupport::bookCell(data.db(), TestSupport::Today, Settings::defaults(), 2, 1, QStringLiteral("SMITH"));
        const QString folder = AutomaticBackups::defaultFolder();
        const QDate outdated = TestSupport::Today.addYears(-2);
        const QList<QDate> recent = daysFrom(TestSupport::Today.addDays(-14), TestSupport::Today.addDays(-1));
        for (const QDate& day : recent + QList<QDate> {outdated})
            placeBackup(folder, day);
        // The copy is cut short on its way to the medium.
        FileSystem::setFailureHook([](const QString& op, const QString& path) {
            if (op == QLatin1String("flush"))
                QFile::resize(path, QFileInfo(path).size() / 2);
            return Result::success();
        });
        {
            AutomaticBackupRunner runner(data.databasePath());
            runner.finish({});
        }
        QCOMPARE(AutomaticBackups::listed(folder), newestFirst(recent + QList<QDate> {outdated}));
        Dialogs::resetRecord();
        BackupWindow::reportFailedAutomaticBackup(nullptr);
        BackupWindow::reportFailedAutomaticBackup(nullptr);
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY2(Dialogs::shown().first().text.contains(QStringLiteral("is not sound")),
            qPrintable(Dialogs::shown().first().text));

        FileSystem::setFailureHook({});
        Clock::setFixedToday(TestSupport::Today.addDays(1));
        AutomaticBackupRunner runner(data.databasePath());
        runner.finish({});
        QCOMPARE(AutomaticBackups::listed(folder), newestFirst(recent + QList<QDate> {TestSupport::Today.addDays(1)}));
        const QString made = BackupRestore::pathIn(AutomaticBackups::folderOf(folder, TestSupport::Today.addDays(1)));
        QCOMPARE(AutomaticBackupRecord().lastMadePath(), made);
        Database copy(QStringLiteral("copy"));
        QVERIFY(copy.open(made, false).ok());
        QCOMPARE(TestSupport::storedCell(copy, 2, 1), QStringLiteral("SMITH"));
        BackupWindow::reportFailedAutomaticBackup(nullptr);
        QCOMPARE(Dialogs::shown().size(), 1);
    }

    // Another copy of the program saves all along: the back-up runs beside
    // the event loop, which goes on meanwhile, and is a committed state that
    // passes the whole check.
    void backupWhileAnotherProcessSaves()
    {
        TestSupport::DataFixture data;
        QProcess writer;
        writer.start(QStringLiteral(DAY_WRITER), {data.databasePath()});
        QVERIFY(writer.waitForReadyRead(30'000) && writer.readLine().trimmed() == "ready");
        const auto stop = qScopeGuard([&] {
            TestSupport::writeFile(data.databasePath() + QStringLiteral(".stop"), QByteArray());
            writer.waitForFinished(60'000);
        });
        for (int day = 0; day < 2; ++day) {
            Clock::setFixedToday(TestSupport::Today.addDays(day));
            AutomaticBackupRunner runner(data.databasePath());
            runner.start();
            QVERIFY(runner.isRunning());
            int turns = 0;
            while (runner.isRunning() && turns < 30'000) {
                QTest::qWait(1);
                ++turns;
            }
            QVERIFY(!runner.isRunning() && turns > 0);
            const QString made = BackupRestore::pathIn(
                AutomaticBackups::folderOf(AutomaticBackups::defaultFolder(), TestSupport::Today.addDays(day)));
            QCOMPARE(Database::checkFile(made, true).message, QString());
            Database copy(QStringLiteral("copy"));
            QVERIFY(copy.open(made, false).ok());
            for (int d = 0; d < 40; ++d) {
                const std::optional<DayRecord> rec = TestSupport::storedDay(copy, QDate(2024, 1, 1).addDays(d));
                if (rec && !rec->memo.isEmpty())
                    QCOMPARE(rec->pageText, rec->memo.repeated(6000 / rec->memo.size()));
            }
        }
    }

    // Two desks on one server start on the same day at once: one of them
    // makes the back-up, into its own folder; a later start makes none.
    void twoDesksMakeOneServerBackup()
    {
        if (qEnvironmentVariableIsEmpty("LEDGERLY_TEST_PG"))
            QSKIP("LEDGERLY_TEST_PG names no test server");
        const QString address = TestSupport::newServerDatabase();
        const auto drop = qScopeGuard([&] { TestSupport::dropServerDatabase(address); });
        {
            Database server(QStringLiteral("maker"));
            QVERIFY(server.open(address).ok());
            TestSupport::bookCell(server, TestSupport::Today, Settings::defaults(), 2, 1, QStringLiteral("SMITH"));
        }
        QTemporaryDir folders[2];
        AutomaticBackups::Outcome outcomes[2];
        QList<QThread*> desks;
        for (int i = 0; i < 2; ++i) {
            desks.append(QThread::create([&, i] {
                outcomes[i] = AutomaticBackups::make(
                    address, folders[i].path(), TestSupport::Today, QStringLiteral("desk%1").arg(i));
            }));
        }
        for (QThread* desk : desks)
            desk->start();
        for (QThread* desk : desks) {
            QVERIFY(desk->wait(60'000));
            delete desk;
        }
        QVERIFY(outcomes[0].result.ok() && outcomes[1].result.ok());
        QCOMPARE(int(outcomes[0].made) + int(outcomes[1].made), 1);
        const int maker = outcomes[0].made ? 0 : 1;
        QCOMPARE(AutomaticBackups::listed(folders[1 - maker].path()), QList<QDate>());
        QCOMPARE(Database::checkFile(outcomes[maker].path, true).message, QString());
        const AutomaticBackups::Outcome later
            = AutomaticBackups::make(address, folders[1 - maker].path(), TestSupport::Today, QStringLiteral("desk3"));
        QVERIFY(later.result.ok() && !later.made);
    }
};

QTEST_MAIN(TestAutomaticBackups)
#include "tst_automaticbackups.moc"
