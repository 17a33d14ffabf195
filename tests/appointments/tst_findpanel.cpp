#include "Keyboard.h"
#include "TestSupport.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "appointments/FindPanel.h"
#include "appointments/MonthCalendar.h"
#include "core/PageText.h"
#include "platform/Dialogs.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using TestSupport::Today;

using Keyboard::focus;
using Keyboard::press;
using Keyboard::type;

namespace {
// Three providers, 09:00 AM to 12:00 PM by the hour: grid rows 2 .. 6 are
// 09:00 AM .. 01:00 PM.
Settings earlier()
{
    Settings s = Settings::defaults();
    s.providerCount = 3;
    s.names = QStringLiteral("Dr Lee-Dr Ng-Dr Roe");
    s.open = QStringLiteral("09:00 AM");
    s.close = QStringLiteral("12:00 PM");
    s.slotMinutes = 60;
    return s;
}
} // namespace

class TestFindPanel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    ApptWindow* m_window = nullptr;

    void storeDay(const QDate& date, const Settings& copied, int row, int column, const QString& text)
    {
        TestSupport::bookCell(m_data->db(), date, copied, row, column, text);
    }

    // Bookings of one client: two past days under the old layout, one
    // future day under the current one (08:00 AM in 30-minute slots).
    void storeKimball()
    {
        storeDay(Today.addDays(-40), earlier(), 3, 2, QStringLiteral("KIMBALL Ann"));
        storeDay(Today.addDays(-3), earlier(), 6, 3, QStringLiteral("Kimball / LEE"));
        storeDay(Today.addDays(9), Settings::defaults(), 5, 4, QStringLiteral("kimball ann"));
        storeDay(Today.addDays(10), Settings::defaults(), 2, 1, QStringLiteral("NOBODY"));
    }

    ApptWindow* openWindow()
    {
        m_window = new ApptWindow(m_data->db(), Windows::host());
        m_window->show();
        QApplication::setActiveWindow(m_window);
        if (!QTest::qWaitForWindowActive(m_window))
            qWarning("window not active");
        return m_window;
    }

    FindPanel* panel() const { return m_window->findPanel(); }
    QLineEdit* box() const { return panel()->findBox(); }
    QListWidget* list() const { return panel()->resultList(); }

    QStringList listed() const
    {
        QStringList out;
        for (int i = 0; i < list()->count(); ++i)
            out.append(list()->item(i)->text());
        return out;
    }

    QList<AppointmentSearch::Match> expected(const QString& text)
    {
        AppointmentSearch::Matches r;
        if (!AppointmentSearch::findIn(m_data->db(), text, r).ok())
            qWarning("search failed");
        return r.matches;
    }

    static QStringList lines(const QList<AppointmentSearch::Match>& matches)
    {
        QStringList out;
        for (const AppointmentSearch::Match& m : matches)
            out.append(AppointmentSearch::resultLine(m));
        return out;
    }

    int labelOf(const QDate& date) const
    {
        for (int i = 0; i < 42; ++i) {
            if (m_window->calendar()->dates()[size_t(i)] == date)
                return i;
        }
        return -1;
    }

    void findAndWait(const QString& text)
    {
        press(Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(focus(), box());
        type(text);
        QTRY_VERIFY(!panel()->isBusy());
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

    void ctrlFListsAsYouTypeUpcomingFirst()
    {
        storeKimball();
        openWindow();
        QVERIFY(!panel()->isVisible());
        m_window->grid()->setFocus();
        press(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(panel()->isVisible());
        QCOMPARE(focus(), box());
        QVERIFY(!m_window->findChild<QLineEdit*>(QStringLiteral("cellEditor"))->isVisible());

        type(QStringLiteral("kimb"));
        QTRY_VERIFY(!panel()->isBusy());
        const QList<AppointmentSearch::Match> want = expected(QStringLiteral("kimb"));
        QCOMPARE(want.size(), 3);
        QCOMPARE(listed(), lines(want));
        QCOMPARE(want[0].date, Today.addDays(9));
        QCOMPARE(want[1].date, Today.addDays(-3));
        QCOMPARE(list()->currentRow(), 0);
        QVERIFY(panel()->statusLabel()->text().isEmpty());
        // Still on today, nothing saved or opened by typing.
        QCOMPARE(m_window->currentDate(), Today);

        type(QStringLiteral("all a"));
        QTRY_VERIFY(!panel()->isBusy());
        QCOMPARE(listed(), lines(expected(QStringLiteral("kimball a"))));
        QCOMPARE(list()->count(), 2);
    }

    void enterOpensTheDayOnTheFoundSlot_data()
    {
        QTest::addColumn<int>("downs");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("provider");

        QTest::newRow("upcoming, current layout") << 0 << Today.addDays(9) << 5 << 4 << "09:30 AM"
                                                  << "Practitioner D";
        QTest::newRow("past, its own layout") << 1 << Today.addDays(-3) << 6 << 3 << "01:00 PM"
                                              << "Dr Roe";
        QTest::newRow("older past, Down past the end") << 3 << Today.addDays(-40) << 3 << 2 << "10:00 AM"
                                                       << "Dr Ng";
    }

    void enterOpensTheDayOnTheFoundSlot()
    {
        QFETCH(int, downs);
        QFETCH(QDate, date);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, time);
        QFETCH(QString, provider);
        storeKimball();
        openWindow();
        // Today's page holds an unsaved booking: opening another day saves it.
        m_window->grid()->setFocus();
        m_window->grid()->setCurrentCell(2, 1);
        type(QStringLiteral("WALK IN"));
        press(Qt::Key_Return);

        findAndWait(QStringLiteral("kimball"));
        for (int i = 0; i < downs; ++i)
            press(Qt::Key_Down);
        if (downs > 0) {
            press(Qt::Key_Up);
            press(Qt::Key_Down);
        }
        QCOMPARE(list()->currentRow(), std::min(downs, 2));
        QCOMPARE(focus(), box());
        press(Qt::Key_Return);

        QVERIFY(!panel()->isVisible());
        QCOMPARE(m_window->currentDate(), date);
        DayGrid* grid = m_window->grid();
        QCOMPARE(focus(), grid);
        QCOMPARE(grid->currentRowGrid(), row);
        QCOMPARE(grid->currentColGrid(), column);
        QCOMPARE(grid->cellText(row, 0), time);
        QCOMPARE(grid->cellText(0, column).trimmed(), provider);
        QVERIFY(grid->cellText(row, column).contains(QLatin1String("ann"), Qt::CaseInsensitive)
            || grid->cellText(row, column).contains(QLatin1String("LEE")));
        QCOMPARE(m_window->findChild<QLabel*>(QStringLiteral("shownDate"))->text(),
            QLocale().toString(date, QLocale::ShortFormat));

        // The calendar shows the day opened, as after a click on it.
        const int label = m_window->calendar()->selectedIndex();
        QCOMPARE(m_window->calendar()->dates()[size_t(label)], date);
        QCOMPARE(m_window->calendar()->dayLabel(label)->property("calendarColour").value<QColor>(),
            MonthCalendar::ChosenColour);
        QCOMPARE(m_window->findChild<QComboBox*>(QStringLiteral("monthCombo"))->currentIndex(), date.month() - 1);
        for (int i = 0; i < 42; ++i) {
            if (i != label)
                QCOMPARE(
                    m_window->calendar()->dayLabel(i)->property("calendarColour").value<QColor>(), QColor(Qt::white));
        }

        std::optional<DayRecord> today;
        QVERIFY(DayStore(m_data->db()).find(Today, today).ok());
        QVERIFY(today);
        QCOMPARE(PageText::split(today->pageText)[1][0], QStringLiteral("WALK IN"));
    }

    void enterRightAfterTypingOpensTheNewestFirstResult()
    {
        storeKimball();
        openWindow();
        press(Qt::Key_F, Qt::ControlModifier);
        type(QStringLiteral("kimball a"));
        press(Qt::Key_Return);
        QTRY_COMPARE(m_window->currentDate(), Today.addDays(9));
        QCOMPARE(m_window->grid()->currentRowGrid(), 5);
        QCOMPARE(m_window->grid()->currentColGrid(), 4);
    }

    void escClosesAndGivesTheFocusBack_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("button");
        QTest::newRow("day page") << "dayGrid" << false;
        QTest::newRow("calendar") << "monthCalendar" << false;
        QTest::newRow("daily memo, Find button") << "dailyMemoEdit" << true;
        QTest::newRow("month list") << "monthCombo" << false;
    }

    void escClosesAndGivesTheFocusBack()
    {
        QFETCH(QString, from);
        QFETCH(bool, button);
        storeKimball();
        openWindow();
        // On another day than today: Esc elsewhere would go back to today.
        QTest::mouseClick(m_window->calendar()->dayLabel(labelOf(Today.addDays(1))), Qt::LeftButton);
        QCOMPARE(m_window->currentDate(), Today.addDays(1));
        auto* widget = m_window->findChild<QWidget*>(from);
        QVERIFY(widget);
        widget->setFocus();
        QCOMPARE(focus(), widget);

        if (button)
            QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("findButton")), Qt::LeftButton);
        else
            press(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(panel()->isVisible());
        QCOMPARE(focus(), box());
        type(QStringLiteral("kim"));
        QTRY_VERIFY(!panel()->isBusy());
        press(Qt::Key_Escape);
        QVERIFY(!panel()->isVisible());
        QCOMPARE(focus(), widget);
        QCOMPARE(m_window->currentDate(), Today.addDays(1));

        // Outside the panel Esc still means today.
        press(Qt::Key_Escape);
        QCOMPARE(m_window->currentDate(), Today);
    }

    void noMatchSaysSoNothingTypedSaysNothing()
    {
        storeKimball();
        openWindow();
        findAndWait(QStringLiteral("zzzz"));
        QCOMPARE(list()->count(), 0);
        QCOMPARE(panel()->statusLabel()->text(), QStringLiteral("No appointments found"));
        QVERIFY(panel()->statusLabel()->isVisible());
        press(Qt::Key_Return);
        QVERIFY(panel()->isVisible());
        QCOMPARE(m_window->currentDate(), Today);

        box()->selectAll();
        press(Qt::Key_Backspace);
        QTRY_VERIFY(!panel()->isBusy());
        QCOMPARE(list()->count(), 0);
        QVERIFY(panel()->statusLabel()->text().isEmpty());
    }

    void reopeningSearchesTheDaysAsTheyAreNow()
    {
        openWindow();
        findAndWait(QStringLiteral("later"));
        QCOMPARE(list()->count(), 0);
        press(Qt::Key_Escape);
        storeDay(Today.addDays(30), Settings::defaults(), 2, 2, QStringLiteral("LATER"));
        press(Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(box()->selectedText(), QStringLiteral("later"));
        QTRY_VERIFY(!panel()->isBusy());
        QCOMPARE(list()->count(), 1);
    }
};

QTEST_MAIN(TestFindPanel)
#include "tst_findpanel.moc"
