#include "TestSupport.h"

#include "maintenance/BackupRestore.h"
#include "platform/FileSystem.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/DayStore.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::fileBytes;

namespace {
const QDate Day(2024, 3, 4);

// A booking on Day, and the one a database or a file holds there.
void book(Database& db, const QString& text)
{
    TestSupport::bookCell(db, Day, Settings::defaults(), 2, 1, text);
}
QString bookedOn(Database& db)
{
    return TestSupport::storedCell(db, 2, 1, Day);
}
QString bookedIn(const QString& path)
{
    Database file(QStringLiteral("reader"));
    return file.open(path, false).ok() ? bookedOn(file) : QStringLiteral("<not opened>");
}

// Every record of the three tables, one line each in id order, without
// Version (a restore raises it on purpose).
QStringList recordsOf(Database& db)
{
    QStringList lines;
    for (const QString& table : {QStringLiteral("tbl_Appt"), QStringLiteral("tbl_Setup"), QStringLiteral("tbl_Order"),
             QStringLiteral("tbl_History")}) {
        QSqlQuery q(db.connection());
        if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY id").arg(table)))
            lines.append(table + QStringLiteral(" cannot be read"));
        while (q.next()) {
            QSqlRecord r = q.record();
            r.remove(r.indexOf(QStringLiteral("version")));
            QStringList fields;
            for (int i = 0; i < r.count(); ++i)
                fields.append(r.fieldName(i).toLower() + QLatin1Char('=') + r.value(i).toString());
            fields.sort();
            lines.append(table + QLatin1Char(':') + fields.join(QLatin1Char('|')));
        }
    }
    return lines;
}

QStringList filesIn(const QString& folder, const QString& pattern = QStringLiteral("*"))
{
    return QDir(folder).entryList({pattern}, QDir::Files | QDir::Hidden);
}
} // namespace

// The rules of back-up and restore, on a data folder of their own each.
class TestBackupRestore : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSupport::DataFixture> m_data;
    std::unique_ptr<QTemporaryDir> m_medium;
    QString m_backup; // db.mdb on the medium

    Database& db() { return m_data->db(); }
    QString live() const { return m_data->databasePath(); }
    // A sound back-up of our own, with text booked.
    void makeBackup(const QString& text)
    {
        Database file(QStringLiteral("maker"));
        QVERIFY(file.open(m_backup).ok());
        book(file, text);
    }

