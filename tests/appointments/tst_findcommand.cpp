#include "TestSupport.h"

#include "appointments/AppointmentSearch.h"
#include "core/PageText.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct Run
{
    int exitCode = -1;
    QStringList lines; // standard output
    QString err;
};

// The built program, in its own process with the machine's date and an
// English (US) locale like the test's.
Run ledgerly(const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // find must not need it
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    const TestSupport::Run run = TestSupport::runProgram(QStringLiteral(LEDGERLY_EXE), arguments, env);
    Run r;
    r.exitCode = run.exitCode;
    r.lines = run.out.split(QLatin1Char('\n'));
    if (r.lines.last().isEmpty())
        r.lines.removeLast();
    r.err = run.err;
    return r;
}
} // namespace

class TestFindCommand : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;

    void storeDay(const QDate& date, const Settings& copied, int row, int column, const QString& text)
    {
        TestSupport::bookCell(m_data->db(), date, copied, row, column, text);
    }

    // The lines the search itself gives, for the machine's today as the
    // program sees it.
    QStringList expectedLines(const QString& text)
    {
        QList<DayRecord> days;
        Settings current;
        if (!AppointmentSearch::readDays(m_data->db(), days, current).ok())
            return {QStringLiteral("cannot read the days")};
        QStringList out;
        const AppointmentSearch search(days, current, QDate::currentDate());
        for (const AppointmentSearch::Match& m : search.find(text).matches)
            out.append(AppointmentSearch::resultLine(m));
        return out;
    }

private slots:
    void init()
    {
        m_data = std::make_unique<TestSupport::DataFixture>();
        // Far from any day the test may run on: the order is the same whatever today is.
        Settings earlier = Settings::defaults();
        earlier.providerCount = 3;
        earlier.names = QStringLiteral("Dr Lee-Dr Ng-Dr Roe");
        earlier.slotMinutes = 60;
        storeDay(QDate(2001, 3, 5), earlier, 3, 2, QStringLiteral("SMITH / JONES"));
        storeDay(QDate(2001, 3, 6), earlier, 2, 3, QStringLiteral("M\u00FCller Ren\u00E9e"));
        storeDay(QDate(2090, 1, 2), earlier, 4, 4, QStringLiteral("Smithers"));
        storeDay(QDate(2090, 1, 1), earlier, 1, 1, QStringLiteral("LEE"));
    }

    void cleanup() { m_data.reset(); }

    void printsTheSearchesLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("first");

        QTest::newRow("upcoming first, then past") << QStringList {QStringLiteral("smith")} << "smith"
                                                   << "Monday 1/2/90  10:00 AM  Practitioner D  Smithers";
        QTest::newRow("accents, past layout")
            << QStringList {QStringLiteral("MULLER")} << "MULLER"
            << QStringLiteral("Tuesday 3/6/01  08:00 AM  Dr Roe  M\u00FCller Ren\u00E9e");
        QTest::newRow("words joined by a blank")
            << QStringList {QStringLiteral("smith"), QStringLiteral("/")} << "smith /"
            << "Monday 3/5/01  09:00 AM  Dr Ng  SMITH / JONES";
    }

    void printsTheSearchesLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, text);
        QFETCH(QString, first);
        const Run r = ledgerly(QStringList {QStringLiteral("find")} + arguments
            + QStringList {QStringLiteral("--data-dir"), m_data->folder()});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.isEmpty() || !r.err.contains(QLatin1String("ledgerly")), qPrintable(r.err));
        QCOMPARE(r.lines, expectedLines(text));
        QCOMPARE(r.lines.first(), first);
    }

    // Stored text reaches a terminal: an escape sequence in it must not.
    void controlCharactersNeverReachTheTerminal()
    {
        storeDay(QDate(2090, 1, 3), Settings::defaults(), 2, 1,
            QStringLiteral("EVIL\x1b]0;owned\x07\x1b[2J\x9b"
                           "1m"));
        const Run r = ledgerly(
            {QStringLiteral("find"), QStringLiteral("evil"), QStringLiteral("--data-dir"), m_data->folder()});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines.size(), 1);
        QVERIFY2(r.lines.first().endsWith(QStringLiteral("EVIL?]0;owned??[2J?1m")), qPrintable(r.lines.first()));
    }

    void nothingToList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("nothing found says so") << "zzz" << 0 << QStringList {QStringLiteral("No appointments found")};
        QTest::newRow("blank text is refused") << "  " << 2 << QStringList();
    }

    void nothingToList()
    {
        QFETCH(QString, text);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        const Run r = ledgerly({QStringLiteral("find"), text, QStringLiteral("--data-dir"), m_data->folder()});
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.lines, lines);
    }

    void neverCreatesADatabase()
    {
        QTemporaryDir empty;
        const Run r
            = ledgerly({QStringLiteral("find"), QStringLiteral("smith"), QStringLiteral("--data-dir"), empty.path()});
        QVERIFY(r.exitCode != 0);
        QVERIFY(r.lines.isEmpty());
        QVERIFY(r.err.contains(QLatin1String("db.mdb")));
        QVERIFY(!QFile::exists(QDir(empty.path()).filePath(QStringLiteral("db.mdb"))));
    }
};

QTEST_GUILESS_MAIN(TestFindCommand)
#include "tst_findcommand.moc"
