// Desks on one PostgreSQL database, each the real appointment window in a
// process of its own (desk_window): both desks' bookings of one day are
// stored, and each shows the other's as soon as it is committed; a restore
// replaces what a desk shows; a desk that lost its server, or whose server
// does not answer, asks to retry and then stores the booking.

#include "TestSupport.h"

#include "core/PageText.h"
#include "maintenance/BackupRestore.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

using TestSupport::Today;

namespace {

// A desk_window process, spoken to line by line.
class Desk
{
public:
    Desk(const QString& folder, const QString& address)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(DESK_WINDOW), {folder, address});
        if (!m_process.waitForStarted())
            qWarning("desk_window: %s", qPrintable(m_process.errorString()));
    }
    ~Desk()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QProcess& process() { return m_process; }
    void send(const QByteArray& line) { m_process.write(line + '\n'); }
    QString next(int timeoutMillis = 30'000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < timeoutMillis && m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(50);
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    // The wall clock time T of a line "word T".
    static qint64 timeOf(const QString& line) { return line.section(QLatin1Char(' '), 1, 1).toLongLong(); }

private:
    QProcess m_process;
};

// A PostgreSQL server of the test's own, for what would disturb the other
// tests on the shared one: a restart ends every connection to it.
class OwnServer
{
public:
    OwnServer()
    {
        // Under root the server runs as the postgres user, who must reach it.
        QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ExeOther | QFile::ReadOther);
        const TestSupport::Run started = tool(QStringLiteral("start"));
        if (started.exitCode == 0)
            m_address = started.out.trimmed();
        else
            qWarning("pg-test-server: %s", qPrintable(started.err));
    }
    ~OwnServer() { tool(QStringLiteral("stop")); }
    QString address() const { return m_address; }
    bool restart() { return tool(QStringLiteral("restart")).exitCode == 0; }

private:
    TestSupport::Run tool(const QString& command)
    {
        return TestSupport::runProgram(QStringLiteral(PG_TEST_SERVER), {command, m_dir.path() + QStringLiteral("/pg")},
            QProcessEnvironment::systemEnvironment());
    }

    QTemporaryDir m_dir;
    QString m_address;
};

QString storedCell(Database& db, int row, int col)
{
    std::optional<DayRecord> rec;
    if (!DayStore(db).find(Today, rec).ok() || !rec)
        return QStringLiteral("<no record>");
    const PageText::Cells cells = PageText::split(rec->pageText);
    if (row - 1 < cells.size() && col - 1 < cells[row - 1].size())
        return cells[row - 1][col - 1];
    return QString();
}

// Changes today's record as another desk's save would.
bool changeToday(Database& db, const std::function<void(DayRecord&)>& change)
{
    std::optional<DayRecord> base;
    if (!DayStore(db).find(Today, base).ok() || !base)
        return false;
    DayRecord edited = *base;
    change(edited);
    return DayStore(db).save(*base, edited, DayStore::SaveMode::KeepEmpty).status.ok();
}

} // namespace