private slots:
    void init()
    {
        m_data = std::make_unique<TestSupport::DataFixture>();
        m_medium = std::make_unique<QTemporaryDir>();
        m_backup = BackupRestore::pathIn(m_medium->path());
    }

    void cleanup()
    {
        FileSystem::setFailureHook({});
        m_data.reset();
    }

    void replacingIsCheckedDurableAndInOneStep_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("back-up") << "backup";
        QTest::newRow("restore") << "restore";
        QTest::newRow("server back-up") << "server";
    }

    // The file replaced (an earlier back-up, the live file) stays whole unless
    // a checked copy takes its place in one rename, which is then made durable;
    // whatever step fails, no temporary file is left behind. A restore keeps
    // the replaced file, and the program-wide connection follows it. On a
    // server the back-up is a db.mdb all the same, record for record, and such
    // a file is what a restore puts back into the server.
    void replacingIsCheckedDurableAndInOneStep()
    {
        QFETCH(QString, kind);
        const bool restore = kind == QLatin1String("restore");
        const QString target = restore ? live() : m_backup;
        Database server(QStringLiteral("server"));
        QString address;
        const auto dropServer = qScopeGuard([&] {
            server.close();
            if (!address.isEmpty())
                TestSupport::dropServerDatabase(address);
        });
        Database* source = &db();
        std::function<Result()> replace = [&] { return BackupRestore::backup(live(), m_backup); };
        if (restore) {
            makeBackup(QStringLiteral("from the back-up"));
            replace = [&] { return BackupRestore::restore(m_backup, live(), &db()).result; };
        } else if (kind == QLatin1String("server")) {
            if (qEnvironmentVariableIsEmpty("LEDGERLY_TEST_PG"))
                QSKIP("LEDGERLY_TEST_PG names no test server");
            address = TestSupport::newServerDatabase();
            QVERIFY(server.open(address).ok());
            source = &server;
            replace = [&] { return BackupRestore::backupServer(server, m_backup); };
            Settings layout = Settings::defaults();
            layout.slotMinutes = 15;
            layout.names = QStringLiteral("DR A;DR B");
            TestSupport::bookCell(server, Day.addDays(3), layout, 3, 2, QStringLiteral("next week"));
            QVERIFY(QSqlQuery(server.connection()).exec(QStringLiteral("UPDATE tbl_Order SET Name = 'Green Street'")));
        }
        // A data folder the practice shares: the copies keep its access rights.
        const QFileDevice::Permissions shared(0x6664);
        QVERIFY(QFile::setPermissions(live(), shared));
        book(*source, QStringLiteral("live data"));
        const QString folder = QFileInfo(target).absolutePath();
        QStringList done;
        FileSystem::setFailureHook([&](const QString& op, const QString& path) {
            done.append(op + QLatin1Char(' ') + path);
            return Result::success();
        });
        QCOMPARE(replace().message, QString());
        QCOMPARE(bookedIn(target), restore ? QStringLiteral("from the back-up") : QStringLiteral("live data"));
        QVERIFY(source == &server || QFileInfo(target).permissions() == shared);
        // The rename is made durable: its folder is flushed after it.
        QCOMPARE(done.mid(done.lastIndexOf(QStringLiteral("replace ") + target)),
            QStringList({QStringLiteral("replace ") + target, QStringLiteral("flushFolder ") + folder}));
        const QStringList records = recordsOf(*source);
        book(*source, QStringLiteral("changed since"));
        if (restore) {
            QCOMPARE(bookedIn(target), QStringLiteral("changed since"));
            QCOMPARE(bookedIn(folder + QLatin1Char('/') + BackupRestore::KeptName), QStringLiteral("live data"));
            QCOMPARE(filesIn(folder), QStringList({BackupRestore::KeptName, BackupRestore::FileName}));
        }
        const QByteArray earlier = fileBytes(target);

        // Each step that writes fails in turn.
        for (qsizetype step = 0; step < done.size(); ++step) {
            if (!QStringList({"create", "flush", "replace"}).contains(done[step].section(QLatin1Char(' '), 0, 0)))
                continue;
            qsizetype calls = 0;
            FileSystem::setFailureHook([&](const QString&, const QString&) {
                return calls++ == step ? Result::failed(QStringLiteral("No space left on device")) : Result::success();
            });
            QVERIFY2(replace().message == QLatin1String("No space left on device"), qPrintable(done[step]));
            QCOMPARE(fileBytes(target), earlier);
            QCOMPARE(filesIn(folder, QStringLiteral(".ledgerly-*")), QStringList());
            QCOMPARE(bookedOn(*source), QStringLiteral("changed since"));
        }

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
                for (const QString& name : filesIn(folder, QStringLiteral(".ledgerly-*")))
                    QFile::remove(folder + QLatin1Char('/') + name);
            }
            return Result::success();
        });
        QVERIFY(!replace().ok());
        QCOMPARE(fileBytes(target), earlier);
        FileSystem::setFailureHook({});
        if (restore) {
            // A back-up that is not a sound database is refused as it is.
            TestSupport::writeFile(m_backup, "Dear customer,\nthis is not a database.\n");
            QVERIFY(!replace().ok());
            QCOMPARE(fileBytes(target), earlier);
            QCOMPARE(fileBytes(m_backup), QByteArray("Dear customer,\nthis is not a database.\n"));
        }
        if (source != &server)
            return;

        {
            Database file(QStringLiteral("file"));
            QVERIFY(file.open(m_backup, false).ok());
            QCOMPARE(recordsOf(file), records);
        }
        QCOMPARE(BackupRestore::restoreServer(m_backup, server, m_data->folder()).message, QString());
        // The back-up's history comes back, what the restore replaced after it.
        const QStringList restored = recordsOf(server);
        QCOMPARE(restored.mid(0, records.size()), records);
        QVERIFY(restored.size() > records.size() && restored.last().contains("reason=restored from back-up"));
        QCOMPARE(
            bookedIn(m_data->folder() + QLatin1Char('/') + BackupRestore::KeptName), QStringLiteral("changed since"));
        // New days get ids after the restored ones.
        TestSupport::bookCell(server, Day.addDays(1), Settings::defaults(), 2, 1, QStringLiteral("after"));
    }

    // A back-up's search index is not taken on trust: a page changed outside
    // the program, its index left as it was, is found by what it holds now.
    void restoreRebuildsTheSearchIndex()
    {
        makeBackup(QStringLiteral("SMITH"));
        TestSupport::sqlOnFile(m_backup, QStringLiteral("UPDATE tbl_Appt SET Data = replace(Data, 'SMITH', 'JONES')"));
        QCOMPARE(BackupRestore::restore(m_backup, live(), &db()).result.message, QString());
        for (const char* text : {"jones", "smith"}) {
            QList<DaySearchIndex::DayKey> days;
            bool narrowed = false;
            QVERIFY(DayStore(db()).daysHolding(QString::fromLatin1(text), days, narrowed).ok() && narrowed);
            QCOMPARE(days.size(), qstrcmp(text, "jones") == 0 ? 1 : 0);
        }
    }

    // After the back-up's own history, the restored file tells what the
    // restore replaced, slot by slot.
    void restoreIsRecorded()
    {
        makeBackup(QStringLiteral("NOVAK"));
        book(db(), QStringLiteral("SMITH"));
        QCOMPARE(BackupRestore::restore(m_backup, live(), &db()).result.message, QString());
        QList<ChangeEntry> history;
        QVERIFY(ChangeHistory::readDay(db(), Day, history).ok());
        QStringList kept;
        for (const ChangeEntry& e : std::as_const(history))
            kept.append(e.before + '>' + e.after + ' ' + e.reason);
        QCOMPARE(kept, QStringList({"SMITH>NOVAK restored from back-up", ">NOVAK "}));
    }

    void folderFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("folder"); // empty when refused
        for (const auto& [text, folder] : std::initializer_list<std::pair<const char*, const char*>> {{"", ""},
                 {"~", "<home>"}, {" ~/backups/ ", "<home>/backups"}, {"/media/stick", "/media/stick"}, {"rel/x", ""},
                 {"~user", ""}, {"<medium>/picked ", "<medium>/picked "}})
            QTest::newRow(text) << text << folder;
    }

    // A box has no working folder to start a relative path from; blanks
    // around a path are dropped unless they belong to a folder's name.
    void folderFromText()
    {
        QFETCH(QString, text);
        QFETCH(QString, folder);
        QString named;
        // A folder chosen in the folder dialog is taken as it is, blanks and all.
        QVERIFY(QDir().mkpath(m_medium->filePath(QStringLiteral("picked "))));
        const auto expand = [this](QString t) {
            return t.replace(QStringLiteral("<home>"), QDir::homePath())
                .replace(QStringLiteral("<medium>"), m_medium->path());
        };
        const Result r = BackupRestore::folderFromText(expand(text), named);
        QCOMPARE(r.ok() ? named : QString(), expand(folder));
        QCOMPARE(r.message.isEmpty(), r.ok());
    }

    // Neither a back-up into the program's own folder nor a restore from it
    // or from a folder without a back-up; a probe leaves nothing behind.
    void probesRefuseTheDataFolder()
    {
        QVERIFY(BackupRestore::probeDestination(m_medium->path(), live()).ok());
        QVERIFY(!BackupRestore::probeSource(m_medium->path(), live()).ok());
        QVERIFY(!BackupRestore::probeDestination(m_data->folder(), live()).ok());
        QVERIFY(!BackupRestore::probeSource(m_data->folder(), live()).ok());
        QCOMPARE(filesIn(m_medium->path()) + filesIn(m_data->folder()), QStringList {BackupRestore::FileName});
    }

    // Another copy of the program saves all along: each back-up is a
    // committed state, every day's page and memo from the same save.
    void backupWhileAnotherProcessSaves()
    {
        QProcess writer;
        writer.start(QStringLiteral(DAY_WRITER), {live()});
        QVERIFY(writer.waitForReadyRead(30'000) && writer.readLine().trimmed() == "ready");
        for (int round = 0; round < 3; ++round) {
            QCOMPARE(BackupRestore::backup(live(), m_backup).message, QString());
            Database copy(QStringLiteral("copy"));
            QVERIFY(copy.open(m_backup, false).ok());
            for (int d = 0; d < 40; ++d) {
                const std::optional<DayRecord> rec = TestSupport::storedDay(copy, QDate(2024, 1, 1).addDays(d));
                if (rec && !rec->memo.isEmpty()) // else only just created
                    QCOMPARE(rec->pageText, rec->memo.repeated(6000 / rec->memo.size()));
            }
        }
        TestSupport::writeFile(live() + QStringLiteral(".stop"), QByteArray());
        QVERIFY(writer.waitForFinished(60'000));
        QCOMPARE(writer.exitCode(), 0);
    }

    // A copy of the program that read a day before the restore saves
    // afterwards: the save lands in the restored file, not in the kept one.
    void anotherCopyGoesOnInTheRestoredFile()
    {
        makeBackup(QStringLiteral("from the back-up"));
        QProcess other;
        other.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        other.start(QStringLiteral(STORE_STRESS), {QStringLiteral("same-cell"), live(), QStringLiteral("LATE")});
        QVERIFY(other.waitForReadyRead(30'000) && other.readLine().trimmed() == "ready");

        QCOMPARE(BackupRestore::restore(m_backup, live(), &db()).result.message, QString());
        const QString kept = m_data->folder() + QLatin1Char('/') + BackupRestore::KeptName;
        const QByteArray keptBytes = fileBytes(kept);
        other.write("save\n");
        QVERIFY(other.waitForFinished(30'000));
        QCOMPARE(other.exitCode(), 0);
        const std::optional<DayRecord> saved = TestSupport::storedDay(db(), QDate(2024, 6, 3));
        QVERIFY(saved);
        QCOMPARE(TestSupport::cellOf(saved->pageText, 1, 1), QStringLiteral("LATE"));
        QCOMPARE(bookedOn(db()), QStringLiteral("from the back-up"));
        QCOMPARE(fileBytes(kept), keptBytes);
    }

    // While another copy is half-way through a write, a restore gives up as
    // the retry policy says (its pauses pass at once here); then it goes through.
    void restoreWaitsForNoOtherWriter()
    {
        makeBackup(QStringLiteral("from the back-up"));
        Database other(QStringLiteral("other"));
        QVERIFY(other.open(live(), false).ok());
        QVERIFY(TestSupport::holdWriteLock(other.connection()));
        const QByteArray liveBytes = fileBytes(live());
        db().retry().pause = [](qint64) {};
        const QString refused = BackupRestore::restore(m_backup, live(), &db()).result.message;
        QVERIFY2(refused.contains(QStringLiteral("in use")), qPrintable(refused));
        QCOMPARE(fileBytes(live()), liveBytes);
        QVERIFY(QSqlQuery(other.connection()).exec(QStringLiteral("ROLLBACK")));
        other.close();
        QCOMPARE(BackupRestore::restore(m_backup, live(), &db()).result.message, QString());
        QCOMPARE(bookedOn(db()), QStringLiteral("from the back-up"));
    }
};

QTEST_GUILESS_MAIN(TestBackupRestore)
#include "tst_backuprestore.moc"
