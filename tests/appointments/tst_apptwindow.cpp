#include "Keyboard.h"
#include "TestSupport.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "appointments/FindPanel.h"
#include "appointments/MonthCalendar.h"
#include "core/PageText.h"
#include "platform/Dialogs.h"
#include "platform/PrintJob.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTest>

using TestSupport::Today;

using Keyboard::focus;
using Keyboard::press;
using Keyboard::type;
using TestSupport::cellOf;

class TestApptWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    ApptWindow* m_window = nullptr;

    ApptWindow* openWindow()
    {
        m_window = new ApptWindow(m_data->db(), Windows::host());
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->show();
        QApplication::setActiveWindow(m_window);
        if (!QTest::qWaitForWindowActive(m_window))
            qWarning("window not active");
        return m_window;
    }

    void bookTodayCell(int row, int col, const QString& name)
    {
        m_window->grid()->setFocus();
        m_window->grid()->setCurrentCell(row, col);
        type(name);
        press(Qt::Key_Return);
    }

    int labelOf(const QDate& date) const
    {
        for (int i = 0; i < 42; ++i) {
            if (m_window->calendar()->dates()[size_t(i)] == date)
                return i;
        }
        return -1;
    }

    void clickDay(const QDate& date)
    {
        const int i = labelOf(date);
        QVERIFY2(i >= 0, qPrintable(date.toString()));
        QTest::mouseClick(m_window->calendar()->dayLabel(i), Qt::LeftButton);
    }

