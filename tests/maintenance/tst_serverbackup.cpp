#include "TestSupport.h"

#include "maintenance/BackupRestore.h"
#include "platform/Dialogs.h"
#include "shell/WindowCatalog.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::DataFixture;
using TestSupport::Today;

namespace {

// One line per record, table by table in id order, without Version (a
// restore raises it on purpose).
QStringList contentsOf(QSqlDatabase db)
{
    QStringList lines;
    for (const QString& table :
        {QStringLiteral("tbl_Appt"), QStringLiteral("tbl_Setup"), QStringLiteral("tbl_Order")}) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY id").arg(table)))
            qFatal("%s", qPrintable(q.lastError().text()));
        while (q.next()) {
            const QSqlRecord r = q.record();
            QStringList fields;
            for (int i = 0; i < r.count(); ++i) {
                const QString name = r.fieldName(i).toLower();
                if (name != QLatin1String("version"))
                    fields.append(name + QLatin1Char('=') + r.value(i).toString());
            }
            fields.sort();
            lines.append(table + QLatin1Char(':') + fields.join(QLatin1Char('|')));
        }
    }
    return lines;
}

QStringList contentsOf(Database& db)
{
    return contentsOf(db.connection());
}

QStringList fileContents(const QString& path)
{
    Database file(QStringLiteral("file-contents"));
    const Result r = file.open(path, false);
    if (!r.ok())
        qFatal("%s", qPrintable(r.message));
    return contentsOf(file);
}

void saveDay(Database& db, const QDate& date, const Settings& layout, const QString& memo, bool clinic = false)
{
    DayStore store(db);
    DayRecord rec;
    bool created = false;
    QVERIFY(store.open(date, layout, rec, created).ok());
    DayRecord edited = rec;
    edited.memo = memo;
    edited.closed = clinic;
    QVERIFY(store.save(rec, edited).status.ok());
}

// A back-up as the file database writes it: days in the past and the
// future, made under two different layouts, and the practice's own details.
QString makeBackupFile(const QString& folder)
{
    const QString path = BackupRestore::pathIn(folder);
    Database file(QStringLiteral("backup-maker"));
    if (!file.open(path).ok())
        qFatal("cannot make %s", qPrintable(path));
    Settings first = Settings::defaults();
    Settings second = first;
    second.open = QStringLiteral("10:00 AM");
    second.close = QStringLiteral("02:00 PM");
    second.slotMinutes = 15;
    second.providerCount = 2;
    second.names = QStringLiteral("DR A;DR B");
    saveDay(file, Today.addDays(-40), first, QStringLiteral("long ago"));
    saveDay(file, Today, first, QStringLiteral("today"), true);
    saveDay(file, Today.addDays(3), second, QStringLiteral("next week"));
    saveDay(file, Today.addYears(1), second, QStringLiteral("next year"), true);
    const Result ordered = file.write([](QSqlDatabase& db) {
        QSqlQuery q(db);
        return Database::exec(q, QStringLiteral("UPDATE tbl_Order SET Name = ?, City = ?"),
            {QStringLiteral("Green Street Practice"), QStringLiteral("Leeds")});
    });
    if (!ordered.ok())
        qFatal("cannot write the order form: %s", qPrintable(ordered.message));
    return path;
}

} // namespace

// Back-up and restore on a PostgreSQL database: the back-up is a db.mdb file,
// and such a file is what a restore puts into the server.
class TestServerBackup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DataFixture> m_data;
    std::unique_ptr<QTemporaryDir> m_medium;
    QWidget* m_window = nullptr;

    Database& server() { return m_data->db(); }
    QString keptFile() const { return m_data->folder() + QLatin1Char('/') + BackupRestore::KeptName; }

    template<class T> T* child(const char* name) const
    {
        T* w = m_window->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no %s", name);
        return w;
    }
    void setBox(const char* name, const QString& text)
    {
        auto* box = child<QLineEdit>(name);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }

