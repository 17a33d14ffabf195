#include "DeskProcess.h"
#include "Keyboard.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "appointments/FindPanel.h"
#include "appointments/HistoryPanel.h"
#include "appointments/MonthCalendar.h"
#include "appointments/PrintDayCommand.h"
#include "core/PageText.h"
#include "platform/Dialogs.h"
#include "platform/PdfPrintTarget.h"
#include "platform/PrintJob.h"
#include "shell/Windows.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolTip>

using Keyboard::focus;
using Keyboard::press;
using Keyboard::type;
using TestSupport::Today;

class TestApptWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    QPointer<ApptWindow> m_window;

    template<typename T = QWidget> T* child(const char* name) const
    {
        return m_window->findChild<T*>(QLatin1String(name));
    }
    QLineEdit* editBox() const { return child<QLineEdit>("cellEditor"); }
    DayGrid* grid() const { return m_window->grid(); }
    FindPanel* panel() const { return m_window->findPanel(); }
    QPlainTextEdit* pad(const char* name) const { return child<QPlainTextEdit>(name); }

    QString storedCell(const QDate& date, int row, int col)
    {
        return TestSupport::storedCell(m_data->db(), row, col, date);
    }

    void startEdit(int row, int col, const QString& text)
    {
        grid()->setFocus();
        grid()->setCurrentCell(row, col);
        type(text);
    }

