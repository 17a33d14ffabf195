#include "ShellTest.h"
#include "TestSupport.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "core/PageText.h"
#include "shell/MenuWindow.h"
#include "shell/WindowCatalog.h"
#include "store/Database.h"
#include "store/SettingsStore.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

Q_DECLARE_METATYPE(Window)

using TestSupport::Today;

using TestSupport::cellOf;

namespace {
// The page text stored for date, read through a connection of its own, as
// the next start of the program would find it.
QString storedPage(const QString& databasePath, const QDate& date)
{
    QString page;
    const QString name = QStringLiteral("reader");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(databasePath);
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("SELECT Data FROM tbl_Appt WHERE CalDate = ?"));
            q.addBindValue(date.toString(Qt::ISODate));
            if (q.exec() && q.next())
                page = q.value(0).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return page;
}

} // namespace

class TestMenuWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    MenuWindow* m_menu = nullptr;
    int m_quits = 0;

    void openMenu()
    {
        m_menu = static_cast<MenuWindow*>(Windows::open(Window::Menu));
        QVERIFY(m_menu);
        activate(m_menu);
    }

    static void activate(QWidget* w)
    {
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
    }

    QWidget* control(const QString& name) const { return m_menu->findChild<QWidget*>(name); }

    // Chooses a menu control the way named: "enter", "space", or a mouse
    // button pressed on it ("left", "right").
    void choose(const QString& name, const QString& how)
    {
        QPointer<QWidget> c = control(name);
        QVERIFY(c);
        if (how == QLatin1String("enter") || how == QLatin1String("space")) {
            activate(m_menu);
            c->setFocus();
            QCOMPARE(QApplication::focusWidget(), c.data());
            QTest::keyClick(c, how == QLatin1String("enter") ? Qt::Key_Return : Qt::Key_Space);
            return;
        }
        const Qt::MouseButton button = how == QLatin1String("right") ? Qt::RightButton : Qt::LeftButton;
        if (qobject_cast<QPushButton*>(c)) {
            QTest::mouseClick(c, button);
            return;
        }
        // The entries act at the press, before any release.
        QTest::mousePress(c, button);
        if (c)
            QTest::mouseRelease(c, button);
    }

    void bookToday(const QString& name)
    {
        auto* appt = static_cast<ApptWindow*>(Windows::find(Window::Appointments));
        QVERIFY(appt);
        QCOMPARE(appt->currentDate(), Today);
        appt->grid()->setCellText(1, 1, name);
    }

