#include "Keyboard.h"
#include "TestSupport.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "platform/Dialogs.h"
#include "setup/SetupWindow.h"
#include "shell/WindowCatalog.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/SettingsStore.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

// Which values pass is tested with the rules; here, what the window does
// with its keys, its boxes and its Okay.
class TestSetupWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    QPointer<SetupWindow> m_window;

    QStringList storedLayout()
    {
        Settings s;
        if (!SettingsStore(m_data->db()).read(s).ok())
            return {};
        return {s.location, s.open, s.close, QString::number(s.slotMinutes), QString::number(s.providerCount), s.names};
    }

    void openSetup()
    {
        m_window = qobject_cast<SetupWindow*>(Windows::open(Window::Setup));
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }

    QLineEdit* box(const char* name) const { return m_window->box(QString::fromLatin1(name)); }
    void clickButton(const char* name) { QTest::mouseClick(m_window->findChild<QWidget*>(name), Qt::LeftButton); }

private slots:
    void init()
    {
        Dialogs::resetRecord();
        m_data = std::make_unique<TestSupport::DataFixture>();
        Windows::unregisterAll();
        registerProgramWindows(m_data->db());
    }

    void cleanup()
    {
        Windows::discardAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_data.reset();
    }

    // Typed through the boxes with Enter (\r; \b is Backspace): the letters,
    // the 9 in the count and a count of 0 are refused with a beep; Down on the
    // count asks for the names, again for one with a hyphen; a cancelled name
    // stays empty. Okay, by Enter, stores it and brings the appointment window
    // back in the new layout; the window, opened again, shows it.
    void aNewLayoutTypedThroughTheBoxes()
    {
        QPointer<QWidget> appt = Windows::open(Window::Appointments);
        openSetup();
        for (const char* name : {"Smith-Jones", "Smith Jones", "", "C", "D", "E", "F"})
            Dialogs::pushInput(*name ? std::optional<QString>(QString::fromLatin1(name)) : std::nullopt);
        for (const char* text : {"Clinic 9-b\r", "9\r", "1a55\b\r", "am\r", "4\r", "5\r", "x\r", "60\r", "0\r", "96"}) {
            qobject_cast<QLineEdit*>(Keyboard::focus())->selectAll();
            Keyboard::type(QString::fromLatin1(text));
        }
        Keyboard::press(Qt::Key_O, Qt::AltModifier); // an Alt key is never typed into a box
        QCOMPARE(box("providerCountEdit")->text(), QStringLiteral("6"));
        Keyboard::press(Qt::Key_Down);
        QCOMPARE(Dialogs::beeps(), 3);
        QCOMPARE(Dialogs::prompts().size(), 7);
        Keyboard::press(Qt::Key_Return);

        const QString names = QStringLiteral(" Smith Jones -   -  C -  D -  E -  F - ");
        QCOMPARE(storedLayout(), (QStringList {"Clinic 9-b", "09:15 AM", "04:05 PM", "60", "6", names}));
        QTRY_VERIFY(!appt && !m_window);
        auto* reopened = qobject_cast<ApptWindow*>(Windows::find(Window::Appointments));
        QVERIFY(reopened);
        QCOMPARE(reopened->grid()->columnCountGrid(), 7);
        QCOMPARE(reopened->grid()->cellText(3, 0), QStringLiteral("10:15 AM"));

        openSetup();
        QCOMPARE(box("openMinuteEdit")->text() + box("closeHalfEdit")->text(), QStringLiteral("15PM"));
        QCOMPARE(m_window->namesText(), names);
    }

    // Okay refuses with the focus on the failing box and stores nothing;
    // failing: none when it stores.
    void okayRefusesOrStores_data()
    {
        QTest::addColumn<QStringList>("boxValueFailing");
        QTest::newRow("first minutes") << QStringList {"openMinuteEdit", "60", "openMinuteEdit"};
        QTest::newRow("last before first") << QStringList {"closeHalfEdit", "AM", "closeHourEdit"};
        QTest::newRow("count changed: names asked") << QStringList {"providerCountEdit", "3", ""};
    }

    void okayRefusesOrStores()
    {
        QFETCH(QStringList, boxValueFailing);
        const QString failing = boxValueFailing[2];
        const QStringList before = storedLayout();
        openSetup();
        m_window->box(boxValueFailing[0])->setText(boxValueFailing[1]); // as pasted: past the key filters
        clickButton("okayButton");
        QCOMPARE(Windows::isOpen(Window::Appointments), failing.isEmpty());
        QCOMPARE(Dialogs::prompts().size(), failing.isEmpty() ? 3 : 0);
        QCOMPARE(storedLayout() == before, !failing.isEmpty());
        if (failing.isEmpty())
            return;
        // Why, in a line below the failing box, until the box is edited.
        QCOMPARE(Keyboard::focus(), m_window->box(failing));
        auto* why = m_window->findChild<QLabel*>(QStringLiteral("refusalLabel"));
        QVERIFY(why->isVisible() && why->y() > m_window->box(failing)->geometry().bottom());
        QTest::keyClick(m_window->box(failing), Qt::Key_Backspace);
        QVERIFY(!why->isVisible());
    }

    // Another copy holds the file and the user does not retry: the window
    // stays with what was typed.
    void aFailedSaveKeepsTheWindow()
    {
        openSetup();
        box("locationEdit")->setText(QStringLiteral("Clinic"));
        Database other(QStringLiteral("other"));
        QVERIFY(other.open(m_data->databasePath()).ok());
        QVERIFY(TestSupport::holdWriteLock(other.connection()));
        m_data->db().retry().pause = [](qint64) {};
        Dialogs::pushAnswer(Dialogs::No);
        clickButton("okayButton");
        QVERIFY(Dialogs::shown().last().text.endsWith(QStringLiteral(". Retry?")));
        QVERIFY(m_window && m_window->isVisible() && box("locationEdit")->text() == QStringLiteral("Clinic"));
        QVERIFY(!storedLayout().contains(QStringLiteral("Clinic")));
    }
};

QTEST_MAIN(TestSetupWindow)
#include "tst_setupwindow.moc"
