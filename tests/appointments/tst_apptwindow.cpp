#include "Keyboard.h"
#include "TestSupport.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "appointments/FindPanel.h"
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
#include <QComboBox>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
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
        QCOMPARE(storedCell(Today, 2, 1), QStringLiteral("SMITH"));
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

    // Days booked under other layouts than the practice's now (another desk's
    // set-up, or before a change of it) are shown and saved again with every
    // booking at its own time and provider column.
    void showingAndSavingDaysNeverMovesABooking()
    {
        QRandomGenerator random(1506);
        QList<QDate> days;
        QList<TestSupport::Places> before;
        for (int i = 0; i < 8; ++i) {
            days.append(Today.addDays(i % 3 == 0 ? -1 - i : i));
            before.append(
                TestSupport::bookRandomPage(m_data->db(), days[i], TestSupport::randomLayout(random), random));
        }
        QVERIFY(SettingsStore(m_data->db()).writeLayout(TestSupport::randomLayout(random)).ok());
        for (int i = 0; i < days.size(); ++i) {
            QVERIFY(m_window->changeDay(days[i]));
            const DayLayout& shown = m_window->layout();
            TestSupport::Places onScreen;
            for (int r = 1; r <= shown.lastRow; ++r) {
                for (int c = 1; c <= shown.lastCol; ++c) {
                    if (const QString text = grid()->cellText(r, c); !text.isEmpty())
                        onScreen.insert({TestSupport::rowKey(r, shown.lastRow, shown.timeTexts), c}, text);
                }
            }
            QCOMPARE(onScreen, before[i]);
        }
        QVERIFY(m_window->changeDay(Today));
        for (int i = 0; i < days.size(); ++i)
            QCOMPARE(TestSupport::placesOf(*TestSupport::storedDay(m_data->db(), days[i])), before[i]);
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
        auto* daily = child<QPlainTextEdit>("dailyMemoEdit");
        if (text == QLatin1String("slot"))
            grid()->setFocus();
        else if (text == QLatin1String("daily memo"))
            daily->setFocus();
        else
            QTest::mouseClick(
                child<QPushButton>(text == QLatin1String("find box") ? "findButton" : "memoButton"), Qt::LeftButton);
        type(QStringLiteral("Lee"));
        press(key, Qt::AltModifier);
        QCOMPARE(editBox()->text() + daily->toPlainText() + child<QPlainTextEdit>("fixedMemoEdit")->toPlainText()
                + panel()->findBox()->text(),
            QStringLiteral("Lee"));
        m_window->close();
        const std::optional<DayRecord> today = TestSupport::storedDay(m_data->db(), Today);
        Settings settings;
        QVERIFY(SettingsStore(m_data->db()).read(settings).ok());
        QCOMPARE((today ? TestSupport::cellOf(today->pageText, 2, 1) + today->memo : QString()) + settings.fixedMemo,
            text == QLatin1String("find box") ? QString() : QStringLiteral("Lee"));
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
        QCOMPARE(child<QPlainTextEdit>("dailyMemoEdit")->toPlainText(), QStringLiteral("ring back"));
        press(Qt::Key_Z, Qt::ControlModifier);
        press(Qt::Key_Z, Qt::ControlModifier); // then the page's last change
        QCOMPARE(storedCell(Today, 3, 1), QString());

        // Another desk stores the day in a layout with a booking this page has
        // no row for: the undo of JONES moves the page into it, and the steps,
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
        tens.pageText = PageText::join(cells);
        QVERIFY(store.save(stored, tens).status.ok());
        grid()->setFocus();
        press(Qt::Key_Z, Qt::ControlModifier);
        press(Qt::Key_Z, Qt::ControlModifier);
        cells[1][0].clear();
        QCOMPARE(TestSupport::storedDay(m_data->db())->pageText, PageText::join(cells));
        QCOMPARE(m_window->layout().timeTexts.value(1), QStringLiteral("08:10 AM"));

        QVERIFY(m_window->changeDay(Today.addDays(1)));
        press(Qt::Key_Y, Qt::ControlModifier); // the slot's redo belongs to the other day
        QCOMPARE(grid()->cellText(3, 1), QString());
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
        QTRY_VERIFY(!panel()->isBusy());
        QCOMPARE(panel()->resultList()->count(), 2);
        QVERIFY(panel()->resultList()->item(0)->text().endsWith(QLatin1String("kimball ann")));
        type(QStringLiteral("zz"));
        QTRY_VERIFY(!panel()->isBusy());
        QCOMPARE(panel()->statusLabel()->text(), QStringLiteral("No appointments found"));
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
        QTRY_VERIFY(!panel()->isBusy());
        QCOMPARE(panel()->resultList()->count(), 1);
        type(QStringLiteral("kimball"));
        QTRY_VERIFY(!panel()->isBusy());
        press(Qt::Key_Down); // the latest past day
        press(Qt::Key_Return);
        QVERIFY(!panel()->isVisible());
        QCOMPARE(m_window->currentDate(), Today.addDays(-3));
        QCOMPARE(m_window->calendar()->dates()[size_t(m_window->calendar()->selectedIndex())], Today.addDays(-3));
        QCOMPARE(focus(), grid());
        QCOMPARE(grid()->currentRowGrid(), 6);
        QCOMPARE(grid()->currentColGrid(), 3);
        QCOMPARE(grid()->cellText(6, 0), QStringLiteral("01:00 PM"));
        QCOMPARE(storedCell(Today.addDays(1), 2, 1), QStringLiteral("WALK IN"));
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
};

QTEST_MAIN(TestApptWindow)
#include "tst_apptwindow.moc"