private slots:
    void initTestCase()
    {
        Windows::setQuitHandler([this] { ++m_quits; });
    }

    void init()
    {
        m_quits = 0;
        m_data = std::make_unique<TestSupport::DataFixture>();
        Windows::unregisterAll();
        registerProgramWindows(m_data->db());
        openMenu();
    }

    void cleanup()
    {
        ShellTest::discardWindows();
        m_menu = nullptr;
        m_data.reset();
    }

    void eachEntryOpensItsWindow_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("how");
        QTest::addColumn<Window>("opens");
        QTest::addColumn<bool>("menuStays");
        // Every entry and every way of choosing once; Enter on the read-me
        // button matters, as a plain window's buttons ignore it by themselves.
        auto row = [](const char* entry, const char* how, Window opens, bool menuStays) {
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(entry), QLatin1String(how))))
                << QString::fromLatin1(entry) << QString::fromLatin1(how) << opens << menuStays;
        };
        row("appointmentsEntry", "enter", Window::Appointments, true);
        row("appointmentsEntry", "right", Window::Appointments, true);
        row("setupEntry", "space", Window::Setup, true);
        row("backupEntry", "left", Window::Backup, false);
        row("orderEntry", "enter", Window::Order, false);
        row("readmeButton", "enter", Window::Readme, false);
        row("readmeButton", "left", Window::Readme, false);
    }

    void eachEntryOpensItsWindow()
    {
        QFETCH(QString, entry);
        QFETCH(QString, how);
        QFETCH(Window, opens);
        QFETCH(bool, menuStays);
        Windows::setExitAfterBackup(true);

        choose(entry, how);

        QWidget* opened = Windows::find(opens);
        QVERIFY(opened);
        QVERIFY(opened->isVisible());
        QCOMPARE(Windows::isOpen(Window::Menu), menuStays);
        QCOMPARE(m_menu->isVisible(), menuStays);
        QVERIFY(Dialogs::shown().isEmpty());
        QCOMPARE(m_quits, 0);
        // Only the back-up entry says that the back-up is not the way out.
        QCOMPARE(Windows::exitAfterBackup(), opens != Window::Backup);
        QStringList expected {opened->objectName()};
        if (menuStays)
            expected << QStringLiteral("mainMenu");
        expected.sort();
        QCOMPARE(ShellTest::visibleWindows(), expected);
    }

    void anOpenWindowIsBroughtForwardNotOpenedTwice_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<Window>("opens");
        QTest::newRow("Appointments") << QStringLiteral("appointmentsEntry") << Window::Appointments;
    }

    void anOpenWindowIsBroughtForwardNotOpenedTwice()
    {
        QFETCH(QString, entry);
        QFETCH(Window, opens);
        choose(entry, QStringLiteral("enter"));
        QPointer<QWidget> first = Windows::find(opens);
        QVERIFY(first);
        activate(m_menu);

        choose(entry, QStringLiteral("left"));
        QCOMPARE(Windows::find(opens), first.data());
        QCOMPARE(ShellTest::instancesOf(first->objectName()), 1);
        QTRY_COMPARE(QApplication::activeWindow(), first.data());
        QVERIFY(Windows::isOpen(Window::Menu));
    }

    void arrowKeysOnlyMoveBetweenEntries_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("to");
        QTest::newRow("down") << QStringLiteral("appointmentsEntry") << int(Qt::Key_Down)
                              << QStringLiteral("setupEntry");
        QTest::newRow("right") << QStringLiteral("setupEntry") << int(Qt::Key_Right) << QStringLiteral("backupEntry");
        QTest::newRow("down round") << QStringLiteral("exitEntry") << int(Qt::Key_Down)
                                    << QStringLiteral("appointmentsEntry");
        QTest::newRow("up round") << QStringLiteral("appointmentsEntry") << int(Qt::Key_Up)
                                  << QStringLiteral("exitEntry");
    }

    void arrowKeysOnlyMoveBetweenEntries()
    {
        QFETCH(QString, from);
        QFETCH(int, key);
        QFETCH(QString, to);
        control(from)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(QApplication::focusWidget(), control(to));
        QCOMPARE(ShellTest::visibleWindows(), QStringList {QStringLiteral("mainMenu")});
        QVERIFY(Dialogs::shown().isEmpty());

        // Other keys do nothing either.
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ax1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(ShellTest::visibleWindows(), QStringList {QStringLiteral("mainMenu")});
        QVERIFY(Dialogs::shown().isEmpty());
    }

    void theExitPromptSaysHowItWasChosen_data()
    {
        const QString byKeyboard = QStringLiteral("Would you like to back-up your files now? Regular files back-up "
                                                  "will minimize loss of data in case your hard disk crashes.");
        const QString byMouse = QStringLiteral("Would you like to back-up your files now? Regular files back-up will "
                                               "minimize loss of data just in case your hard disk crashes.");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("text");
        QTest::newRow("enter") << QStringLiteral("enter") << byKeyboard;
        QTest::newRow("space") << QStringLiteral("space") << byKeyboard;
        QTest::newRow("left") << QStringLiteral("left") << byMouse;
        QTest::newRow("right") << QStringLiteral("right") << byMouse;
    }

    void theExitPromptSaysHowItWasChosen()
    {
        QFETCH(QString, how);
        QFETCH(QString, text);
        Dialogs::pushAnswer(Dialogs::No);
        choose(QStringLiteral("exitEntry"), how);
        QCOMPARE(Dialogs::shown().size(), 1);
        const Dialogs::Shown& shown = Dialogs::shown().first();
        QCOMPARE(shown.text, text);
        QCOMPARE(shown.title, QStringLiteral("Back-up Files"));
        QCOMPARE(shown.icon, Dialogs::Icon::Question);
        QCOMPARE(shown.buttons, int(Dialogs::Yes | Dialogs::No));
    }

    void exitYesGoesToTheBackupWindowAndEndsFromThere()
    {
        choose(QStringLiteral("appointmentsEntry"), QStringLiteral("enter"));
        bookToday(QStringLiteral("JONES"));

        Dialogs::pushAnswer(Dialogs::Yes);
        choose(QStringLiteral("exitEntry"), QStringLiteral("enter"));

        QVERIFY(Windows::exitAfterBackup());
        QVERIFY(!Windows::isOpen(Window::Appointments));
        QVERIFY(!Windows::isOpen(Window::Menu));
        QCOMPARE(ShellTest::visibleWindows(), QStringList {QStringLiteral("backupWindow")});
        QCOMPARE(m_quits, 0);
        QCOMPARE(cellOf(storedPage(m_data->databasePath(), Today), 1, 1), QStringLiteral("JONES"));

        auto* exit = Windows::find(Window::Backup)->findChild<QPushButton*>(QStringLiteral("exitButton"));
        QVERIFY(exit);
        QTest::mouseClick(exit, Qt::LeftButton);
        // The back-up window ends the program once its click handler is done.
        QTRY_COMPARE(m_quits, 1);
        QVERIFY(ShellTest::visibleWindows().isEmpty());
    }

    void exitNoEndsTheProgramKeepingTheDay()
    {
        choose(QStringLiteral("appointmentsEntry"), QStringLiteral("enter"));
        choose(QStringLiteral("setupEntry"), QStringLiteral("enter"));
        bookToday(QStringLiteral("SMITH"));
        auto* fixedMemo
            = Windows::find(Window::Appointments)->findChild<QPlainTextEdit*>(QStringLiteral("fixedMemoEdit"));
        QVERIFY(fixedMemo);
        fixedMemo->setPlainText(QStringLiteral("Staff meeting on Fridays"));

        Dialogs::pushAnswer(Dialogs::No);
        choose(QStringLiteral("exitEntry"), QStringLiteral("left"));

        QCOMPARE(m_quits, 1);
        QVERIFY(ShellTest::visibleWindows().isEmpty());
        for (Window window : {Window::Appointments, Window::Setup, Window::Menu})
            QVERIFY(!Windows::isOpen(window));
        QCOMPARE(cellOf(storedPage(m_data->databasePath(), Today), 1, 1), QStringLiteral("SMITH"));
        Settings s;
        QVERIFY(SettingsStore(m_data->db()).read(s).ok());
        QCOMPARE(s.fixedMemo, QStringLiteral("Staff meeting on Fridays"));
    }

    void exitNoWithTheOrderFormOpen()
    {
        // The order form closes the menu; the menu comes back from its Exit.
        choose(QStringLiteral("orderEntry"), QStringLiteral("enter"));
        auto* exit = Windows::find(Window::Order)->findChild<QPushButton*>(QStringLiteral("exitButton"));
        QVERIFY(exit);
        QTest::mouseClick(exit, Qt::LeftButton);
        m_menu = static_cast<MenuWindow*>(Windows::find(Window::Menu));
        QVERIFY(m_menu);
        activate(m_menu);

        Dialogs::pushAnswer(Dialogs::No);
        choose(QStringLiteral("exitEntry"), QStringLiteral("space"));
        QCOMPARE(m_quits, 1);
        QVERIFY(ShellTest::visibleWindows().isEmpty());
    }

    void exitNoDoesNotEndWhileTheDayCannotBeSaved()
    {
        choose(QStringLiteral("appointmentsEntry"), QStringLiteral("enter"));
        bookToday(QStringLiteral("BROWN"));
        // Another copy of the program holds the file.
        Database other(QStringLiteral("other"));
        QVERIFY(other.open(m_data->databasePath()).ok());
        QSqlQuery lock(other.connection());
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        m_data->db().retry().pause = [](qint64) {};

        Dialogs::pushAnswer(Dialogs::No); // no back-up
        Dialogs::pushAnswer(Dialogs::No); // do not retry the save
        choose(QStringLiteral("exitEntry"), QStringLiteral("enter"));

        QCOMPARE(m_quits, 0);
        QVERIFY(Dialogs::shown().last().text.endsWith(QStringLiteral(". Retry?")));
        QVERIFY(Windows::isOpen(Window::Appointments));
        QVERIFY(Windows::isOpen(Window::Menu));
        QCOMPARE(static_cast<ApptWindow*>(Windows::find(Window::Appointments))->grid()->cellText(1, 1),
            QStringLiteral("BROWN"));

        // Once the other copy lets go, the way out works and keeps the day.
        QVERIFY(lock.exec(QStringLiteral("COMMIT")));
        lock.finish();
        Dialogs::pushAnswer(Dialogs::No);
        choose(QStringLiteral("exitEntry"), QStringLiteral("enter"));
        QCOMPARE(m_quits, 1);
        QCOMPARE(cellOf(storedPage(m_data->databasePath(), Today), 1, 1), QStringLiteral("BROWN"));
    }
};

QTEST_MAIN(TestMenuWindow)
#include "tst_menuwindow.moc"