private slots:
    void init()
    {
        Dialogs::resetRecord();
        m_data = std::make_unique<TestSupport::DataFixture>();
    }

    void cleanup()
    {
        if (m_window) {
            m_window->close();
            delete m_window;
            m_window = nullptr;
        }
        m_data.reset();
    }

    void opensTodayWithDefaultLayoutAndCreatesItsRecord()
    {
        openWindow();
        const DayLayout& l = m_window->layout();
        QCOMPARE(l.providerCount, 4);
        QCOMPARE(m_window->grid()->columnCountGrid(), 5);
        QCOMPARE(m_window->grid()->cellText(2, 0), QStringLiteral("08:00 AM"));
        QCOMPARE(m_window->grid()->cellText(l.lastRow - 1, 0), QStringLiteral("05:30 PM"));
        QCOMPARE(m_window->grid()->cellText(0, 1), QStringLiteral(" Practitioner A "));
        QCOMPARE(m_window->findChild<QLabel*>(QStringLiteral("shownDate"))->text(), QStringLiteral("5/15/24"));

        const std::optional<DayRecord> rec = TestSupport::storedDay(m_data->db(), Today);
        QVERIFY(rec);
        QCOMPARE(rec->pageText, l.emptyPageText);
        QCOMPARE(rec->providerCount, 4);
        QCOMPARE(rec->open, QStringLiteral("08:00 AM"));
        QCOMPARE(rec->names, Settings::defaultNames());

        // Typing straight away books the first slot.
        type(QStringLiteral("ADAMS"));
        press(Qt::Key_Return);
        QCOMPARE(m_window->grid()->cellText(2, 1), QStringLiteral("ADAMS"));
    }

    void typedNameIsStoredInPageTextWhenTheDayChanges()
    {
        openWindow();
        bookTodayCell(3, 2, QStringLiteral("SMITH"));
        QCOMPARE(m_window->grid()->cellText(3, 2), QStringLiteral("SMITH"));
        clickDay(Today.addDays(1));
        QCOMPARE(m_window->currentDate(), Today.addDays(1));
        QCOMPARE(m_window->grid()->cellText(3, 2), QString());

        const std::optional<DayRecord> rec = TestSupport::storedDay(m_data->db(), Today);
        QVERIFY(rec);
        QCOMPARE(cellOf(rec->pageText, 3, 2), QStringLiteral("SMITH"));
        QCOMPARE(rec->pageText.count(QChar(13)), m_window->layout().lastRow - 1);

        clickDay(Today);
        QCOMPARE(m_window->grid()->cellText(3, 2), QStringLiteral("SMITH"));
    }

    void emptyOpenDayIsDeletedClosedDayIsKept()
    {
        openWindow();
        clickDay(Today.addDays(1));
        QVERIFY(!TestSupport::storedDay(m_data->db(), Today)); // left empty and open
        QVERIFY(TestSupport::storedDay(m_data->db(), Today.addDays(1)));

        // Close tomorrow from the selector and leave it empty.
        auto* selector = m_window->findChild<QComboBox*>(QStringLiteral("openClosedCombo"));
        press(Qt::Key_C, Qt::AltModifier);
        QCOMPARE(focus(), selector);
        selector->setCurrentIndex(1);
        press(Qt::Key_Tab);
        QCOMPARE(m_window->grid()->cellBackground(), ApptWindow::ClosedDayColour);
        QCOMPARE(focus()->objectName(), QStringLiteral("monthCalendar"));
        QVERIFY(TestSupport::storedDay(m_data->db(), Today.addDays(1))->closed); // stored when chosen
        clickDay(Today.addDays(2));
        QVERIFY(TestSupport::storedDay(m_data->db(), Today.addDays(1)));

        clickDay(Today.addDays(1));
        QCOMPARE(selector->currentIndex(), 1);
        QCOMPARE(m_window->grid()->cellBackground(), ApptWindow::ClosedDayColour);
    }

    void todayOnTodayNeitherSavesNorReloads()
    {
        openWindow();
        const qint64 version = TestSupport::storedDay(m_data->db(), Today)->version;
        m_window->grid()->setCellText(2, 1, QStringLiteral("BROWN"));
        QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("todayButton")), Qt::LeftButton);
        QCOMPARE(m_window->grid()->cellText(2, 1), QStringLiteral("BROWN"));
        QCOMPARE(TestSupport::storedDay(m_data->db(), Today)->version, version);
        QCOMPARE(focus()->objectName(), QStringLiteral("monthCalendar"));
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
        openWindow();
        bookTodayCell(2, 4, QStringLiteral("GREEN"));
        QPointer<ApptWindow> window(m_window);
        if (altE)
            press(Qt::Key_E, Qt::AltModifier);
        else
            m_window->close();
        QTRY_VERIFY(!window || !window->isVisible());
        m_window = nullptr;
        QCOMPARE(cellOf(TestSupport::storedDay(m_data->db(), Today)->pageText, 2, 4), QStringLiteral("GREEN"));
    }

    void failedSaveIsNeverSilentAndKeepsTheDay()
    {
        openWindow();
        bookTodayCell(2, 1, QStringLiteral("WHITE"));
        // Another copy holds the file.
        Database other(QStringLiteral("other"));
        QVERIFY(other.open(m_data->databasePath()).ok());
        QSqlQuery lock(other.connection());
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        m_data->db().retry().pause = [](qint64) {};

        Dialogs::pushAnswer(Dialogs::No);
        clickDay(Today.addDays(1));
        QCOMPARE(m_window->currentDate(), Today);
        QCOMPARE(m_window->grid()->cellText(2, 1), QStringLiteral("WHITE"));
        QVERIFY(!Dialogs::shown().isEmpty());
        QVERIFY(Dialogs::shown().last().text.endsWith(QStringLiteral(". Retry?")));

        // Closing is refused too while the save cannot be made.
        Dialogs::pushAnswer(Dialogs::No);
        QVERIFY(!m_window->close());
        QVERIFY(m_window->isVisible());

        QVERIFY(lock.exec(QStringLiteral("COMMIT")));
        clickDay(Today.addDays(1));
        QCOMPARE(m_window->currentDate(), Today.addDays(1));
        QCOMPARE(cellOf(TestSupport::storedDay(m_data->db(), Today)->pageText, 2, 1), QStringLiteral("WHITE"));
    }

    void failedOpenOfTheNextDayKeepsTheShownDay()
    {
        openWindow();
        bookTodayCell(2, 1, QStringLiteral("WHITE"));
        m_window->findChild<QPlainTextEdit*>(QStringLiteral("dailyMemoEdit"))->setPlainText(QStringLiteral("Note"));
        // The file refuses to make the next day's record.
        QSqlQuery refuse(m_data->db().connection());
        QVERIFY(refuse.exec(QStringLiteral(
            "CREATE TRIGGER refuse BEFORE INSERT ON tbl_Appt BEGIN SELECT RAISE(ABORT, 'refused'); END")));
        Dialogs::pushAnswer(Dialogs::No);
        press(Qt::Key_Tab); // to the calendar
        press(Qt::Key_Right);
        press(Qt::Key_Return);
        QVERIFY(Dialogs::shown().last().text.endsWith(QStringLiteral(". Retry?")));

        // Today stays on screen, whole, and what is typed there is stored.
        QCOMPARE(focus()->objectName(), QStringLiteral("monthCalendar"));
        QCOMPARE(m_window->currentDate(), Today);
        QCOMPARE(m_window->findChild<QLabel*>(QStringLiteral("shownDate"))->text(), QStringLiteral("5/15/24"));
        QCOMPARE(m_window->grid()->cellText(2, 1), QStringLiteral("WHITE"));
        QCOMPARE(m_window->findChild<QPlainTextEdit*>(QStringLiteral("dailyMemoEdit"))->toPlainText(),
            QStringLiteral("Note"));
        QCOMPARE(m_window->calendar()->dates()[size_t(m_window->calendar()->selectedIndex())], Today);
        bookTodayCell(3, 1, QStringLiteral("BLACK"));
        const std::optional<DayRecord> today = TestSupport::storedDay(m_data->db(), Today);
        QCOMPARE(cellOf(today->pageText, 2, 1), QStringLiteral("WHITE"));
        QCOMPARE(cellOf(today->pageText, 3, 1), QStringLiteral("BLACK"));
        QCOMPARE(today->memo, QStringLiteral("Note"));

        QVERIFY(refuse.exec(QStringLiteral("DROP TRIGGER refuse")));
        clickDay(Today.addDays(1));
        QCOMPARE(m_window->currentDate(), Today.addDays(1));
        QCOMPARE(m_window->grid()->cellText(3, 1), QString());
    }

    // A change of the practice's layout: each day is shown and saved again
    // with every booking at its own time and provider column.
    void showingAndSavingDaysNeverMovesABooking()
    {
        QRandomGenerator random(1506);
        QList<QDate> days;
        QList<TestSupport::Places> before;
        for (int i = 0; i < 12; ++i) {
            const QDate day = Today.addDays(i % 3 == 0 ? -1 - i : i);
            days.append(day);
            before.append(TestSupport::bookRandomPage(m_data->db(), day, TestSupport::randomLayout(random), random));
        }
        QVERIFY(SettingsStore(m_data->db()).writeLayout(TestSupport::randomLayout(random)).ok());

        openWindow();
        for (const QDate& day : std::as_const(days)) {
            QVERIFY(m_window->changeDay(day));
            // What the window shows is where the booking was made.
            const DayLayout& shown = m_window->layout();
            TestSupport::Places onScreen;
            for (int r = 1; r <= shown.lastRow; ++r) {
                for (int c = 1; c <= shown.lastCol; ++c) {
                    const QString text = m_window->grid()->cellText(r, c);
                    if (!text.isEmpty())
                        onScreen.insert({TestSupport::rowKey(r, shown.lastRow, shown.timeTexts), c}, text);
                }
            }
            QCOMPARE(onScreen, before[days.indexOf(day)]);
        }
        QVERIFY(m_window->changeDay(Today));
        for (int i = 0; i < days.size(); ++i)
            QCOMPARE(TestSupport::placesOf(*TestSupport::storedDay(m_data->db(), days[i])), before[i]);
    }

    // A file damaged where the first page does not read opens all the same;
    // the damage is reported a moment later, with the way out.
    void damagedFileIsReportedAfterTheFirstPage()
    {
        QSqlQuery fill(m_data->db().connection());
        QVERIFY(fill.exec(QStringLiteral("BEGIN")));
        for (int i = 1; i <= 300; ++i) {
            QVERIFY(fill.exec(QStringLiteral("INSERT INTO tbl_Appt (CalDate, Clinic, Data, Memo, Version) "
                                             "VALUES ('%1', 0, '%2', '', 1)")
                                  .arg(Today.addDays(-i).toString(Qt::ISODate), QString(3000, QLatin1Char('x')))));
        }
        QVERIFY(fill.exec(QStringLiteral("COMMIT")));
        QByteArray bytes = TestSupport::fileBytes(m_data->databasePath());
        const qsizetype middle = bytes.size() / 2 / 4096 * 4096;
        for (qsizetype k = middle; k < middle + 4096; ++k)
            bytes[k] = char(k * 37);
        TestSupport::writeFile(m_data->databasePath(), bytes);

        openWindow();
        QCOMPARE(m_window->currentDate(), Today);
        QTRY_VERIFY(!Dialogs::shown().isEmpty());
        QCOMPARE(Dialogs::shown().first().icon, Dialogs::Icon::Critical);
        QVERIFY2(Dialogs::shown().first().text.contains(QStringLiteral("damaged")),
            qPrintable(Dialogs::shown().first().text));
        QVERIFY(Dialogs::shown().first().text.endsWith(QStringLiteral("Back-up/Restore files in the main menu.")));
    }

    // ---- editing

    void typingGoesInFrontOfTheCellText()
    {
        openWindow();
        m_window->grid()->setCellText(2, 1, QStringLiteral("SMITH"));
        m_window->grid()->setFocus();
        m_window->grid()->setCurrentCell(2, 1);
        type(QStringLiteral("J"));
        auto* edit = m_window->findChild<QLineEdit*>(QStringLiteral("cellEditor"));
        QVERIFY(edit->isVisible());
        QCOMPARE(edit->text(), QStringLiteral("JSMITH"));
        QCOMPARE(m_window->grid()->cellText(2, 1), QStringLiteral("JSMITH"));
        press(Qt::Key_Return);
        QVERIFY(!edit->isVisible());
        QCOMPARE(focus(), m_window->grid());

        // Enter opens on the cell's text without typing anything.
        press(Qt::Key_Return);
        QVERIFY(edit->isVisible());
        QCOMPARE(edit->text(), QStringLiteral("JSMITH"));
        press(Qt::Key_Return);
        QCOMPARE(m_window->grid()->cellText(2, 1), QStringLiteral("JSMITH"));
    }

    void editorKeepsItsTextInItsOwnCell_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("stillOpen");
        QTest::newRow("click on another cell") << 0 << true;
        QTest::newRow("scroll") << 1 << false;
        QTest::newRow("click on the calendar panel") << 2 << false;
    }

    void editorKeepsItsTextInItsOwnCell()
    {
        QFETCH(int, action);
        QFETCH(bool, stillOpen);
        openWindow();
        m_window->grid()->setFocus();
        m_window->grid()->setCurrentCell(2, 1);
        type(QStringLiteral("A"));
        auto* edit = m_window->findChild<QLineEdit*>(QStringLiteral("cellEditor"));
        auto* panel = m_window->findChild<QWidget*>(QStringLiteral("monthCalendar"));
        QVERIFY(edit->isVisible());
        if (action == 0) {
            const QRect other = m_window->grid()->visualRect(m_window->grid()->model()->index(4, 2));
            QTest::mouseClick(m_window->grid()->viewport(), Qt::LeftButton, {}, other.center());
            edit->setFocus();
            edit->end(false);
            type(QStringLiteral("B"));
        } else if (action == 1) {
            m_window->grid()->verticalScrollBar()->setValue(m_window->grid()->verticalScrollBar()->maximum());
        } else {
            QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(2, panel->height() - 2));
            QCOMPARE(focus(), panel);
        }
        QCOMPARE(edit->isVisible(), stillOpen);
        QCOMPARE(m_window->grid()->cellText(2, 1), QString::fromLatin1(action == 0 ? "AB" : "A"));
        QCOMPARE(m_window->grid()->cellText(5, 3), QString());
    }

    void pastedLineBreaksNeverEnterACell()
    {
        openWindow();
        m_window->grid()->setFocus();
        m_window->grid()->setCurrentCell(2, 1);
        type(QStringLiteral("A"));
        auto* edit = m_window->findChild<QLineEdit*>(QStringLiteral("cellEditor"));
        edit->insert(QStringLiteral("B\tC\rD"));
        QVERIFY(!m_window->grid()->cellText(2, 1).contains(QChar(9)));
        QVERIFY(!m_window->grid()->cellText(2, 1).contains(QChar(13)));
        press(Qt::Key_Return);
        clickDay(Today.addDays(1));
        const QString data = TestSupport::storedDay(m_data->db(), Today)->pageText;
        QCOMPARE(PageText::split(data).size(), m_window->layout().lastRow);
    }

    // ---- calendar

    void clickOnNextMonthOpensItWithoutRefilling()
    {
        openWindow();
        const CalendarMath::Dates before = m_window->calendar()->dates();
        const QDate june1(2024, 6, 1);
        QVERIFY(labelOf(june1) >= 0);
        clickDay(june1);
        QCOMPARE(m_window->currentDate(), june1);
        QVERIFY(m_window->calendar()->dates() == before);
        QCOMPARE(m_window->findChild<QComboBox*>(QStringLiteral("monthCombo"))->currentIndex(), 5);
        QCOMPARE(m_window->calendar()->dayLabel(labelOf(june1))->property("calendarColour").value<QColor>(),
            MonthCalendar::ChosenColour);
        QCOMPARE(focus(), m_window->grid());
    }

    // ---- keyboard

    void calendarKeys_data()
    {
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QDate>("selected");
        QTest::newRow("right") << Today << QList<int> {Qt::Key_Right} << 0 << Today.addDays(1);
        QTest::newRow("shift right") << Today << QList<int> {Qt::Key_Right} << int(Qt::ShiftModifier)
                                     << Today.addDays(1);
        QTest::newRow("page down, page up")
            << Today << QList<int> {Qt::Key_PageDown, Qt::Key_PageUp} << 0 << Today.addDays(7);
        QTest::newRow("many downs slide by weeks")
            << Today << QList<int> {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down} << 0
            << Today.addDays(35);
    }

    void calendarKeys()
    {
        QFETCH(QList<int>, keys);
        QFETCH(int, modifiers);
        QFETCH(QDate, selected);
        openWindow();
        m_window->findChild<QWidget*>(QStringLiteral("monthCalendar"))->setFocus();
        for (int k : keys)
            press(k, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(m_window->calendar()->dates()[size_t(m_window->calendar()->selectedIndex())], selected);
        QCOMPARE(m_window->currentDate(), Today); // moving never changes the page
        for (int i = 1; i < 42; ++i)
            QCOMPARE(m_window->calendar()->dates()[size_t(i - 1)].addDays(1), m_window->calendar()->dates()[size_t(i)]);
    }

    void altShortcutsNeverTypeIntoTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        for (const char* text : {"slot", "daily memo", "fixed memo", "find box"}) {
            for (const int key : {Qt::Key_C, Qt::Key_D, Qt::Key_F, Qt::Key_M, Qt::Key_Y, Qt::Key_P, Qt::Key_E})
                QTest::addRow("%s, Alt-%c", text, char(key)) << QString::fromLatin1(text) << key;
        }
    }

    void altShortcutsNeverTypeIntoTheText()
    {
        QFETCH(QString, text);
        QFETCH(int, key);
        PrintJob::setPrinterDisabled(true);
        openWindow();
        auto* daily = m_window->findChild<QPlainTextEdit*>(QStringLiteral("dailyMemoEdit"));
        auto* fixed = m_window->findChild<QPlainTextEdit*>(QStringLiteral("fixedMemoEdit"));
        auto* edit = m_window->findChild<QLineEdit*>(QStringLiteral("cellEditor"));
        QLineEdit* findBox = m_window->findPanel()->findBox();
        if (text == QLatin1String("slot")) {
            m_window->grid()->setFocus();
            m_window->grid()->setCurrentCell(2, 1);
        } else if (text == QLatin1String("daily memo")) {
            daily->setFocus();
        } else if (text == QLatin1String("fixed memo")) {
            QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("memoButton")), Qt::LeftButton);
        } else {
            QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("findButton")), Qt::LeftButton);
            QTRY_COMPARE(focus(), findBox);
        }
        type(QStringLiteral("Lee"));
        QPointer<ApptWindow> window(m_window);
        press(key, Qt::AltModifier);
        if (window) {
            QCOMPARE(
                edit->text() + daily->toPlainText() + fixed->toPlainText() + findBox->text(), QStringLiteral("Lee"));
            m_window->close();
        }
        QTRY_VERIFY(!window || !window->isVisible());
        m_window = nullptr;

        const std::optional<DayRecord> today = TestSupport::storedDay(m_data->db(), Today);
        Settings settings;
        QVERIFY(SettingsStore(m_data->db()).read(settings).ok());
        const QString stored = (today ? cellOf(today->pageText, 2, 1) + today->memo : QString()) + settings.fixedMemo;
        QCOMPARE(stored, text == QLatin1String("find box") ? QString() : QStringLiteral("Lee"));
    }

    // The page takes the day's colours whenever the flag or the day changes.
    void closedDaysAreDrawnClosedAndOpenDaysOpen()
    {
        openWindow();
        auto* selector = m_window->findChild<QComboBox*>(QStringLiteral("openClosedCombo"));
        const auto drawn = [this] {
            // A page cell away from the current one and from any text.
            const QRect cell = m_window->grid()->visualRect(m_window->grid()->model()->index(5, 2));
            return m_window->grid()->viewport()->grab().toImage().pixelColor(cell.center());
        };
        QCOMPARE(drawn(), QColor(Qt::white));
        press(Qt::Key_C, Qt::AltModifier);
        selector->setCurrentIndex(1);
        press(Qt::Key_Tab);
        QCOMPARE(drawn(), ApptWindow::ClosedDayColour);
        clickDay(Today.addDays(1));
        QCOMPARE(drawn(), QColor(Qt::white));
        clickDay(Today);
        QCOMPARE(drawn(), ApptWindow::ClosedDayColour);
    }

    void altShortcutsNeedExactlyAlt_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("moves");
        QTest::newRow("alt") << int(Qt::AltModifier) << true;
        QTest::newRow("alt shift") << int(Qt::AltModifier | Qt::ShiftModifier) << false;
        QTest::newRow("plain") << 0 << false;
    }

    void altShortcutsNeedExactlyAlt()
    {
        QFETCH(int, modifiers);
        QFETCH(bool, moves);
        openWindow();
        m_window->grid()->setFocus();
        press(Qt::Key_M, Qt::KeyboardModifiers(modifiers));
        const bool inMonthList = focus() == m_window->findChild<QComboBox*>(QStringLiteral("monthCombo"));
        QCOMPARE(inMonthList, moves);
    }

    void bookingADayWithTheKeyboardAlone()
    {
        openWindow();
        m_window->grid()->setFocus();
        press(Qt::Key_Tab); // to the calendar
        press(Qt::Key_Right); // tomorrow
        press(Qt::Key_Return); // open it
        QCOMPARE(m_window->currentDate(), Today.addDays(1));
        QCOMPARE(focus(), m_window->grid());
        press(Qt::Key_Down); // second slot row
        press(Qt::Key_Down);
        type(QStringLiteral("NGUYEN"));
        press(Qt::Key_Return);
        press(Qt::Key_Tab); // back to the calendar
        press(Qt::Key_D, Qt::AltModifier); // daily memo
        QCOMPARE(focus()->objectName(), QStringLiteral("dailyMemoEdit"));
        type(QStringLiteral("call back"));
        press(Qt::Key_Tab);
        QCOMPARE(focus()->objectName(), QStringLiteral("monthCalendar"));
        QVERIFY(
            !m_window->findChild<QPlainTextEdit*>(QStringLiteral("dailyMemoEdit"))->toPlainText().contains(QChar(9)));
        press(Qt::Key_Escape); // today again
        QCOMPARE(m_window->currentDate(), Today);

        const std::optional<DayRecord> booked = TestSupport::storedDay(m_data->db(), Today.addDays(1));
        QVERIFY(booked);
        QVERIFY(booked->pageText.contains(QStringLiteral("NGUYEN")));
        QCOMPARE(booked->memo, QStringLiteral("call back"));
        QVERIFY(TestSupport::storedDay(m_data->db(), Today)); // today's record is shown again
    }

    void memoPadsSwitchAndTheFixedMemoSurvives()
    {
        openWindow();
        auto* button = m_window->findChild<QPushButton*>(QStringLiteral("memoButton"));
        auto* fixed = m_window->findChild<QPlainTextEdit*>(QStringLiteral("fixedMemoEdit"));
        QVERIFY(!fixed->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(fixed->isVisible());
        QCOMPARE(focus(), fixed);
        type(QStringLiteral("closed on holidays"));
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!fixed->isVisible());
        QCOMPARE(focus()->objectName(), QStringLiteral("dailyMemoEdit"));

        m_window->close();
        m_window = nullptr;
        openWindow();
        QCOMPARE(m_window->findChild<QPlainTextEdit*>(QStringLiteral("fixedMemoEdit"))->toPlainText(),
            QStringLiteral("closed on holidays"));
    }

    void yearListShowsNoWrongYearPast2038()
    {
        openWindow();
        auto* months = m_window->findChild<QComboBox*>(QStringLiteral("monthCombo"));
        auto* years = m_window->findChild<QComboBox*>(QStringLiteral("yearCombo"));
        m_window->grid()->setFocus();
        press(Qt::Key_Y, Qt::AltModifier);
        years->setCurrentIndex(years->findText(QStringLiteral("2038")));
        press(Qt::Key_Tab);
        press(Qt::Key_M, Qt::AltModifier);
        months->setCurrentIndex(11);
        press(Qt::Key_Tab);
        QCOMPARE(m_window->calendar()->dates()[size_t(m_window->calendar()->selectedIndex())], QDate(2038, 12, 15));

        press(Qt::Key_PageDown); // 12 January 2039: the list has no such year
        QCOMPARE(m_window->calendar()->dates()[size_t(m_window->calendar()->selectedIndex())], QDate(2039, 1, 12));
        QCOMPARE(years->currentIndex(), -1);
        QCOMPARE(months->currentIndex(), 0);
        press(Qt::Key_Right); // past the forward limit nothing moves
        QCOMPARE(m_window->calendar()->dates()[size_t(m_window->calendar()->selectedIndex())], QDate(2039, 1, 12));
        press(Qt::Key_Return); // the day still opens
        QCOMPARE(m_window->currentDate(), QDate(2039, 1, 12));
    }
};

QTEST_MAIN(TestApptWindow)
#include "tst_apptwindow.moc"
