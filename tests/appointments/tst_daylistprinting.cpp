#include "RecordingPrintTarget.h"
#include "TestSupport.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "appointments/MonthCalendar.h"
#include "appointments/PrintDayCommand.h"
#include "core/DayLayout.h"
#include "core/PageText.h"
#include "platform/Dialogs.h"
#include "platform/PrintJob.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using TestSupport::Today;

namespace {
using TestSupport::pdfText;

QStringList pages(const QString& text)
{
    QStringList out = text.split(QLatin1Char('\f'));
    if (!out.isEmpty() && out.last().trimmed().isEmpty())
        out.removeLast();
    return out;
}

bool hasLine(const QString& page, const QString& pattern)
{
    return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(page).hasMatch();
}

using TestSupport::Run;

// The built program, as a user runs it from a shell.
Run ledgerly(const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    return TestSupport::runProgram(QStringLiteral(LEDGERLY_EXE), arguments, env);
}
} // namespace

class TestDayListPrinting : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    QPointer<ApptWindow> m_window;
    Settings m_settings;

    QString dataFile(const QString& name) const { return QDir(m_data->folder()).filePath(name); }

    // Three providers, 08:00 AM to 10:00 AM in 30-minute slots: time rows
    // 08:00 AM to 10:30 AM (page rows 2 to 7), page rows 1 and 8 without a
    // time.
    void setUpPractice()
    {
        m_settings = Settings::defaults();
        m_settings.providerCount = 3;
        m_settings.names = QStringLiteral("Dr Adams-Dr Brown-Dr Clarke");
        m_settings.open = QStringLiteral("08:00 AM");
        m_settings.close = QStringLiteral("10:00 AM");
        m_settings.slotMinutes = 30;
        QVERIFY(SettingsStore(m_data->db()).writeLayout(m_settings).ok());
    }

    void storeDay(const QDate& date, const QList<QStringList>& cells)
    {
        DayRecord rec;
        bool created = false;
        QVERIFY(DayStore(m_data->db()).open(date, m_settings, rec, created).ok());
        DayRecord edited = rec;
        edited.pageText = PageText::join(cells);
        QVERIFY(DayStore(m_data->db()).save(rec, edited).status.ok());
    }

    void openWindow()
    {
        m_window = new ApptWindow(m_data->db(), Windows::host());
        m_window->show();
        QApplication::setActiveWindow(m_window);
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }

    void clickPrint()
    {
        QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("printButton")), Qt::LeftButton);
    }

