// Desks on one PostgreSQL database, each the real appointment window in a
// process of its own (desk_window): both desks' bookings of one day are
// stored, and each shows the other's as soon as it is committed; a restore
// replaces what a desk shows.

#include "TestSupport.h"

#include "appointments/PageText.h"
#include "maintenance/BackupRestore.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

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
    static qint64 timeOf(const QString& line) { return line.section(QLatin1Char(' '), 1).toLongLong(); }

private:
    QProcess m_process;
};

QString storedCell(Database& db, int row, int col)
{
    std::optional<DayRecord> rec;
    if (!DayStore(db).find(Today, rec).ok() || !rec)
        return QStringLiteral("<no record>");
    const PageText::Cells cells = PageText::split(rec->data);
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
        QCOMPARE(BackupRestore::backupServer(data.db(), backup), QString());
        QVERIFY(changeToday(data.db(), [](DayRecord& r) {
            PageText::Cells cells = PageText::split(r.data);
            cells[1][0] = QStringLiteral("JONES");
            cells[2][1].clear();
            r.data = PageText::join(cells);
            r.memo.clear();
        }));

        Desk desk(data.folder(), data.databasePath());
        QCOMPARE(desk.next(), QStringLiteral("ready"));
        desk.send("memo ring back");
        QCOMPARE(desk.next(), QStringLiteral("typed"));
        desk.send("edit 3 2 KI");
        QCOMPARE(desk.next(), QStringLiteral("editing"));
        QCOMPARE(BackupRestore::restoreServer(backup, data.db(), data.folder()), QString());

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
};

QTEST_GUILESS_MAIN(TestServerDesks)
#include "tst_serverdesks.moc"
