// Desks on one PostgreSQL database, each the real appointment window in a
// process of its own (desk_window): one shows the other's booking as soon as
// it is committed; a restore replaces what a desk shows; a desk whose
// server does not answer asks to retry and then stores the booking.

#include "DeskProcess.h"

#include <QScopeGuard>
#include <csignal>

class TestServerDesks : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;

    QStringList deskArguments() const { return {m_data->folder(), m_data->databasePath()}; }

private slots:
    void init()
    {
        m_data = std::make_unique<TestSupport::DataFixture>();
        QVERIFY(m_data->db().isServer());
    }

    void cleanup() { m_data.reset(); }

    void twoDeskProcessesBookOneDay()
    {
        DeskProcess first(QStringLiteral(DESK_WINDOW), deskArguments());
        DeskProcess second(QStringLiteral(DESK_WINDOW), deskArguments());
        QCOMPARE(first.next(), QStringLiteral("ready"));
        QCOMPARE(second.next(), QStringLiteral("ready"));
        first.send("edit 2 1 SMITH\nenter");
        QCOMPARE(first.next(), QStringLiteral("editing"));
        QCOMPARE(first.next(), QStringLiteral("entered"));
        QTRY_COMPARE(second.ask("cell 2 1"), QStringLiteral("cell SMITH"));
        QVERIFY(first.end());
        QVERIFY(second.end());
        QCOMPARE(storedCell(m_data->db(), 2, 1), QStringLiteral("SMITH"));
    }

    void restoreReplacesTheShownDay() { restoreWhileADeskTypes(*m_data); }

    // The desk's server process stops answering while the desk shows the
    // day: the booking typed next asks to retry (soon: the window never hangs
    // on the server), and Retry connects again and stores it. (A connection
    // the server ended is made again by the store, tested there.)
    void retryWhenTheServerDoesNotAnswer()
    {
        DeskProcess desk(QStringLiteral(DESK_WINDOW), deskArguments());
        QCOMPARE(desk.next(), QStringLiteral("ready"));
        const qint64 backend = desk.ask("backend").section(QLatin1Char(' '), 1).toLongLong();
        QVERIFY(backend > 0);
        QCOMPARE(::kill(pid_t(backend), SIGSTOP), 0);
        const auto resume = qScopeGuard([&] { ::kill(pid_t(backend), SIGCONT); });
        desk.send("edit 2 1 SMITH\nenter\ndialogs");
        QCOMPARE(desk.next(), QStringLiteral("editing"));
        QCOMPARE(desk.next(), QStringLiteral("entered"));
        const QString asked = desk.next();
        QVERIFY2(asked.startsWith(QLatin1String("dialogs 1 ")), qPrintable(asked));
        QVERIFY2(asked.endsWith(QStringLiteral("the database server does not answer. Retry?")), qPrintable(asked));
        QCOMPARE(storedCell(m_data->db(), 2, 1), QStringLiteral("SMITH"));
        QVERIFY(desk.end());
    }
};

QTEST_GUILESS_MAIN(TestServerDesks)
#include "tst_serverdesks.moc"