class TestServerDesks : public QObject
{
    Q_OBJECT

private slots:
    void twoDeskProcessesBookOneDay()
    {
        TestSupport::DataFixture data;
        QVERIFY(data.db().isServer());
        Desk first(data.folder(), data.databasePath());
        Desk second(data.folder(), data.databasePath());
        QCOMPARE(first.next(), QStringLiteral("ready"));
        QCOMPARE(second.next(), QStringLiteral("ready"));

        second.send("watch 2 1 SMITH");
        first.send("book 2 1 SMITH");
        const QString booked = first.next();
        QVERIFY2(booked.startsWith(QLatin1String("booked ")), qPrintable(booked));
        const QString seenThere = second.next();
        QVERIFY2(seenThere.startsWith(QLatin1String("seen ")), qPrintable(seenThere));

        first.send("watch 3 2 KIM");
        second.send("book 3 2 KIM");
        const QString bookedThere = second.next();
        QVERIFY2(bookedThere.startsWith(QLatin1String("booked ")), qPrintable(bookedThere));
        const QString seenHere = first.next();
        QVERIFY2(seenHere.startsWith(QLatin1String("seen ")), qPrintable(seenHere));

        const qint64 toSecond = Desk::timeOf(seenThere) - Desk::timeOf(booked);
        const qint64 toFirst = Desk::timeOf(seenHere) - Desk::timeOf(bookedThere);
        qInfo("refresh delay: %lld ms to the second desk, %lld ms to the first", toSecond, toFirst);
        QVERIFY2(toSecond < 2000, qPrintable(QString::number(toSecond)));
        QVERIFY2(toFirst < 2000, qPrintable(QString::number(toFirst)));

        for (Desk* desk : {&first, &second}) {
            desk->send("quit");
            QVERIFY(desk->process().waitForFinished(30'000));
            QCOMPARE(desk->process().exitCode(), 0);
        }
        QCOMPARE(storedCell(data.db(), 2, 1), QStringLiteral("SMITH"));
        QCOMPARE(storedCell(data.db(), 3, 2), QStringLiteral("KIM"));
    }
    // A restore on the server replaces the desk's base: the restored day is
    // shown as it is, not merged with the one it replaced, and only what the
    // desk is typing at that moment stays.
    void restoreReplacesTheShownDay()
    {
        TestSupport::DataFixture data;
        QVERIFY(data.db().isServer());
        Settings settings;
        QVERIFY(SettingsStore(data.db()).read(settings).ok());
        TestSupport::bookCell(data.db(), Today, settings, 2, 1, QStringLiteral("SMITH"));
        TestSupport::bookCell(data.db(), Today, settings, 3, 2, QStringLiteral("OLD"));
        QVERIFY(changeToday(data.db(), [](DayRecord& r) { r.memo = QStringLiteral("from the back-up"); }));
        QTemporaryDir medium;
        const QString backup = BackupRestore::pathIn(medium.path());
        QCOMPARE(BackupRestore::backupServer(data.db(), backup).message, QString());
        QVERIFY(changeToday(data.db(), [](DayRecord& r) {
            PageText::Cells cells = PageText::split(r.pageText);
            cells[1][0] = QStringLiteral("JONES");
            cells[2][1].clear();
            r.pageText = PageText::join(cells);
            r.memo.clear();
        }));

        Desk desk(data.folder(), data.databasePath());
        QCOMPARE(desk.next(), QStringLiteral("ready"));
        desk.send("memo ring back");
        QCOMPARE(desk.next(), QStringLiteral("typed"));
        desk.send("edit 3 2 KI");
        QCOMPARE(desk.next(), QStringLiteral("editing"));
        QCOMPARE(BackupRestore::restoreServer(backup, data.db(), data.folder()).message, QString());

        desk.send("watch 2 1 SMITH");
        const QString seen = desk.next(10'000);
        QVERIFY2(seen.startsWith(QLatin1String("seen ")), qPrintable(seen));
        desk.send("editor");
        QCOMPARE(desk.next(), QStringLiteral("editor 1 KI"));
        desk.send("enter");
        QCOMPARE(desk.next(), QStringLiteral("entered"));
        desk.send("quit");
        QVERIFY(desk.process().waitForFinished(30'000));
        QCOMPARE(desk.process().exitCode(), 0);

        QCOMPARE(storedCell(data.db(), 2, 1), QStringLiteral("SMITH"));
        QCOMPARE(storedCell(data.db(), 3, 2), QStringLiteral("KI"));
        std::optional<DayRecord> day;
        QVERIFY(DayStore(data.db()).find(Today, day).ok() && day);
        QCOMPARE(day->memo, QStringLiteral("ring back"));
    }

    void retryAfterLosingTheServer_data()
    {
        QTest::addColumn<QString>("loss");
        QTest::addColumn<QString>("reason");
        QTest::newRow("server restarted")
            << QStringLiteral("restart") << QStringLiteral("the connection to the database server was lost");
        QTest::newRow("backend terminated")
            << QStringLiteral("terminate") << QStringLiteral("the connection to the database server was lost");
        QTest::newRow("backend stopped") << QStringLiteral("stop")
                                         << QStringLiteral("the database server does not answer");
    }
    // The desk's connection breaks, or its server process stops answering,
    // while the desk shows the day: the booking typed next asks to retry
    // (soon, the window never hangs on the server), and Retry connects
    // again and stores it.
    void retryAfterLosingTheServer()
    {
        QFETCH(QString, loss);
        QFETCH(QString, reason);
        TestSupport::DataFixture data;
        QVERIFY(data.db().isServer());
        std::unique_ptr<OwnServer> ownServer;
        std::unique_ptr<Database> ownDatabase;
        Database* db = &data.db();
        QString address = data.databasePath();
        if (loss == QLatin1String("restart")) {
            ownServer = std::make_unique<OwnServer>();
            address = ownServer->address();
            QVERIFY(!address.isEmpty());
            ownDatabase = std::make_unique<Database>(QStringLiteral("own-server"));
            QVERIFY(ownDatabase->open(address).ok());
            db = ownDatabase.get();
        }

        Desk desk(data.folder(), address);
        QCOMPARE(desk.next(), QStringLiteral("ready"));
        desk.send("backend");
        const qint64 backend = desk.next().section(QLatin1Char(' '), 1).toLongLong();
        QVERIFY(backend > 0);
        const auto resume = qScopeGuard([&] {
            if (loss == QLatin1String("stop"))
                ::kill(pid_t(backend), SIGCONT);
        });
        if (loss == QLatin1String("restart")) {
            QVERIFY(ownServer->restart());
            QVERIFY(ownDatabase->open(address).ok());
        } else if (loss == QLatin1String("terminate")) {
            QSqlQuery q(data.db().connection());
            QVERIFY(q.exec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(backend)));
        } else {
            QCOMPARE(::kill(pid_t(backend), SIGSTOP), 0);
        }

        desk.send("question");
        const qint64 typed = QDateTime::currentMSecsSinceEpoch();
        desk.send("book 2 1 SMITH");
        const QString question = desk.next();
        QVERIFY2(question.startsWith(QLatin1String("question ")), qPrintable(question));
        QVERIFY2(question.endsWith(reason + QStringLiteral(". Retry?")), qPrintable(question));
        const qint64 waited = Desk::timeOf(question) - typed;
        qInfo("%s: asked to retry after %lld ms", qPrintable(loss), waited);
        QVERIFY2(waited < 15'000, qPrintable(QString::number(waited)));

        desk.send("answer");
        QCOMPARE(desk.next(), QStringLiteral("answered"));
        const QString booked = desk.next();
        QVERIFY2(booked.startsWith(QLatin1String("booked ")), qPrintable(booked));
        QCOMPARE(storedCell(*db, 2, 1), QStringLiteral("SMITH"));
        desk.send("quit");
        QVERIFY(desk.process().waitForFinished(30'000));
        QCOMPARE(desk.process().exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestServerDesks)
#include "tst_serverdesks.moc"