private slots:
    void init()
    {
        Dialogs::resetRecord();
        m_data = std::make_unique<DataFixture>();
        QVERIFY(server().isServer());
        m_medium = std::make_unique<QTemporaryDir>();
        Windows::unregisterAll();
        registerProgramWindows(m_data->db());
        Windows::setExitAfterBackup(false);
    }

    void cleanup()
    {
        delete Windows::find(Window::Backup);
        m_window = nullptr;
        m_medium.reset();
        m_data.reset();
    }

    void fileRestoredIntoTheServerAndBackedUpAgainKeepsItsRecords()
    {
        saveDay(server(), Today.addDays(1), Settings::defaults(), QStringLiteral("before the restore"));
        const QStringList before = contentsOf(server());
        QTemporaryDir source;
        const QString sourceFile = makeBackupFile(source.path());
        const QStringList original = fileContents(sourceFile);
        QCOMPARE(original.size(), 6);

        QCOMPARE(BackupRestore::restoreServer(sourceFile, server(), m_data->folder()).message, QString());
        QCOMPARE(contentsOf(server()), original);
        QVERIFY(!TestSupport::storedDay(server(), Today.addDays(1)));
        // The replaced records are kept, as a file that can be restored.
        QCOMPARE(Database::checkFile(keptFile(), true).message, QString());
        QCOMPARE(fileContents(keptFile()), before);

        const QString target = BackupRestore::pathIn(m_medium->path());
        QCOMPARE(BackupRestore::backupServer(server(), target).message, QString());
        QCOMPARE(Database::checkFile(target, true).message, QString());
        QCOMPARE(fileContents(target), original);
        const std::optional<DayRecord> later = TestSupport::storedDay(server(), Today.addDays(3));
        QVERIFY(later);
        QCOMPARE(later->slotMinutes, 15);
        QCOMPARE(later->names, QStringLiteral("DR A;DR B"));

        // New days get ids after the restored ones.
        saveDay(server(), Today.addDays(2), Settings::defaults(), QStringLiteral("after the restore"));
        QVERIFY(TestSupport::storedDay(server(), Today.addDays(2)));
        QCOMPARE(contentsOf(server()).size(), 7);
    }

    void otherDeskIsToldAndMergesItsChangeOntoTheRestoredDay()
    {
        // Edited a few times: its Version is beyond the back-up's, and the
        // restored day must still count as newer.
        const QDate day = Today.addDays(3);
        for (int i = 0; i < 3; ++i)
            saveDay(server(), day, Settings::defaults(), QStringLiteral("server %1").arg(i));
        Database other(QStringLiteral("other desk"));
        QVERIFY(other.open(m_data->databasePath()).ok());
        int told = 0;
        other.onChangedElsewhere = [&] { ++told; };
        const std::optional<DayRecord> shown = TestSupport::storedDay(other, day);
        QVERIFY(shown);

        QTemporaryDir source;
        QCOMPARE(
            BackupRestore::restoreServer(makeBackupFile(source.path()), server(), m_data->folder()).message, QString());
        QTRY_VERIFY(told > 0);

        // The other desk still shows the replaced day and marks it a clinic day.
        DayRecord edited = *shown;
        edited.closed = true;
        const DayStore::SaveOutcome out = DayStore(other).save(*shown, edited);
        QVERIFY(out.status.ok());
        QVERIFY(out.merged);
        const std::optional<DayRecord> now = TestSupport::storedDay(server(), day);
        QVERIFY(now);
        QCOMPARE(now->memo, QStringLiteral("next week"));
        QVERIFY(now->closed);
    }

    void badSourceLeavesTheServerAlone_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::newRow("text file") << QByteArray("text");
        QTest::newRow("another program's SQLite file") << QByteArray("foreign");
        QTest::newRow("cut-off copy") << QByteArray("cut");
    }

    void badSourceLeavesTheServerAlone()
    {
        QFETCH(QByteArray, kind);
        saveDay(server(), Today, Settings::defaults(), QStringLiteral("keep me"));
        const QStringList before = contentsOf(server());
        QTemporaryDir source;
        const QString path = BackupRestore::pathIn(source.path());
        if (kind == "text") {
            TestSupport::writeFile(path, "Dear Sir,\nplease find enclosed...\n");
        } else if (kind == "foreign") {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
                db.setDatabaseName(path);
                QVERIFY(db.open());
                QSqlQuery q(db);
                QVERIFY(q.exec(QStringLiteral("CREATE TABLE tbl_Appt (id INTEGER PRIMARY KEY, CalDate TEXT)")));
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
        } else {
            const QByteArray whole = TestSupport::fileBytes(makeBackupFile(source.path()));
            TestSupport::writeFile(path, whole.left(whole.size() / 2 + 100));
        }

        const QString reason = BackupRestore::restoreServer(path, server(), m_data->folder()).message;
        QVERIFY(!reason.isEmpty());
        QVERIFY2(reason.contains(QDir::toNativeSeparators(path)), qPrintable(reason));
        QCOMPARE(contentsOf(server()), before);
        QVERIFY(!QFileInfo::exists(keptFile()));
    }

    void backupWindowOnTheServerWritesACheckedFile()
    {
        saveDay(server(), Today, Settings::defaults(), QStringLiteral("on the server"));
        m_window = Windows::open(Window::Backup);
        QVERIFY(m_window);
        setBox("backupFolderEdit", m_medium->path());
        QTest::keyClick(child<QLineEdit>("backupFolderEdit"), Qt::Key_Return);
        QTest::keyClick(child<QPushButton>("backupButton"), Qt::Key_Return);

        QVERIFY(Dialogs::shown().isEmpty());
        QVERIFY(child<QLabel>("backupDoneLabel")->isVisible());
        const QString file = BackupRestore::pathIn(m_medium->path());
        QCOMPARE(Database::checkFile(file, true).message, QString());
        QCOMPARE(fileContents(file), contentsOf(server()));
    }

    void restoreWindowOnTheServerAsksFirst_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes replaces the records") << true;
        QTest::newRow("No leaves the server alone") << false;
    }

    void restoreWindowOnTheServerAsksFirst()
    {
        QFETCH(bool, yes);
        saveDay(server(), Today, Settings::defaults(), QStringLiteral("on the server"));
        const QStringList before = contentsOf(server());
        const QString sourceFile = makeBackupFile(m_medium->path());
        m_window = Windows::open(Window::Backup);
        QVERIFY(m_window);
        setBox("restoreFolderEdit", m_medium->path());
        Dialogs::pushAnswer(Dialogs::Ok);
        Dialogs::pushAnswer(yes ? Dialogs::Yes : Dialogs::No);
        QTest::mouseClick(child<QPushButton>("restoreButton"), Qt::LeftButton);

        QCOMPARE(Dialogs::shown().size(), 2);
        if (!yes) {
            QCOMPARE(contentsOf(server()), before);
            QVERIFY(!QFileInfo::exists(keptFile()));
            return;
        }
        QVERIFY(child<QLabel>("restoreDoneLabel")->isVisible());
        QCOMPARE(contentsOf(server()), fileContents(sourceFile));
        QCOMPARE(fileContents(keptFile()), before);
    }
};

QTEST_MAIN(TestServerBackup)
#include "tst_serverbackup.moc"
