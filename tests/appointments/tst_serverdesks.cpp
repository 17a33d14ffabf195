// Two desks on one PostgreSQL database, each the real appointment window in a
// process of its own (desk_window): both desks' bookings of one day are
// stored, and each shows the other's as soon as it is committed.

#include "TestSupport.h"

#include "appointments/PageText.h"
#include "store/Database.h"
#include "store/DayStore.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>
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
};

QTEST_GUILESS_MAIN(TestServerDesks)
#include "tst_serverdesks.moc"
