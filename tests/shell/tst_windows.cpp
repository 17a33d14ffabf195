#include "TestSupport.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "shell/ReadmeWindow.h"
#include "shell/SplashWindow.h"
#include "shell/Startup.h"
#include "shell/WindowCatalog.h"
#include "shell/Windows.h"
#include "store/Database.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// The program's windows as the user meets them (the splash, the main menu,
// the read-me), the rules every window is opened and closed by, and how every
// window fits the screen (CTest runs everyWindowFitsTheScreen once per screen
// size and scale, set through the offscreen platform's screen file).
class TestWindows : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    QWidget* m_menu = nullptr;
    int m_quits = 0;

    static QStringList visibleWindows()
    {
        QStringList names;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible())
                names << w->objectName();
        }
        names.sort();
        return names;
    }

    // Runs the event loop as main() does, with start queued in it; how often
    // the last shown window went, which ends the program.
    static int runProgram(const std::function<void()>& start)
    {
        QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
        QTimer::singleShot(0, qApp, start);
        // Only a way out should the program never end.
        QTimer::singleShot(60000, &lastWindowClosed, [] { QCoreApplication::exit(3); });
        return QCoreApplication::exec() == 0 ? int(lastWindowClosed.count()) : -1;
    }

    // Chooses a control of the menu by a key with the focus on it or by a
    // mouse button pressed on it.
    void choose(const char* name, int keyOrButton = Qt::Key_Return)
    {
        m_menu = m_menu ? m_menu : Windows::open(Window::Menu);
        m_menu->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_menu));
        QWidget* c = m_menu->findChild<QWidget*>(QString::fromLatin1(name));
        c->setFocus();
        if (keyOrButton > int(Qt::RightButton))
            QTest::keyClick(c, Qt::Key(keyOrButton));
        else
            QTest::mouseClick(c, Qt::MouseButton(keyOrButton));
    }

    ApptWindow* bookToday(const QString& name)
    {
        choose("appointmentsEntry");
        auto* appt = static_cast<ApptWindow*>(Windows::find(Window::Appointments));
        appt->grid()->setCellText(1, 1, name);
        return appt;
    }

    // What a label, button or box needs to show its whole text, where it has
    // less. A push button's size hint has a least width of its own: only the
    // text and the margins must fit; a box has its frame and a margin of 2.
    static QString clipped(const QWidget* w)
    {
        const auto* label = qobject_cast<const QLabel*>(w);
        const bool button = w->inherits("QAbstractButton");
        const QString text = w->property("text").toString();
        QSize needs = w->fontMetrics().size(Qt::TextShowMnemonic, text)
            + QSize(2 * w->style()->pixelMetric(button ? QStyle::PM_ButtonMargin : QStyle::PM_DefaultFrameWidth)
                    + (button ? 0 : 4),
                0);
        if (label)
            needs = label->wordWrap() ? QSize(0, label->heightForWidth(w->width())) : w->sizeHint();
        if (text.isEmpty() || (needs.width() <= w->width() && needs.height() <= w->height()))
            return QString();
        return w->objectName() + QDebug::toString(needs) + QDebug::toString(w->size());
    }