private slots:
    void initTestCase() { PrintJob::setPrinterDisabled(true); }

    void init()
    {
        Dialogs::resetRecord();
        m_data = std::make_unique<TestSupport::DataFixture>();
        m_window = new ApptWindow(m_data->db(), Windows::host());
        m_window->show();
        QApplication::setActiveWindow(m_window);
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }

    void cleanup()
    {
        delete m_window.data();
        m_data.reset();
    }

    // A day booked from the keyboard alone: nothing typed is lost on the way.
    void bookingDaysWithTheKeyboardAlone()
    {
        type(QStringLiteral("SMITH")); // typing straight away books the first slot
        press(Qt::Key_Return);
        press(Qt::Key_Tab); // to the calendar
        press(Qt::Key_Right); // tomorrow, not yet opened
        QCOMPARE(m_window->currentDate(), Today);
        press(Qt::Key_Return);
        QCOMPARE(m_window->currentDate(), Today.addDays(1));
        QCOMPARE(focus(), grid());
        press(Qt::Key_Down); // from the first slot, two rows down
        press(Qt::Key_Down);
        type(QStringLiteral("NGUYEN"));
        press(Qt::Key_Return);
        press(Qt::Key_Tab); // back to the calendar
        press(Qt::Key_D, Qt::AltModifier); // daily memo
        type(QStringLiteral("call back"));
        press(Qt::Key_Tab);
        QCOMPARE(focus(), child("monthCalendar"));
        press(Qt::Key_Escape); // today again
        QCOMPARE(grid()->cellText(2, 1), QStringLiteral("SMITH"));
        QCOMPARE(storedCell(Today.addDays(1), 4, 1), QStringLiteral("NGUYEN"));
        QCOMPARE(TestSupport::storedDay(m_data->db(), Today.addDays(1))->memo, QStringLiteral("call back"));
    }

    void closingTheWindowAnyWaySavesTheDay_data()
    {
        QTest::addColumn<bool>("altE");
        QTest::newRow("close box") << false;
        QTest::newRow("Alt-E") << true;
    }

    void closingTheWindowAnyWaySavesTheDay()
    {
        QFETCH(bool, altE);
        grid()->setCellText(3, 4, QStringLiteral("GRAY")); // on the page, not stored (a declined retry)
        startEdit(2, 4, QStringLiteral("GREEN")); // still being typed
        if (altE)
            press(Qt::Key_E, Qt::AltModifier);
        else
            m_window->close();
        QTRY_VERIFY(!m_window->isVisible());
        QCOMPARE(storedCell(Today, 2, 4), QStringLiteral("GREEN"));
        QCOMPARE(storedCell(Today, 3, 4), QStringLiteral("GRAY"));
    }

    // A day booked before the practice's layout changed is shown, and saved
    // again, with every booking at its own time and provider column.
    void aChangeOfLayoutMovesNoBooking()
    {
        const QDate day = Today.addDays(1);
        TestSupport::bookCell(m_data->db(), day, Settings::defaults(), 4, 2, QStringLiteral("LEE")); // 09:00 AM
        TestSupport::bookCell(m_data->db(), day, Settings::defaults(), 20, 1, QStringLiteral("LAST"));
        const TestSupport::Places before = TestSupport::placesOf(*TestSupport::storedDay(m_data->db(), day));
        Settings hourly = Settings::defaults();
        hourly.slotMinutes = 60;
        QVERIFY(SettingsStore(m_data->db()).writeLayout(hourly).ok());
        QVERIFY(m_window->changeDay(day));
        QCOMPARE(grid()->cellText(3, 0) + grid()->cellText(3, 2), QStringLiteral("09:00 AMLEE"));
        QVERIFY(m_window->changeDay(Today));
        QCOMPARE(TestSupport::placesOf(*TestSupport::storedDay(m_data->db(), day)), before);
    }

    // An Alt key, one the window acts on or one it does not (Q), is never
    // typed into the text that has the focus ("Lee" + Alt-D once stored
    // "Leed"; Alt-E is the closing test's).
    void altShortcutsNeverTypeIntoTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        for (const char* text : {"slot", "daily memo", "fixed memo", "find box"}) {
            for (const int key : {Qt::Key_C, Qt::Key_D, Qt::Key_F, Qt::Key_M, Qt::Key_Y, Qt::Key_P, Qt::Key_Q})
                QTest::addRow("%s, Alt-%c", text, char(key)) << QString::fromLatin1(text) << key;
        }
    }

    void altShortcutsNeverTypeIntoTheText()
    {
        QFETCH(QString, text);
        QFETCH(int, key);
        auto* daily = pad("dailyMemoEdit");
        if (text == QLatin1String("slot"))
            grid()->setFocus();
        else if (text == QLatin1String("daily memo"))
            daily->setFocus();
        else
            QTest::mouseClick(
                child<QPushButton>(text == QLatin1String("find box") ? "findButton" : "memoButton"), Qt::LeftButton);
        type(QStringLiteral("Lee"));
        press(key, Qt::AltModifier);
        QCOMPARE(
            editBox()->text() + daily->toPlainText() + pad("fixedMemoEdit")->toPlainText() + panel()->findBox()->text(),
            QStringLiteral("Lee"));
    }

    // Alt-C reaches the open/closed list; the flag is stored as it is chosen
    // and the page drawn in the closed day's colour.
    void closedDayIsStoredAndDrawnClosed()
    {
        press(Qt::Key_C, Qt::AltModifier);
        child<QComboBox>("openClosedCombo")->setCurrentIndex(1);
        press(Qt::Key_Tab);
        QVERIFY(TestSupport::storedDay(m_data->db(), Today)->closed);
        const QRect cell = grid()->visualRect(grid()->model()->index(5, 2));
        QCOMPARE(grid()->viewport()->grab().toImage().pixelColor(cell.center()), ApptWindow::ClosedDayColour);
    }

    // Ctrl+Z, Ctrl+Y and Delete while a slot or a memo is typed are the text
    // box's own: the page's earlier change stays and nothing typed is lost.
    // Then the page's undo goes on; another day starts with nothing to undo
    // or redo.
    void undoKeysStayWithTheTextBeingTyped()
    {
        startEdit(2, 1, QStringLiteral("JONES"));
        press(Qt::Key_Return);
        startEdit(3, 1, QStringLiteral("KIM"));
        press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(editBox()->text(), QString());
        press(Qt::Key_Y, Qt::ControlModifier);
        press(Qt::Key_Home);
        press(Qt::Key_Delete);
        press(Qt::Key_Return);
        QCOMPARE(storedCell(Today, 3, 1), QStringLiteral("IM"));

        press(Qt::Key_D, Qt::AltModifier);
        type(QStringLiteral("ring back"));
        press(Qt::Key_Home);
        type(QStringLiteral("X"));
        press(Qt::Key_Z, Qt::ControlModifier); // the pad's own typing, step by step
        QCOMPARE(pad("dailyMemoEdit")->toPlainText(), QStringLiteral("ring back"));
        press(Qt::Key_Z, Qt::ControlModifier);
        press(Qt::Key_Z, Qt::ControlModifier); // then the page's last change
        QCOMPARE(storedCell(Today, 3, 1), QString());

        QVERIFY(m_window->changeDay(Today.addDays(1)));
        press(Qt::Key_Y, Qt::ControlModifier); // the slot's redo belongs to the other day
        QCOMPARE(grid()->cellText(3, 1), QString());

        QVERIFY(m_window->changeDay(Today));
        startEdit(4, 1, QStringLiteral("ROSS"));
        press(Qt::Key_Return);

        // Another desk stores the day in a layout with a booking this page has
        // no row for: the undo of ROSS moves the page into it, and the steps,
        // kept in the old layout, end with it.
        DayStore store(m_data->db());
        DayRecord stored;
        bool created = false;
        QVERIFY(store.open(Today, Settings::defaults(), stored, created).ok());
        DayRecord tens = stored;
        tens.slotMinutes = 10;
        PageText::Cells cells = PageText::fit(QString(), DayLayout::fromRecord(tens).pageRows(), 4);
        cells[1][0] = QStringLiteral("JONES");
        cells[2][0] = QStringLiteral("LEE"); // 08:10
        cells[7][0] = QStringLiteral("ROSS"); // 09:00
        tens.pageText = PageText::join(cells);
        QVERIFY(store.save(stored, tens).status.ok());
        grid()->setFocus();
        press(Qt::Key_Z, Qt::ControlModifier);
        press(Qt::Key_Z, Qt::ControlModifier);
        cells[7][0].clear();
        QCOMPARE(TestSupport::storedDay(m_data->db())->pageText, PageText::join(cells));
        QCOMPARE(m_window->layout().timeTexts.value(1), QStringLiteral("08:10 AM"));
    }

    // A name too long for its cell shows whole in a tooltip; a short one none.
    void longNameShowsWholeInATooltip()
    {
        const QString name = QStringLiteral("MRS ALEXANDRA KOWALCZYK-PAPADOPOULOU, NEW PATIENT, BRING X-RAYS");
        for (const QString& text : {QStringLiteral("ANNA"), name}) {
            grid()->setCellText(3, 1, text);
            const QPoint at = grid()->visualRect(grid()->model()->index(2, 0)).center();
            QHelpEvent hover(QEvent::ToolTip, at, grid()->viewport()->mapToGlobal(at));
            QApplication::sendEvent(grid()->viewport(), &hover);
            QCOMPARE(QToolTip::text(), text == name ? name : QString());
        }
    }

    // The panel lists as it is typed into and opens nothing by itself; Esc
    // gives the focus back; opened again it finds what was stored meanwhile;
    // Enter opens the chosen day, in its own layout, on the found slot.
    void findingAClientsAppointment()
    {
        Settings earlier = Settings::defaults(); // three providers from 09:00 AM by the hour
        earlier.providerCount = 3;
        earlier.open = QStringLiteral("09:00 AM");
        earlier.slotMinutes = 60;
        TestSupport::bookCell(m_data->db(), Today.addDays(-3), earlier, 6, 3, QStringLiteral("Kimball / LEE"));
        TestSupport::bookCell(
            m_data->db(), Today.addDays(9), Settings::defaults(), 5, 4, QStringLiteral("kimball ann"));
        QVERIFY(m_window->changeDay(Today.addDays(1))); // where Esc outside the panel goes back to today
        grid()->setCellText(2, 1, QStringLiteral("WALK IN")); // on the page, not stored (a declined retry)
        grid()->setFocus();
        press(Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(focus(), panel()->findBox());
        type(QStringLiteral("kimb"));
        QCOMPARE(panel()->resultList()->count(), 2);
        QVERIFY(panel()->resultList()->item(0)->text().endsWith(QLatin1String("kimball ann")));
        type(QStringLiteral("zz"));
        QCOMPARE(panel()->statusLabel()->text(), QStringLiteral("No appointments found"));
        // Two letters: the days nearest today while typing, every day after a pause.
        for (int k = 0; k < 260; ++k)
            TestSupport::bookCell(
                m_data->db(), Today.addDays(-10 - k), Settings::defaults(), 2, 1, k < 259 ? "A" : "QX");
        panel()->findBox()->selectAll();
        type(QStringLiteral("qx"));
        QCOMPARE(panel()->resultList()->count(), 0);
        QTRY_COMPARE(panel()->resultList()->count(), 1);
        panel()->findBox()->selectAll();
        type(QStringLiteral("kimbzz"));
        press(Qt::Key_Return);
        QVERIFY(panel()->isVisible());
        press(Qt::Key_Escape);
        QVERIFY(!panel()->isVisible());
        QCOMPARE(focus(), grid());
        QCOMPARE(m_window->currentDate(), Today.addDays(1));

        TestSupport::bookCell(m_data->db(), Today.addDays(30), Settings::defaults(), 2, 2, QStringLiteral("KIMBZZ"));
        child("dailyMemoEdit")->setFocus();
        QTest::mouseClick(child<QPushButton>("findButton"), Qt::LeftButton);
        QCOMPARE(panel()->findBox()->selectedText(), QStringLiteral("kimbzz"));
        QCOMPARE(panel()->resultList()->count(), 1);
        type(QStringLiteral("kimball"));
        press(Qt::Key_Down); // the latest past day
        press(Qt::Key_Return);
        QVERIFY(!panel()->isVisible());
        QCOMPARE(m_window->currentDate(), Today.addDays(-3));
        QCOMPARE(m_window->calendar()->dates()[size_t(m_window->calendar()->selectedIndex())], Today.addDays(-3));
        QCOMPARE(focus(), grid());
        QCOMPARE(QPoint(grid()->currentColGrid(), grid()->currentRowGrid()), QPoint(3, 6));
        QCOMPARE(grid()->cellText(6, 0), QStringLiteral("01:00 PM"));
        QCOMPARE(storedCell(Today.addDays(1), 2, 1), QStringLiteral("WALK IN"));
    }

    // Ctrl+Shift+H lists the day's stored changes, Alt-H (the History
    // button) the current slot's, newest first; Enter on the one that emptied
    // the slot puts its text back as a change of its own, stored, recorded
    // and taken back by Ctrl+Z; Esc gives the focus back to the page.
    void puttingBackATextFromTheHistory()
    {
        HistoryPanel* history = m_window->historyPanel();
        startEdit(3, 1, QStringLiteral("LEE"));
        press(Qt::Key_Return);
        startEdit(3, 2, QStringLiteral("NOVAK"));
        press(Qt::Key_Return);
        press(Qt::Key_Delete);
        press(Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(focus(), history->entryList());
        QCOMPARE(history->entryList()->count(), 3);
        press(Qt::Key_Escape);
        QVERIFY(!history->isVisible());
        QCOMPARE(focus(), grid());
        press(Qt::Key_H, Qt::AltModifier);
        QCOMPARE(history->entryList()->count(), 2);
        QVERIFY(history->entryList()->item(0)->text().endsWith(QLatin1String("\"NOVAK\" -> \"\"")));
        press(Qt::Key_Return);
        QVERIFY(!history->isVisible());
        QCOMPARE(focus(), grid());
        QCOMPARE(grid()->cellText(3, 2), QStringLiteral("NOVAK"));
        QCOMPARE(storedCell(Today, 3, 2), QStringLiteral("NOVAK"));
        press(Qt::Key_H, Qt::ControlModifier);
        QCOMPARE(history->shownEntries().size(), 3);
        QCOMPARE(history->shownEntries().first().after, QStringLiteral("NOVAK"));
        press(Qt::Key_Escape);
        press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(storedCell(Today, 3, 2), QString());
    }

    // ---- printing the day's lists

    // Alt-P prints the day shown, not the day the calendar has moved on to,
    // and print-day prints the same. Ctrl+P does what Alt-P does where there
    // is no printer, and shows the same pages in the print dialog's preview
    // where there is one.
    void printKeysPrintTheShownDay()
    {
        startEdit(3, 2, QStringLiteral("DAVE"));
        press(Qt::Key_Return);
        press(Qt::Key_Tab); // to the calendar
        press(Qt::Key_Right);
        press(Qt::Key_P, Qt::AltModifier);
        const QString pdf = QDir(m_data->folder()).filePath(QStringLiteral("appointments-2024-05-15.pdf"));
        QTRY_COMPARE(Dialogs::shown().size(), 1);
        QVERIFY(Dialogs::shown()[0].text.contains(QDir::toNativeSeparators(pdf)));
        const QStringList pages = TestSupport::pdfPages(pdf);
        QCOMPARE(pages.size(), 4);
        QVERIFY2(pages[1].contains(QRegularExpression(QStringLiteral("08:30 AM +DAVE\n"))), qPrintable(pages[1]));
        const QString printed = TestSupport::pdfText(pdf);
        QVERIFY(QFile::remove(pdf));
        press(Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(Dialogs::shown().value(1).text, Dialogs::shown()[0].text);
        QCOMPARE(TestSupport::pdfText(pdf), printed);

        const QString shown = m_data->folder() + QStringLiteral("/shown.pdf");
        // The printer is never used: the dialog is closed without printing.
        PrintJob::setPrinter([](const QString&) { return std::unique_ptr<PrintTarget>(); });
        PrintJob::setPreview([&](const PrintJob::Job& paint) {
            paint(*std::make_unique<PdfPrintTarget>(shown, QString()));
            return false;
        });
        press(Qt::Key_P, Qt::ControlModifier);
        PrintJob::setPrinter({});
        PrintJob::setPreview({});
        QCOMPARE(TestSupport::pdfText(shown), printed);
        m_window->close();
        const QString fromCommand = QDir(m_data->folder()).filePath(QStringLiteral("from-command.pdf"));
        QCOMPARE(PrintDayCommand::run({QStringLiteral("2024-05-15")}, fromCommand), 0);
        QCOMPARE(TestSupport::pdfText(fromCommand), printed);
    }

    // ---- on one of several desks sharing the file

    // Every commit is stored at once, and what other desks save shows up on
    // the page without disturbing the person typing. The merge rules are
    // DayMerge's, tested in core; here each kind of other desk (a real
    // appointment window, a connection of this process, a store holding the
    // file) shows them reach the window.

    void committedCellIsStoredAtOnce_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Tab") << int(Qt::Key_Tab);
    }

    void committedCellIsStoredAtOnce()
    {
        QFETCH(int, key);
        startEdit(3, 2, QStringLiteral("SMITH"));
        QCOMPARE(storedCell(Today, 3, 2), QString()); // still being typed
        press(key);
        QCOMPARE(storedCell(Today, 3, 2), QStringLiteral("SMITH"));

        // Emptied again, the day keeps its record while shown; left, it is
        // deleted as before.
        startEdit(3, 2, QStringLiteral("X"));
        editBox()->clear();
        press(key);
        QCOMPARE(storedCell(Today, 3, 2), QString());
        QVERIFY(TestSupport::storedDay(m_data->db()));
        m_window->close();
        QVERIFY(!TestSupport::storedDay(m_data->db()));
    }

    // The memo's pause commits the day while a cell is still being typed:
    // the cell waits for its edit to end.
    void cellBeingTypedIsStoredWhenItsEditEnds()
    {
        startEdit(3, 2, QStringLiteral("KI"));
        QTest::mouseClick(pad("dailyMemoEdit")->viewport(), Qt::LeftButton);
        QCOMPARE(focus(), pad("dailyMemoEdit"));
        type(QStringLiteral("ring back"));
        QTRY_COMPARE_WITH_TIMEOUT(TestSupport::storedDay(m_data->db())->memo, QStringLiteral("ring back"), 10'000);
        QVERIFY(editBox()->isVisible());
        QCOMPARE(storedCell(Today, 3, 2), QString());
        press(Qt::Key_D, Qt::AltModifier);
        QCOMPARE(storedCell(Today, 3, 2), QStringLiteral("KI"));
    }

    // Another appointment window, in a process of its own, books while a
    // cell is being typed here: the edit goes on untouched, a cell on this
    // page not yet stored keeps both names, and each window sees what the
    // other commits.
    void twoRealWindowsSeeEachOthersNames()
    {
        DeskProcess desk(QStringLiteral(DESK_WINDOW), {m_data->folder(), m_data->databasePath()});
        QCOMPARE(desk.next(), QStringLiteral("ready"));
        grid()->setCellText(5, 1, QStringLiteral("GREEN")); // as a declined retry leaves it
        startEdit(3, 2, QStringLiteral("KIM"));
        editBox()->setCursorPosition(1);
        type(QStringLiteral("A"));
        desk.send("edit 3 2 BROWN\nenter\nedit 5 1 GRAY\nenter\nedit 2 1 SMITH\nenter");
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(desk.next(), QStringLiteral("editing"));
            QCOMPARE(desk.next(), QStringLiteral("entered"));
        }
        QTRY_COMPARE(grid()->cellText(2, 1), QStringLiteral("SMITH"));
        QCOMPARE(grid()->cellText(5, 1), QStringLiteral("GREEN / GRAY"));
        QCOMPARE(focus(), editBox());
        QCOMPARE(editBox()->text(), QStringLiteral("KAIM"));
        QCOMPARE(editBox()->cursorPosition(), 2);
        QCOMPARE(grid()->currentRowGrid(), 3);

        press(Qt::Key_Return);
        QCOMPARE(grid()->cellText(3, 2), QStringLiteral("KAIM / BROWN"));
        QTRY_COMPARE(desk.ask("cell 3 2"), QStringLiteral("cell KAIM / BROWN"));
        QVERIFY(desk.end());
        QCOMPARE(storedCell(Today, 3, 2), QStringLiteral("KAIM / BROWN"));
        QCOMPARE(storedCell(Today, 5, 1), QStringLiteral("GREEN / GRAY"));
        QCOMPARE(storedCell(Today, 2, 1), QStringLiteral("SMITH"));
    }

    // Another desk, through a connection of its own, closes the day and
    // changes both memos while the daily memo is being typed here: the flag
    // and the fixed memo follow, the daily memo keeps both texts and its
    // cursor.
    void otherDesksClosedFlagAndMemosFollow()
    {
        press(Qt::Key_D, Qt::AltModifier);
        type(QStringLiteral("ring back"));
        QTextCursor cursor = pad("dailyMemoEdit")->textCursor();
        cursor.setPosition(4);
        pad("dailyMemoEdit")->setTextCursor(cursor);
        Database other(QStringLiteral("other desk"));
        QVERIFY(other.open(m_data->databasePath()).ok());
        QVERIFY(changeToday(other, [](DayRecord& r) {
            r.closed = true;
            r.memo = QStringLiteral("holiday");
        }));
        QVERIFY(SettingsStore(other).writeFixedMemo(QStringLiteral("new number 555")).ok());
        QTRY_COMPARE(grid()->cellBackground(), ApptWindow::ClosedDayColour);
        QVERIFY(child<QCheckBox>("closedCheck")->isChecked());
        QTRY_COMPARE(pad("fixedMemoEdit")->toPlainText(), QStringLiteral("new number 555"));
        QCOMPARE(pad("dailyMemoEdit")->toPlainText(), QStringLiteral("ring back\nholiday"));
        QCOMPARE(pad("dailyMemoEdit")->textCursor().position(), 4);
        QCOMPARE(focus(), pad("dailyMemoEdit"));
    }

    // Another copy of the store holds the file longer than the window waits:
    // No keeps the text on the page (and the window open), Yes once the file
    // is free stores it all.
    void busyLongerThanTheRetryBoundLosesNothing()
    {
        DeskProcess holder(QStringLiteral(STORE_STRESS), {QStringLiteral("hold-lock"), m_data->databasePath()});
        QCOMPARE(holder.next(), QStringLiteral("locked"));
        m_data->db().retry().pause = [](qint64) {};
        Dialogs::pushAnswer(Dialogs::No);
        startEdit(2, 1, QStringLiteral("WHITE"));
        press(Qt::Key_Return);
        QVERIFY(Dialogs::shown().last().text.endsWith(QStringLiteral(". Retry?")));
        QCOMPARE(grid()->cellText(2, 1), QStringLiteral("WHITE"));
        Dialogs::pushAnswer(Dialogs::No);
        QVERIFY(!m_window->close());

        Dialogs::pushAnswer(Dialogs::Yes, [&] { QVERIFY(holder.end("release")); });
        startEdit(3, 1, QStringLiteral("BLACK"));
        press(Qt::Key_Return);
        QCOMPARE(Dialogs::shown().size(), 3);
        QCOMPARE(storedCell(Today, 2, 1), QStringLiteral("WHITE"));
        QCOMPARE(storedCell(Today, 3, 1), QStringLiteral("BLACK"));
    }

    // Each kind of change taken back and done again, with the focus where the
    // change left it: stored at once, so the other desk shows every step. A
    // memo still being typed is a step of its own before the undo.
    void undoAndRedoReachTheOtherDesk_data()
    {
        QTest::addColumn<QString>("edit"); // keys from the first slot, which has the focus
        QTest::addColumn<QString>("before"); // slot|daily memo|fixed memo|closed
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("redoKey");
        const auto row
            = [](const char* name, const char* edit, const char* before, const char* after, const char* redo) {
                  QTest::newRow(name) << QString(edit) << QString(before) << QString(after) << QString(redo);
              };
        row("slot", "K, I, M, Return", "|||0", "kim|||0", "Ctrl+Y");
        row("Delete", "K, Return, Del", "k|||0", "|||0", "Ctrl+Shift+Z");
        row("memo", "Alt+D, A, B, Tab", "|||0", "|ab||0", "Ctrl+Y");
        row("fixed memo", "Alt+F, A, B, Tab", "|||0", "||ab|0", "Ctrl+Shift+Z");
        row("closed", "Alt+C, Down, Tab", "|||0", "|||1", "Ctrl+Y");
    }

    void undoAndRedoReachTheOtherDesk()
    {
        QFETCH(QString, edit);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, redoKey);
        const QKeySequence keys = QKeySequence::fromString(edit, QKeySequence::PortableText);
        DeskProcess desk(QStringLiteral(DESK_WINDOW), {m_data->folder(), m_data->databasePath()});
        QCOMPARE(desk.next(), QStringLiteral("ready"));
        for (int i = 0; i < keys.count(); ++i)
            press(keys[i].key(), keys[i].keyboardModifiers());
        for (const QString& shown : {before, after}) {
            const QKeyCombination key
                = QKeySequence::fromString(shown == before ? QStringLiteral("Ctrl+Z") : redoKey)[0];
            press(key.key(), key.keyboardModifiers());
            QCOMPARE(QStringLiteral("%1|%2|%3|%4")
                         .arg(grid()->cellText(2, 1), pad("dailyMemoEdit")->toPlainText(),
                             pad("fixedMemoEdit")->toPlainText())
                         .arg(int(child<QCheckBox>("closedCheck")->isChecked())),
                shown);
            QTRY_COMPARE(desk.ask("day 2 1"), QStringLiteral("day ") + shown);
        }
        QVERIFY(desk.end());
    }

    void restoreElsewhereIsFollowedByTheDesk() { restoreWhileADeskTypes(*m_data); }
};

QTEST_MAIN(TestApptWindow)
#include "tst_apptwindow.moc"