private slots:
    void initTestCase() { PrintJob::setPrinterDisabled(true); }

    void init()
    {
        Dialogs::resetRecord();
        m_data = std::make_unique<TestSupport::DataFixture>();
        setUpPractice();
    }

    void cleanup()
    {
        if (m_window) {
            m_window->close();
            delete m_window.data();
        }
        m_data.reset();
    }

    void windowPrintsTheShownDayAndTheCommandPrintsTheSame()
    {
        const QString e;
        storeDay(Today,
            {{e, e, e}, {QStringLiteral("ALICE"), e, e}, {e, e, e}, {e, QStringLiteral("BOB"), e}, {e, e, e}, {e, e, e},
                {e, e, e}, {e, e, QStringLiteral("CAROL")}});
        openWindow();
        // Typed, not yet saved: the lists print what the page shows.
        m_window->grid()->setFocus();
        m_window->grid()->setCurrentCell(3, 1);
        for (QChar c : QStringLiteral("DAVE"))
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        // The calendar selection moves on without opening the next day.
        QWidget* calendar = m_window->findChild<QWidget*>(QStringLiteral("monthCalendar"));
        calendar->setFocus();
        QTest::keyClick(calendar, Qt::Key_Right);
        QCOMPARE(m_window->calendar()->dates()[size_t(m_window->calendar()->selectedIndex())], Today.addDays(1));
        QCOMPARE(m_window->currentDate(), Today);

        clickPrint();
        const QString pdf = dataFile(QStringLiteral("appointments-2024-05-15.pdf"));
        QVERIFY(QFile::exists(pdf));
        QCOMPARE(QDir(m_data->folder()).entryList({QStringLiteral("*.pdf")}), QStringList({QFileInfo(pdf).fileName()}));
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY(Dialogs::shown()[0].text.contains(QDir::toNativeSeparators(pdf)));

        const QString windowText = pdfText(pdf);
        const QStringList p = pages(windowText);
        QCOMPARE(p.size(), 3);
        // One list per provider, every slot on it, booked or not.
        const QString names[] = {QStringLiteral("Dr Adams"), QStringLiteral("Dr Brown"), QStringLiteral("Dr Clarke")};
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(hasLine(p[i], QStringLiteral("^\\s*Time\\s+%1\\s*$").arg(names[i])), qPrintable(p[i]));
            QVERIFY2(hasLine(p[i], QStringLiteral("10:30 AM\\s*$")), qPrintable(p[i]));
        }
        QVERIFY2(hasLine(p[0], QStringLiteral("08:00 AM\\s+ALICE\\s*$")), qPrintable(p[0]));
        QVERIFY(hasLine(p[0], QStringLiteral("08:30 AM\\s+DAVE\\s*$")));
        QVERIFY(hasLine(p[1], QStringLiteral("09:00 AM\\s+BOB\\s*$")));
        QVERIFY(hasLine(p[2], QStringLiteral("^\\s*CAROL\\s*$")));

        // The window stores the day as it closes; the command then reads it.
        m_window->close();
        delete m_window.data();
        const QString cliPdf = dataFile(QStringLiteral("from-command.pdf"));
        const Run run = ledgerly({QStringLiteral("--data-dir"), m_data->folder(), QStringLiteral("print-day"),
            QStringLiteral("2024-05-15"), QStringLiteral("--pdf"), cliPdf});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(pdfText(cliPdf), windowText);
    }

    void altPPrintsFromTheKeyboard()
    {
        openWindow();
        m_window->grid()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
        QTRY_VERIFY(QFile::exists(dataFile(QStringLiteral("appointments-2024-05-15.pdf"))));
        QCOMPARE(Dialogs::shown().size(), 1);
    }

    void failedPrintoutAsksAndYesTriesAgain()
    {
        openWindow();
        const QString pdf = dataFile(QStringLiteral("appointments-2024-05-15.pdf"));
        QVERIFY(QDir().mkpath(pdf));
        Dialogs::pushAnswer(Dialogs::Yes);
        Dialogs::pushAnswer(Dialogs::No);
        clickPrint();
        QCOMPARE(Dialogs::shown().size(), 2);
        for (const Dialogs::Shown& s : Dialogs::shown()) {
            QVERIFY2(
                s.text.startsWith(QStringLiteral("Cannot write ") + QDir::toNativeSeparators(pdf)), qPrintable(s.text));
            QVERIFY(s.text.endsWith(QStringLiteral(". Retry?")));
            QCOMPARE(s.buttons, int(Dialogs::Yes | Dialogs::No));
        }
        QVERIFY(QFileInfo(pdf).isDir());

        // Once the way is clear the same button prints the whole set.
        Dialogs::resetRecord();
        QVERIFY(QDir(pdf).removeRecursively());
        clickPrint();
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(pages(pdfText(pdf)).size(), 3);
    }

    void commandFailuresGoToStderr_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a date") << QStringList({QStringLiteral("print-day"), QStringLiteral("15/05/2024")})
                                    << QStringLiteral("not a date: 15/05/2024");
        QTest::newRow("no such day") << QStringList({QStringLiteral("print-day"), QStringLiteral("2024-02-30")})
                                     << QStringLiteral("not a date: 2024-02-30");
        QTest::newRow("two dates") << QStringList(
            {QStringLiteral("print-day"), QStringLiteral("2024-05-15"), QStringLiteral("2024-05-16")})
                                   << QStringLiteral("too many arguments");
    }

    void commandFailuresGoToStderr()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const QString pdf = dataFile(QStringLiteral("never.pdf"));
        const Run run = ledgerly(QStringList({QStringLiteral("--data-dir"), m_data->folder()}) + arguments
            + QStringList({QStringLiteral("--pdf"), pdf}));
        QVERIFY(run.exitCode != 0);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(pdf));
    }

    void commandNeverCreatesADatabase()
    {
        QTemporaryDir empty;
        const QString pdf = empty.filePath(QStringLiteral("never.pdf"));
        const Run run = ledgerly(
            {QStringLiteral("--data-dir"), empty.path(), QStringLiteral("print-day"), QStringLiteral("--pdf"), pdf});
        QVERIFY(run.exitCode != 0);
        QVERIFY2(run.err.contains(QStringLiteral("db.mdb")), qPrintable(run.err));
        QCOMPARE(QDir(empty.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void commandWithPdfNeverPrints()
    {
        // This machine has a printer; --pdf writes the file all the same.
        int sent = 0;
        PrintJob::setPrinter([&](const QString&) {
            ++sent;
            return std::make_unique<RecordingPrintTarget>();
        });
        const QString pdf = dataFile(QStringLiteral("asked-for.pdf"));
        const int exitCode = PrintDayCommand::run({QStringLiteral("2024-05-15")}, pdf);
        PrintJob::setPrinter({});
        QCOMPARE(exitCode, 0);
        QCOMPARE(sent, 0);
        QCOMPARE(pages(pdfText(pdf)).size(), 3);
    }

    void commandPrintsTodayByDefault()
    {
        const QString pdf = dataFile(QStringLiteral("today.pdf"));
        const Run run = ledgerly({QStringLiteral("--data-dir"), m_data->folder(), QStringLiteral("print-day"),
            QStringLiteral("--pdf"), pdf});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QStringList p = pages(pdfText(pdf));
        QCOMPARE(p.size(), 3);
        // The program's own today, not the fixed one of this test.
        const QDate today = QDate::currentDate();
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QVERIFY2(p[0].contains(us.toString(today, QStringLiteral("dddd"))), qPrintable(p[0]));
        QVERIFY(p[0].contains(us.toString(today, QLocale::ShortFormat)));
        // Printing reads only: no record was made for the day.
        std::optional<DayRecord> rec;
        QVERIFY(DayStore(m_data->db()).find(today, rec).ok());
        QVERIFY(!rec);
    }
};

QTEST_MAIN(TestDayListPrinting)
#include "tst_daylistprinting.moc"
