#include "Keyboard.h"
#include "TestSupport.h"

#include "appointments/ApptWindow.h"
#include "appointments/DayGrid.h"
#include "platform/Dialogs.h"
#include "setup/SetupWindow.h"
#include "shell/WindowCatalog.h"
#include "shell/Windows.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

using Keyboard::focus;
using Keyboard::press;
using Keyboard::type;

namespace {
const QString Prompt = QStringLiteral("Please enter name of service provider ");

QStringList promptsFor(int count)
{
    QStringList out;
    for (int i = 1; i <= count; ++i)
        out << Prompt + QString::number(i);
    return out;
}

void answerNames(const QStringList& names)
{
    for (const QString& n : names)
        Dialogs::pushInput(n);
}

bool sameLayout(const Settings& a, const Settings& b)
{
    return a.location == b.location && a.open == b.open && a.close == b.close && a.slotMinutes == b.slotMinutes
        && a.providerCount == b.providerCount && a.names == b.names;
}
} // namespace

class TestSetupWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    QPointer<SetupWindow> m_window;

    Settings stored()
    {
        Settings s;
        const Result st = SettingsStore(m_data->db()).read(s);
        if (!st.ok())
            qWarning("cannot read settings: %s", qPrintable(st.message));
        return s;
    }

    void store(const Settings& s) { QVERIFY(SettingsStore(m_data->db()).writeLayout(s).ok()); }

    SetupWindow* openSetup()
    {
        m_window = qobject_cast<SetupWindow*>(Windows::open(Window::Setup));
        if (!m_window)
            return nullptr;
        QApplication::setActiveWindow(m_window);
        if (!QTest::qWaitForWindowActive(m_window))
            qWarning("setup window not active");
        return m_window;
    }

    QLineEdit* box(const char* name) const { return m_window->box(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) const { return m_window->findChild<QPushButton*>(QString::fromLatin1(name)); }

    // Replaces a box's text by typing, as a user who selected it all would.
    void retype(const char* name, const QString& text)
    {
        QLineEdit* b = box(name);
        b->setFocus();
        b->selectAll();
        type(text);
    }

    void pressOkay()
    {
        button("okayButton")->setFocus();
        press(Qt::Key_Return);
    }

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
        Windows::close(Window::Setup);
        Windows::close(Window::Appointments);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_data.reset();
    }

    void loadFillsTheBoxes()
    {
        Settings s = stored();
        s.location = QStringLiteral("Clinic");
        s.open = QStringLiteral("08:30 AM");
        s.close = QStringLiteral("05:45 PM");
        s.slotMinutes = 15;
        s.providerCount = 2;
        s.names = QStringLiteral(" Dr Lee -  Dr Kim - ");
        store(s);

        QVERIFY(openSetup());
        QStringList shown;
        for (const char* name : {"locationEdit", "openHourEdit", "openMinuteEdit", "openHalfEdit", "closeHourEdit",
                 "closeMinuteEdit", "closeHalfEdit", "slotMinutesEdit", "providerCountEdit"})
            shown << box(name)->text();
        QCOMPARE(shown, (QStringList {"Clinic", "08", "30", "AM", "05", "45", "PM", "15", "2"}));
        QCOMPARE(m_window->namesText(), s.names);
        QCOMPARE(m_window->promptedCount(), 2);
    }

    void resetThenOkayStoresDefaults()
    {
        Settings s = stored();
        s.location = QStringLiteral("Agency");
        s.open = QStringLiteral("07:15 AM");
        s.slotMinutes = 45;
        s.providerCount = 2;
        s.names = QStringLiteral(" X -  Y - ");
        store(s);
        QVERIFY(!Windows::isOpen(Window::Appointments));

        QVERIFY(openSetup());
        button("resetButton")->setFocus();
        press(Qt::Key_Return);
        QCOMPARE(focus(), box("locationEdit"));
        pressOkay();

        QVERIFY(Dialogs::prompts().isEmpty());
        QVERIFY(sameLayout(stored(), Settings::defaults()));
        // Okay ends in the appointment window, also when it was not open.
        QVERIFY(Windows::isOpen(Window::Appointments));
        QTRY_VERIFY(!m_window);
    }

    // The value checks themselves are tested on their own; here, that Okay
    // refuses by putting the focus on the failing box and storing nothing.
    void okayChecksEachBox_data()
    {
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("failing");
        auto row = [](const char* name, const char* boxName, const char* value, bool accepted,
                       const char* failing = nullptr) {
            QTest::newRow(name) << QString::fromLatin1(boxName) << QString::fromLatin1(value) << accepted
                                << QString::fromLatin1(failing ? failing : boxName);
        };
        row("first hour 13", "openHourEdit", "13", false);
        row("first hour empty", "openHourEdit", "", false);
        row("last hour 13", "closeHourEdit", "13", false);
        row("first minutes 60", "openMinuteEdit", "60", false);
        row("last minutes 60", "closeMinuteEdit", "60", false);
        row("slot 241", "slotMinutesEdit", "241", false);
        row("count 9", "providerCountEdit", "9", false);
        row("slot 240", "slotMinutesEdit", "240", true);
        row("last appointment before the first", "closeHalfEdit", "AM", false, "closeHourEdit");
    }

    void okayChecksEachBox()
    {
        QFETCH(QString, boxName);
        QFETCH(QString, value);
        QFETCH(bool, accepted);
        QFETCH(QString, failing);
        const Settings before = stored();
        QVERIFY(openSetup());
        // Set as pasted: the key filters would refuse some of these values.
        m_window->box(boxName)->setText(value);
        QTest::mouseClick(button("okayButton"), Qt::LeftButton);

        QCOMPARE(Windows::isOpen(Window::Appointments), accepted);
        if (accepted) {
            QCOMPARE(stored().slotMinutes, value.toInt());
            return;
        }
        QVERIFY(m_window);
        QCOMPARE(focus(), m_window->box(failing));
        QVERIFY(sameLayout(stored(), before));
        QCOMPARE(Dialogs::beeps(), 0);
        QVERIFY(Dialogs::shown().isEmpty());
    }

    // Enter (or Down) in the count box asks for that many names, also when the
    // count did not change; a cancelled name is left empty.
    void countEnterAsksForNames_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("answers"); // "<cancel>": the input box is cancelled
        QTest::addColumn<QString>("names");
        auto row = [](const char* name, const char* count, int key, const QStringList& answers, const char* names) {
            QTest::newRow(name) << QString::fromLatin1(count) << key << answers << QString::fromLatin1(names);
        };
        row("3, Enter", "3", Qt::Key_Return, {"A", "B", "C"}, " A -  B -  C - ");
        row("same count 4, Enter", "4", Qt::Key_Enter, {"P", "Q", "R", "S"}, " P -  Q -  R -  S - ");
        row("1, Down", "1", Qt::Key_Down, {"Solo"}, " Solo - ");
        row("8, Enter", "8", Qt::Key_Return, {"1", "2", "3", "4", "5", "6", "7", "8"},
            " 1 -  2 -  3 -  4 -  5 -  6 -  7 -  8 - ");
        row("cancelled name", "2", Qt::Key_Return, {"<cancel>", "Dr Kim"}, "  -  Dr Kim - ");
    }

    void countEnterAsksForNames()
    {
        QFETCH(QString, count);
        QFETCH(int, key);
        QFETCH(QStringList, answers);
        QFETCH(QString, names);
        QVERIFY(openSetup());
        retype("providerCountEdit", count);
        for (const QString& a : answers)
            Dialogs::pushInput(a == QLatin1String("<cancel>") ? std::nullopt : std::optional<QString>(a));
        press(key);
        QCOMPARE(Dialogs::prompts(), promptsFor(count.toInt()));
        QCOMPARE(m_window->promptedCount(), count.toInt());
        QCOMPARE(m_window->namesText(), names);
        QCOMPARE(focus(), button("okayButton"));

        // Okay stores them without asking again.
        press(Qt::Key_Return);
        QCOMPARE(Dialogs::prompts().size(), count.toInt());
        QCOMPARE(stored().names, names);
        QCOMPARE(stored().providerCount, count.toInt());
    }

    void changedCountAskedAtOkay()
    {
        QVERIFY(openSetup());
        retype("providerCountEdit", QStringLiteral("3"));
        answerNames({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        QTest::mouseClick(button("okayButton"), Qt::LeftButton);
        QCOMPARE(Dialogs::prompts(), promptsFor(3));
        QCOMPARE(stored().names, QStringLiteral(" A -  B -  C - "));
        QCOMPARE(stored().providerCount, 3);
    }

    void badCountRefusedAtEnter_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("key");
        QTest::newRow("empty, Enter") << "" << int(Qt::Key_Return);
        QTest::newRow("empty, Down") << "" << int(Qt::Key_Down);
        QTest::newRow("0, Enter") << "0" << int(Qt::Key_Return);
        QTest::newRow("9, Enter") << "9" << int(Qt::Key_Enter);
        QTest::newRow("65537, Down: 1 in 16 bits") << "65537" << int(Qt::Key_Down);
    }

    void badCountRefusedAtEnter()
    {
        QFETCH(QString, value);
        QFETCH(int, key);
        QVERIFY(openSetup());
        box("providerCountEdit")->setText(value); // as pasted
        box("providerCountEdit")->setFocus();
        press(key);
        QCOMPARE(Dialogs::beeps(), 1);
        QVERIFY(Dialogs::prompts().isEmpty());
        QCOMPARE(focus(), box("providerCountEdit"));
    }

    void typedKeysFiltered_data()
    {
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("beeps");
        auto row = [](const char* name, const char* boxName, const char* typed, const char* text, int beeps) {
            QTest::newRow(name) << QString::fromLatin1(boxName) << QString::fromLatin1(typed)
                                << QString::fromLatin1(text) << beeps;
        };
        for (const char* name :
            {"openHourEdit", "openMinuteEdit", "closeHourEdit", "closeMinuteEdit", "slotMinutesEdit"})
            row(name, name, "1a9 .-", "19", 4);
        row("count refuses 9", "providerCountEdit", "98", "8", 1);
        row("location takes any key", "locationEdit", "Clinic 9-b", "Clinic 9-b", 0);
        row("day half in capitals", "closeHalfEdit", "pm", "PM", 0);
    }

    void typedKeysFiltered()
    {
        QFETCH(QString, boxName);
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(int, beeps);
        QVERIFY(openSetup());
        QLineEdit* b = m_window->box(boxName);
        b->setFocus();
        b->selectAll();
        type(typed);
        QCOMPARE(b->text(), text);
        QCOMPARE(Dialogs::beeps(), beeps);
        press(Qt::Key_Backspace);
        QCOMPARE(b->text(), text.chopped(1));
        QCOMPARE(Dialogs::beeps(), beeps);
    }

    void amPmCorrectedAtOkay()
    {
        QVERIFY(openSetup());
        retype("openHalfEdit", QStringLiteral("pm"));
        retype("closeHourEdit", QStringLiteral("11"));
        retype("closeHalfEdit", QStringLiteral("x"));
        QTest::mouseClick(button("okayButton"), Qt::LeftButton);
        // PM for the first appointment is kept; a single letter becomes the default.
        QCOMPARE(stored().open, QStringLiteral("08:00 PM"));
        QCOMPARE(stored().close, QStringLiteral("11:00 PM"));
    }

    void nameWithHyphenAskedAgain()
    {
        QVERIFY(openSetup());
        retype("providerCountEdit", QStringLiteral("2"));
        answerNames({QStringLiteral("Smith-Jones"), QStringLiteral("Smith Jones"), QStringLiteral("Lee")});
        press(Qt::Key_Return);
        QCOMPARE(Dialogs::prompts(), (QStringList {Prompt + "1", Prompt + "1", Prompt + "2"}));
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY(Dialogs::shown().first().text.contains(QLatin1Char('-')));
        QCOMPARE(m_window->namesText(), QStringLiteral(" Smith Jones -  Lee - "));
    }

    void oneDigitPartsStoredWithTwo()
    {
        QVERIFY(openSetup());
        retype("openHourEdit", QStringLiteral("8"));
        retype("closeMinuteEdit", QStringLiteral("5"));
        QTest::mouseClick(button("okayButton"), Qt::LeftButton);
        QCOMPARE(stored().open, QStringLiteral("08:00 AM"));
        QCOMPARE(stored().close, QStringLiteral("05:05 PM"));
    }

    void enterChain()
    {
        QVERIFY(openSetup());
        const QStringList chain {"locationEdit", "openHourEdit", "openMinuteEdit", "openHalfEdit", "closeHourEdit",
            "closeMinuteEdit", "closeHalfEdit", "slotMinutesEdit", "providerCountEdit"};
        for (qsizetype i = 1; i < chain.size(); ++i) {
            press(Qt::Key_Return);
            QCOMPARE(focus()->objectName(), chain[i]);
        }
        // An empty box keeps the focus.
        box("openMinuteEdit")->clear();
        box("openMinuteEdit")->setFocus();
        press(Qt::Key_Enter);
        QCOMPARE(focus(), box("openMinuteEdit"));
        QCOMPARE(Dialogs::beeps(), 0);
    }

    void upDown_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("up");
        QTest::addColumn<QString>("down"); // empty: Down is not tried
        auto row = [](const char* from, const char* up, const char* down) {
            QTest::newRow(from) << QString::fromLatin1(from) << QString::fromLatin1(up) << QString::fromLatin1(down);
        };
        row("locationEdit", "locationEdit", "openHourEdit");
        row("openMinuteEdit", "locationEdit", "closeMinuteEdit");
        row("closeHalfEdit", "openHalfEdit", "slotMinutesEdit");
        row("providerCountEdit", "slotMinutesEdit", "");
        row("okayButton", "providerCountEdit", "okayButton");
    }

    void upDown()
    {
        QFETCH(QString, from);
        QFETCH(QString, up);
        QFETCH(QString, down);
        QVERIFY(openSetup());
        auto* start = m_window->findChild<QWidget*>(from);
        start->setFocus();
        press(Qt::Key_Up);
        QCOMPARE(focus()->objectName(), up);
        if (down.isEmpty())
            return;
        start->setFocus();
        press(Qt::Key_Down);
        QCOMPARE(focus()->objectName(), down);
        QVERIFY(Dialogs::prompts().isEmpty());
    }

    // A booking that would find no place in the new layout is never moved:
    // its day keeps the layout it was booked in, and the user is told.
    void okayKeepsTypedNameAndReopensWithNewLayout()
    {
        auto* appt = qobject_cast<ApptWindow*>(Windows::open(Window::Appointments));
        QVERIFY(appt);
        QApplication::setActiveWindow(appt);
        QVERIFY(QTest::qWaitForWindowActive(appt));
        QCOMPARE(appt->grid()->columnCountGrid(), 5);
        appt->grid()->setFocus();
        appt->grid()->setCurrentCell(2, 1);
        type(QStringLiteral("SMITH"));
        press(Qt::Key_Return);
        QCOMPARE(appt->grid()->cellText(2, 1), QStringLiteral("SMITH"));
        QPointer<ApptWindow> old(appt);

        QVERIFY(openSetup());
        retype("openHourEdit", QStringLiteral("09"));
        retype("slotMinutesEdit", QStringLiteral("60"));
        retype("providerCountEdit", QStringLiteral("6"));
        answerNames({"A", "B", "C", "D", "E", "F"});
        press(Qt::Key_Return);
        press(Qt::Key_Return);

        QTRY_VERIFY(!old);
        QTRY_VERIFY(!m_window);
        auto* reopened = qobject_cast<ApptWindow*>(Windows::find(Window::Appointments));
        QVERIFY(reopened);
        QVERIFY(reopened->isVisible());
        QCOMPARE(Dialogs::shown().size(), 1);
        QCOMPARE(Dialogs::shown().last().text,
            QStringLiteral("1 booked day from today on keeps its earlier times and providers, so that none of its "
                           "appointments moves or is lost."));
        QCOMPARE(reopened->grid()->cellText(2, 0), QStringLiteral("08:00 AM"));
        QCOMPARE(reopened->grid()->cellText(2, 1), QStringLiteral("SMITH"));

        QVERIFY(reopened->changeDay(TestSupport::Today.addDays(1)));
        QCOMPARE(reopened->grid()->columnCountGrid(), 7);
        QCOMPARE(reopened->grid()->cellText(0, 6), QStringLiteral("  F "));
        QCOMPARE(reopened->grid()->cellText(2, 0), QStringLiteral("09:00 AM"));
        QCOMPARE(reopened->grid()->cellText(3, 0), QStringLiteral("10:00 AM"));
    }

    void failedSaveAsksAndStays()
    {
        const Settings before = stored();
        QVERIFY(openSetup());
        retype("locationEdit", QStringLiteral("Clinic"));

        Database other(QStringLiteral("other"));
        QVERIFY(other.open(m_data->databasePath()).ok());
        QSqlQuery lock(other.connection());
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        m_data->db().retry().pause = [](qint64) {};

        Dialogs::pushAnswer(Dialogs::Yes);
        Dialogs::pushAnswer(Dialogs::No);
        QTest::mouseClick(button("okayButton"), Qt::LeftButton);
        QCOMPARE(Dialogs::shown().size(), 2);
        QVERIFY(Dialogs::shown().last().text.endsWith(QStringLiteral(". Retry?")));
        QVERIFY(m_window);
        QVERIFY(m_window->isVisible());
        QVERIFY(!Windows::isOpen(Window::Appointments));
        QCOMPARE(box("locationEdit")->text(), QStringLiteral("Clinic"));

        QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
        lock.finish();
        other.close();
        QVERIFY(sameLayout(stored(), before));

        // Once the file is free, Okay goes through.
        QTest::mouseClick(button("okayButton"), Qt::LeftButton);
        QCOMPARE(stored().location, QStringLiteral("Clinic"));
        QVERIFY(Windows::isOpen(Window::Appointments));
    }
};

QTEST_MAIN(TestSetupWindow)
#include "tst_setupwindow.moc"