private slots:
    void init()
    {
        Windows::setQuitHandler([this] { ++m_quits; });
        m_quits = 0;
        m_data = std::make_unique<TestSupport::DataFixture>();
        Windows::unregisterAll();
        registerProgramWindows(m_data->db());
    }

    void cleanup()
    {
        Windows::discardAll();
        m_menu = nullptr;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Dialogs::resetRecord();
        m_data.reset();
    }

    // The menu is loaded hidden behind the splash, which Shift alone or a
    // click on its picture leave alone. The program lasts while a window of it
    // is shown: the splash going as the menu comes up must not end it, nor
    // must the hidden menu alone keep it going. (scope: what is queued below
    // goes with the test should the program end early.)
    void theSplashGivesWayToTheMenu_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("a key") << "key";
        QTest::newRow("a click on the panel") << "click";
        QTest::newRow("the splash closed") << "close";
    }

    void theSplashGivesWayToTheMenu()
    {
        QFETCH(QString, how);
        QStringList shownAfterSplash;
        QObject scope;
        const int lastWindowsClosed = runProgram([&] {
            auto* splash = static_cast<SplashWindow*>(Windows::open(Window::Splash));
            auto* logo = splash->findChild<QLabel*>(QStringLiteral("logo"));
            QVERIFY(!logo->pixmap().isNull());
            QTest::keyClick(splash, Qt::Key_Shift);
            QTest::mouseClick(logo, Qt::LeftButton, {}, QPoint(8, 8));
            QVERIFY(Windows::isOpen(Window::Menu));
            QCOMPARE(visibleWindows(), QStringList {QStringLiteral("splashWindow")});
            if (how == QLatin1String("close")) {
                Windows::close(Window::Splash);
                return;
            }
            if (how == QLatin1String("key"))
                QTest::keyClick(splash, Qt::Key_A);
            else
                QTest::mouseClick(splash->panel(), Qt::LeftButton, {}, QPoint(8, 8));
            // Queued behind any quit request the splash's going made.
            QTimer::singleShot(0, &scope, [&] {
                shownAfterSplash = visibleWindows();
                Windows::close(Window::Menu);
            });
        });
        QCOMPARE(lastWindowsClosed, 1);
        QCOMPARE(shownAfterSplash, how == QLatin1String("close") ? QStringList() : QStringList {"mainMenu"});
    }

    // The arrows go round the entries and open nothing.
    void arrowKeysMoveRoundTheEntries()
    {
        // The entry with the focus shows as chosen, from the start on.
        m_menu = Windows::open(Window::Menu);
        QVERIFY(m_menu->findChild<QRadioButton*>(QStringLiteral("appointmentsEntry"))->isChecked());
        choose("appointmentsEntry", Qt::Key_Up);
        for (const auto& [key, to] : {std::pair {Qt::Key_Down, "appointmentsEntry"}, {Qt::Key_Down, "setupEntry"},
                 {Qt::Key_Right, "backupEntry"}, {Qt::Key_Left, "setupEntry"}}) {
            QTest::keyClick(QApplication::focusWidget(), key);
            QCOMPARE(QApplication::focusWidget()->objectName(), QLatin1String(to));
            QVERIFY(static_cast<QRadioButton*>(QApplication::focusWidget())->isChecked());
        }
        QCOMPARE(visibleWindows(), QStringList {QStringLiteral("mainMenu")});
    }

    // The button, by the keypad's Enter: the read-me, then the licence (by
    // Enter in the text), then back to the menu.
    void theReadmeButtonShowsTheDocuments()
    {
        TestSupport::sqlOnFile(m_data->databasePath(), QStringLiteral("UPDATE tbl_Setup SET Readme='R', Licence='L'"));
        choose("readmeButton", Qt::Key_Enter);
        auto* readme = static_cast<ReadmeWindow*>(Windows::find(Window::Readme));
        QCOMPARE(readme->text()->toPlainText(), QStringLiteral("R"));
        QTest::keyClick(readme->text(), Qt::Key_Return);
        QCOMPARE(readme->text()->toPlainText(), QStringLiteral("L"));
        QTest::mouseClick(readme->button(), Qt::LeftButton);
        QCOMPARE(visibleWindows(), QStringList {QStringLiteral("mainMenu")});
    }

    void exitYesGoesToTheBackupWindow()
    {
        bookToday(QStringLiteral("JONES"));
        Dialogs::pushAnswer(Dialogs::Yes);
        choose("exitEntry");
        QCOMPARE(visibleWindows(), QStringList {QStringLiteral("backupWindow")});
        QVERIFY(Windows::exitAfterBackup());
        QCOMPARE(TestSupport::storedCell(m_data->db(), 1, 1), QStringLiteral("JONES"));
    }

    // Exit, No: the program ends once the day is saved. While another copy
    // holds the file and the user does not retry the save, the appointment
    // window stays, and so does the program.
    void exitNoEndsTheProgramKeepingTheDay()
    {
        ApptWindow* appt = bookToday(QStringLiteral("BROWN"));
        Database other(QStringLiteral("other"));
        QVERIFY(other.open(m_data->databasePath()).ok());
        QVERIFY(TestSupport::holdWriteLock(other.connection()));
        m_data->db().retry().pause = [](qint64) {};
        for (int i = 0; i < 3; ++i)
            Dialogs::pushAnswer(Dialogs::No); // no back-up, no retry; at the end, no retry
        choose("exitEntry");
        QVERIFY(!Windows::endProgram());
        QCOMPARE(m_quits, 0);
        QCOMPARE(Windows::find(Window::Appointments), appt);
        QCOMPARE(appt->grid()->cellText(1, 1), QStringLiteral("BROWN"));

        other.close();
        choose("setupEntry");
        Dialogs::pushAnswer(Dialogs::No);
        choose("exitEntry", Qt::LeftButton);
        QCOMPARE(m_quits, 1);
        QVERIFY(visibleWindows().isEmpty());
        QCOMPARE(TestSupport::storedCell(m_data->db(), 1, 1), QStringLiteral("BROWN"));
    }

    // Each window, opened by its menu entry (by another key or mouse button
    // each) where it has one, then: the frame on the screen's free area,
    // every text whole and inside the window. The texts are the longest a
    // window shows.
    // A file of an earlier version gets its search index on the first start
    // (here with no delay for the progress window); a file up to date shows
    // no progress.
    void startingOnAnOlderFileShowsProgress()
    {
        TestSupport::bookCell(m_data->db(), TestSupport::Today, Settings::defaults(), 2, 1, "Ann");
        m_data->db().close();
        TestSupport::sqlOnFile(
            m_data->databasePath(), "DROP TABLE day_search; DROP TABLE tbl_History; PRAGMA user_version = 2");
        Dialogs::setProgressDelay(0);
        for (int start = 1; start <= 2; ++start) {
            Database started("started");
            QVERIFY(openDatabaseShowingProgress(started, m_data->databasePath()).ok());
            QCOMPARE(Dialogs::progressShown().size(), 1);
        }
    }

    void everyWindowFitsTheScreen_data()
    {
        QTest::addColumn<Window>("window");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("how");
        QTest::addColumn<QStringList>("shown");
        const auto row
            = [](const char* tag, Window window, const char* entry = "", int how = 0, QStringList shown = {}) {
                  QTest::newRow(tag) << window << QString::fromLatin1(entry) << how << shown;
              };
        row("splash", Window::Splash);
        row("menu", Window::Menu);
        row("appointments", Window::Appointments, "appointmentsEntry", Qt::Key_Return,
            {"appointmentWindow", "mainMenu"});
        row("set-up", Window::Setup, "setupEntry", Qt::RightButton, {"mainMenu", "setupWindow"});
        row("back-up", Window::Backup, "backupEntry", Qt::LeftButton, {"backupWindow"});
        row("order", Window::Order, "orderEntry", Qt::Key_Space, {"orderWindow"});
        row("read-me", Window::Readme, "readmeButton", Qt::Key_Enter, {"readmeWindow"});
    }

    void everyWindowFitsTheScreen()
    {
        QFETCH(Window, window);
        QFETCH(QString, entry);
        QFETCH(int, how);
        QFETCH(QStringList, shown);
        TestSupport::sqlOnFile(m_data->databasePath(),
            QStringLiteral(
                "UPDATE tbl_Setup SET location = 'Physiotherapy Centre', Listno = 8, Names = ' Dr. Alexandra "
                "Whitfield - Benjamin Okonkwo - Catherine Delacroix - Dominic Fairweather - Eleanor Vasquez - "
                "Frederick Lindqvist - Gwendolyn Abernathy - Harrison Montgomery'"));
        Windows::setExitAfterBackup(true);
        if (!entry.isEmpty()) {
            choose(qPrintable(entry), how);
            QCOMPARE(visibleWindows(), shown);
            // Only the back-up entry says that the back-up is not the way out.
            QCOMPARE(Windows::exitAfterBackup(), window != Window::Backup);
        }
        // Opened again, a window is the same one, brought to the front.
        QWidget* first = Windows::find(window);
        QWidget cover;
        cover.show();
        QVERIFY(QTest::qWaitForWindowActive(&cover));
        QWidget* w = Windows::open(window);
        QVERIFY(QTest::qWaitForWindowExposed(w) && (!first || first == w));
        QTRY_COMPARE(QApplication::activeWindow(), w);
        if (window == Window::Appointments)
            QTest::keyClick(w, Qt::Key_F, Qt::AltModifier); // the memo pads' longer hints
        const QRect screen = w->screen()->availableGeometry(), frame = w->frameGeometry();
        QVERIFY2(window == Window::Appointments ? frame == screen : screen.contains(frame),
            qPrintable(QDebug::toString(frame)));
        for (QWidget* child : w->findChildren<QWidget*>()) {
            if (!child->isVisibleTo(w) || !child->property("text").isValid())
                continue;
            QVERIFY2(
                w->rect().contains(QRect(child->mapTo(w, QPoint()), child->size())), qPrintable(child->objectName()));
            QTRY_VERIFY2(clipped(child).isEmpty(), qPrintable(clipped(child))); // once laid out anew
        }
        // The page of 8 providers: its columns never narrower than designed;
        // whole, sharing the width, where the screen has room (1600x1200);
        // where it has not (800x800), scrolling sideways, each day opening at
        // its left edge.
        if (auto* appt = qobject_cast<ApptWindow*>(w)) {
            DayGrid* grid = appt->grid();
            QScrollBar* sideways = grid->horizontalScrollBar();
            for (int c = 0; c < 8; ++c)
                QVERIFY(grid->columnWidth(c) >= Twips::toPixels(1880) + (screen.height() >= 1200));
            QVERIFY(screen.height() < 1200 || !(grid->verticalScrollBar()->isVisible() || sideways->isVisible()));
            grid->setCurrentCell(5, 8);
            QCOMPARE(sideways->value() > 0, sideways->maximum() > 0);
            QVERIFY(appt->changeDay(TestSupport::Today.addDays(1)));
            QCOMPARE(sideways->value(), 0);
        }
        // The provider names wrap whole into their box, the last tab stop.
        if (auto* names = w->findChild<QPlainTextEdit*>(QStringLiteral("providerNamesText"))) {
            QCOMPARE(names->verticalScrollBar()->maximum() + names->horizontalScrollBar()->maximum(), 0);
            w->findChild<QWidget*>(QStringLiteral("resetButton"))->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), names);
        }
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
