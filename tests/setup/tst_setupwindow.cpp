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
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

namespace {
const QString Prompt = QStringLiteral("Please enter name of service provider ");

QWidget* focus()
{
    return QApplication::focusWidget();
}

void press(int key)
{
    QWidget* w = focus();
    QVERIFY(w);
    QTest::keyClick(w, Qt::Key(key));
}

// Each character goes to whatever has the focus at that moment.
void type(const QString& text)
{
    for (QChar c : text) {
        QWidget* w = focus();
        QVERIFY(w);
        QTest::keyClick(w, c.toLatin1());
    }
}

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
    return a.location == b.location && a.open == b.open && a.close == b.close && a.timeslot == b.timeslot
        && a.listno == b.listno && a.names == b.names;
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
        const StoreStatus st = SettingsStore(m_data->db()).read(s);
        if (!st.ok())
            qWarning("cannot read settings: %s", qPrintable(st.message));
        return s;
    }

    void store(const Settings& s) { QVERIFY(SettingsStore(m_data->db()).writeLayout(s).ok()); }

    SetupWindow* openSetup()
    {
        m_window = qobject_cast<SetupWindow*>(Windows::open(QStringLiteral("frmSetup")));
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
        button("CmdOkay")->setFocus();
        press(Qt::Key_Return);
    }

private slots:
    void initTestCase() { registerProgramWindows(); }

    void init()
    {
        Dialogs::resetRecord();
        m_data = std::make_unique<TestSupport::DataFixture>();
    }

    void cleanup()
    {
        Windows::close(QStringLiteral("frmSetup"));
        Windows::close(QStringLiteral("frmAppt"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_data.reset();
    }

    void controlsAsDesigned()
    {
        QVERIFY(openSetup());
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Set-up"));
        const struct
        {
            const char* name;
            const char* text;
        } labels[] = {
            {"Label1", "Please supply the following information to customize the application:"},
            {"Label2",
                "1.  How would you describe your service location?           (e.g. Clinic, Office, Center, Agency)"},
            {"Label3", "2. Time for first appointment  (e.g. 07:30 AM, 08:00 AM ):"},
            {"Label4", "3. Time for last appointment (e.g. 05:00 PM, 05:30 PM)"},
            {"Label5", "4.  Time alloted for each appointment in minutes:                (Range: 10 to 240 )"},
            {"Label6", "5.  Number of service providers: ( Range: 1 to 8 )"},
            {"Label7", "Names of Service Providers:"},
            {"Label8", "Hr"},
            {"Label11", "Min"},
            {"Label12", "AM"},
            {"Label13", "Hr"},
            {"Label14", "Min"},
            {"Label15", "PM"},
        };
        for (const auto& l : labels) {
            auto* label = m_window->findChild<QLabel*>(QString::fromLatin1(l.name));
            QVERIFY2(label, l.name);
            QCOMPARE(label->text(), QString::fromLatin1(l.text));
            QVERIFY(label->isVisible());
        }
        QVERIFY(!m_window->findChild<QLabel*>(QStringLiteral("lblOpen"))->isVisible());
        QVERIFY(!m_window->findChild<QLabel*>(QStringLiteral("lblClose"))->isVisible());
        QCOMPARE(button("CmdOkay")->text(), QStringLiteral("Okay"));
        QCOMPARE(button("CmdReset")->text(), QStringLiteral("Reset"));
        auto* text6 = m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text6"));
        QVERIFY(text6->isReadOnly());
        QVERIFY(!(text6->focusPolicy() & Qt::TabFocus));

        // Tab walks the boxes and buttons in their order and skips Text6.
        const QStringList order {"Text1", "txtHrO", "txtMinO", "txtAM", "txtHrC", "txtMinC", "txtPM", "Text4", "Text5",
            "CmdOkay", "CmdReset", "Text1"};
        QCOMPARE(focus()->objectName(), order.first());
        for (qsizetype i = 1; i < order.size(); ++i) {
            press(Qt::Key_Tab);
            QCOMPARE(focus()->objectName(), order[i]);
        }
    }

    void loadFillsTheBoxes()
    {
        Settings s = stored();
        s.location = QStringLiteral("Clinic");
        s.open = QStringLiteral("08:30 AM");
        s.close = QStringLiteral("05:45 PM");
        s.timeslot = 15;
        s.listno = 2;
        s.names = QStringLiteral(" Dr Lee -  Dr Kim - ");
        store(s);

        QVERIFY(openSetup());
        QCOMPARE(box("Text1")->text(), QStringLiteral("Clinic"));
        QCOMPARE(box("txtHrO")->text(), QStringLiteral("08"));
        QCOMPARE(box("txtMinO")->text(), QStringLiteral("30"));
        QCOMPARE(box("txtAM")->text(), QStringLiteral("AM"));
        QCOMPARE(box("txtHrC")->text(), QStringLiteral("05"));
        QCOMPARE(box("txtMinC")->text(), QStringLiteral("45"));
        QCOMPARE(box("txtPM")->text(), QStringLiteral("PM"));
        QCOMPARE(box("Text4")->text(), QStringLiteral("15"));
        QCOMPARE(box("Text5")->text(), QStringLiteral("2"));
        QCOMPARE(m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text6"))->toPlainText(), s.names);
        QCOMPARE(m_window->promptedCount(), 2);
        QCOMPARE(focus(), box("Text1"));
    }

    void resetThenOkayStoresDefaults()
    {
        Settings s = stored();
        s.location = QStringLiteral("Agency");
        s.open = QStringLiteral("07:15 AM");
        s.close = QStringLiteral("09:00 PM");
        s.timeslot = 45;
        s.listno = 2;
        s.names = QStringLiteral(" X -  Y - ");
        store(s);
        QVERIFY(!Windows::isOpen(QStringLiteral("frmAppt")));

        QVERIFY(openSetup());
        button("CmdReset")->setFocus();
        press(Qt::Key_Return);
        QCOMPARE(box("Text1")->text(), QStringLiteral("Office"));
        QCOMPARE(m_window->promptedCount(), 4);
        QCOMPARE(focus(), box("Text1"));
        pressOkay();

        QVERIFY(Dialogs::prompts().isEmpty());
        const Settings now = stored();
        QCOMPARE(now.location, QStringLiteral("Office"));
        QCOMPARE(now.open, QStringLiteral("08:00 AM"));
        QCOMPARE(now.close, QStringLiteral("05:00 PM"));
        QCOMPARE(now.timeslot, 30);
        QCOMPARE(now.listno, 4);
        QCOMPARE(now.names, QStringLiteral(" Practitioner A - Practitioner B - Practitioner C - Practitioner D"));
        // Okay ends in the appointment window, also when it was not open.
        QVERIFY(Windows::isOpen(QStringLiteral("frmAppt")));
        QTRY_VERIFY(!m_window);
    }

    void spaceOnResetPressesIt()
    {
        QVERIFY(openSetup());
        box("Text1")->clear();
        button("CmdReset")->setFocus();
        press(Qt::Key_Space);
        QCOMPARE(box("Text1")->text(), QStringLiteral("Office"));
    }

    void okayChecksEachBox_data()
    {
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("first hour 12") << "txtHrO"
                                       << "12" << true;
        QTest::newRow("first hour 13") << "txtHrO"
                                       << "13" << false;
        QTest::newRow("first hour empty") << "txtHrO"
                                          << "" << false;
        QTest::newRow("last hour 12") << "txtHrC"
                                      << "12" << true;
        QTest::newRow("last hour 13") << "txtHrC"
                                      << "13" << false;
        QTest::newRow("first minutes 59") << "txtMinO"
                                          << "59" << true;
        QTest::newRow("first minutes 60") << "txtMinO"
                                          << "60" << false;
        QTest::newRow("last minutes 59") << "txtMinC"
                                         << "59" << true;
        QTest::newRow("last minutes 60") << "txtMinC"
                                         << "60" << false;
        QTest::newRow("slot 10") << "Text4"
                                 << "10" << true;
        QTest::newRow("slot 240") << "Text4"
                                  << "240" << true;
        QTest::newRow("slot 9") << "Text4"
                                << "9" << false;
        QTest::newRow("slot 241") << "Text4"
                                  << "241" << false;
        QTest::newRow("count 1") << "Text5"
                                 << "1" << true;
        QTest::newRow("count 8") << "Text5"
                                 << "8" << true;
        QTest::newRow("count 0") << "Text5"
                                 << "0" << false;
        QTest::newRow("count 9") << "Text5"
                                 << "9" << false;
    }

    void okayChecksEachBox()
    {
        QFETCH(QString, boxName);
        QFETCH(QString, value);
        QFETCH(bool, accepted);
        const Settings before = stored();
        QVERIFY(openSetup());
        // Set as pasted: the key filters would refuse some of these values.
        m_window->box(boxName)->setText(value);
        button("CmdOkay")->setFocus();
        QTest::mouseClick(button("CmdOkay"), Qt::LeftButton);

        if (!accepted) {
            QVERIFY(m_window);
            QCOMPARE(focus(), m_window->box(boxName));
            QVERIFY(sameLayout(stored(), before));
            QCOMPARE(Dialogs::beeps(), 0);
            QVERIFY(Dialogs::shown().isEmpty());
            QVERIFY(!Windows::isOpen(QStringLiteral("frmAppt")));
            return;
        }
        const Settings now = stored();
        QVERIFY(!sameLayout(now, before));
        if (boxName == QLatin1String("txtHrO"))
            QCOMPARE(now.open, value + QStringLiteral(":00 AM"));
        else if (boxName == QLatin1String("txtHrC"))
            QCOMPARE(now.close, value + QStringLiteral(":00 PM"));
        else if (boxName == QLatin1String("txtMinO"))
            QCOMPARE(now.open, QStringLiteral("08:") + value + QStringLiteral(" AM"));
        else if (boxName == QLatin1String("txtMinC"))
            QCOMPARE(now.close, QStringLiteral("05:") + value + QStringLiteral(" PM"));
        else if (boxName == QLatin1String("Text4"))
            QCOMPARE(now.timeslot, value.toInt());
        else
            QCOMPARE(now.listno, value.toInt());
        QVERIFY(Windows::isOpen(QStringLiteral("frmAppt")));
    }

    void countEnterAsksForNames()
    {
        QVERIFY(openSetup());
        retype("Text5", QStringLiteral("3"));
        answerNames({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        press(Qt::Key_Return);
        QCOMPARE(Dialogs::prompts(), promptsFor(3));
        QCOMPARE(m_window->promptedCount(), 3);
        QCOMPARE(m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text6"))->toPlainText(),
            QStringLiteral(" A -  B -  C - "));
        QCOMPARE(focus(), button("CmdOkay"));

        press(Qt::Key_Return);
        QCOMPARE(Dialogs::prompts().size(), 3);
        QCOMPARE(stored().names, QStringLiteral(" A -  B -  C - "));
        QCOMPARE(stored().listno, 3);
    }

    void changedCountAskedAtOkay()
    {
        QVERIFY(openSetup());
        QCOMPARE(box("Text5")->text(), QStringLiteral("4"));
        retype("Text5", QStringLiteral("3"));
        answerNames({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        QTest::mouseClick(button("CmdOkay"), Qt::LeftButton);
        QCOMPARE(Dialogs::prompts(), promptsFor(3));
        QCOMPARE(stored().names, QStringLiteral(" A -  B -  C - "));
        QCOMPARE(stored().listno, 3);
    }

    void enterWithSameCountAsksAgain()
    {
        QVERIFY(openSetup());
        box("Text5")->setFocus();
        answerNames({QStringLiteral("P"), QStringLiteral("Q"), QStringLiteral("R"), QStringLiteral("S")});
        press(Qt::Key_Return);
        QCOMPARE(Dialogs::prompts(), promptsFor(4));
        QCOMPARE(m_window->namesText(), QStringLiteral(" P -  Q -  R -  S - "));
    }

    void cancelledNameIsEmpty()
    {
        QVERIFY(openSetup());
        retype("Text5", QStringLiteral("2"));
        Dialogs::pushInput(std::nullopt);
        Dialogs::pushInput(QStringLiteral("Dr Kim"));
        press(Qt::Key_Return);
        QCOMPARE(m_window->namesText(), QStringLiteral("  -  Dr Kim - "));
    }

    void emptyCountBoxBeeps_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Down") << int(Qt::Key_Down);
    }

    void emptyCountBoxBeeps()
    {
        QFETCH(int, key);
        QVERIFY(openSetup());
        box("Text5")->clear();
        box("Text5")->setFocus();
        press(key);
        QCOMPARE(Dialogs::beeps(), 1);
        QVERIFY(Dialogs::prompts().isEmpty());
        QCOMPARE(focus(), box("Text5"));
    }

    void countOutOfRangeRefusedAtEnter()
    {
        QVERIFY(openSetup());
        retype("Text5", QStringLiteral("0"));
        press(Qt::Key_Return);
        QCOMPARE(Dialogs::beeps(), 1);
        QVERIFY(Dialogs::prompts().isEmpty());
        QCOMPARE(focus(), box("Text5"));

        retype("Text5", QStringLiteral("88"));
        press(Qt::Key_Down);
        QCOMPARE(Dialogs::beeps(), 2);
        QVERIFY(Dialogs::prompts().isEmpty());
        QCOMPARE(focus(), box("Text5"));
    }

    void countBoxRefusesNine()
    {
        QVERIFY(openSetup());
        retype("Text5", QStringLiteral("9"));
        QCOMPARE(box("Text5")->text(), QStringLiteral("4"));
        QCOMPARE(Dialogs::beeps(), 1);
        type(QStringLiteral("8"));
        QCOMPARE(box("Text5")->text(), QStringLiteral("8"));
        QCOMPARE(Dialogs::beeps(), 1);
    }

    void numberBoxesTakeDigitsOnly_data()
    {
        QTest::addColumn<QString>("boxName");
        for (const char* name : {"txtHrO", "txtMinO", "txtHrC", "txtMinC", "Text4"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void numberBoxesTakeDigitsOnly()
    {
        QFETCH(QString, boxName);
        QVERIFY(openSetup());
        QLineEdit* b = m_window->box(boxName);
        b->setFocus();
        b->selectAll();
        type(QStringLiteral("1a9 .-"));
        QCOMPARE(b->text(), QStringLiteral("19"));
        QCOMPARE(Dialogs::beeps(), 4);
        press(Qt::Key_Backspace);
        QCOMPARE(b->text(), QStringLiteral("1"));
        QCOMPARE(Dialogs::beeps(), 4);
    }

    void otherBoxesTakeAnyKey()
    {
        QVERIFY(openSetup());
        retype("Text1", QStringLiteral("Clinic 9-b"));
        QCOMPARE(box("Text1")->text(), QStringLiteral("Clinic 9-b"));
        QCOMPARE(Dialogs::beeps(), 0);
    }

    void amPmLettersUpperCase()
    {
        QVERIFY(openSetup());
        retype("txtPM", QStringLiteral("pm"));
        QCOMPARE(box("txtPM")->text(), QStringLiteral("PM"));
        retype("txtAM", QStringLiteral("a"));
        QCOMPARE(box("txtAM")->text(), QStringLiteral("A"));
        // A single letter is saved as the box's default.
        retype("txtPM", QStringLiteral("x"));
        QTest::mouseClick(button("CmdOkay"), Qt::LeftButton);
        QCOMPARE(stored().open, QStringLiteral("08:00 AM"));
        QCOMPARE(stored().close, QStringLiteral("05:00 PM"));
    }

    void pmForFirstAppointmentKept()
    {
        QVERIFY(openSetup());
        retype("txtAM", QStringLiteral("pm"));
        QTest::mouseClick(button("CmdOkay"), Qt::LeftButton);
        QCOMPARE(stored().open, QStringLiteral("08:00 PM"));
    }

    void nameWithHyphenAskedAgain()
    {
        QVERIFY(openSetup());
        retype("Text5", QStringLiteral("2"));
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
        retype("txtHrO", QStringLiteral("8"));
        retype("txtMinC", QStringLiteral("5"));
        QTest::mouseClick(button("CmdOkay"), Qt::LeftButton);
        QCOMPARE(stored().open, QStringLiteral("08:00 AM"));
        QCOMPARE(stored().close, QStringLiteral("05:05 PM"));
    }

    void enterChain()
    {
        QVERIFY(openSetup());
        const QStringList chain {"Text1", "txtHrO", "txtMinO", "txtAM", "txtHrC", "txtMinC", "txtPM", "Text4", "Text5"};
        QCOMPARE(focus()->objectName(), chain.first());
        for (qsizetype i = 1; i < chain.size(); ++i) {
            press(Qt::Key_Return);
            QCOMPARE(focus()->objectName(), chain[i]);
        }
        // An empty box keeps the focus.
        box("txtMinO")->clear();
        box("txtMinO")->setFocus();
        press(Qt::Key_Enter);
        QCOMPARE(focus(), box("txtMinO"));
        QCOMPARE(Dialogs::beeps(), 0);
    }

    void upDown_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("up");
        QTest::addColumn<QString>("down");
        QTest::newRow("Text1") << "Text1"
                               << "Text1"
                               << "txtHrO";
        QTest::newRow("txtHrO") << "txtHrO"
                                << "Text1"
                                << "txtHrC";
        QTest::newRow("txtMinO") << "txtMinO"
                                 << "Text1"
                                 << "txtMinC";
        QTest::newRow("txtAM") << "txtAM"
                               << "Text1"
                               << "txtPM";
        QTest::newRow("txtHrC") << "txtHrC"
                                << "txtHrO"
                                << "Text4";
        QTest::newRow("txtMinC") << "txtMinC"
                                 << "txtMinO"
                                 << "Text4";
        QTest::newRow("txtPM") << "txtPM"
                               << "txtAM"
                               << "Text4";
        QTest::newRow("Text4") << "Text4"
                               << "txtHrC"
                               << "Text5";
        QTest::newRow("CmdOkay") << "CmdOkay"
                                 << "Text5"
                                 << "CmdOkay";
        QTest::newRow("CmdReset") << "CmdReset"
                                  << "Text5"
                                  << "CmdReset";
        QTest::newRow("Text5 up") << "Text5"
                                  << "Text4" << QString();
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

    void downInCountBoxActsAsEnter()
    {
        QVERIFY(openSetup());
        retype("Text5", QStringLiteral("1"));
        Dialogs::pushInput(QStringLiteral("Solo"));
        press(Qt::Key_Down);
        QCOMPARE(Dialogs::prompts(), promptsFor(1));
        QCOMPARE(focus(), button("CmdOkay"));
    }

    void okayKeepsTypedNameAndReopensWithNewLayout()
    {
        auto* appt = qobject_cast<ApptWindow*>(Windows::open(QStringLiteral("frmAppt")));
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
        retype("txtHrO", QStringLiteral("09"));
        retype("Text4", QStringLiteral("60"));
        retype("Text5", QStringLiteral("6"));
        answerNames({"A", "B", "C", "D", "E", "F"});
        press(Qt::Key_Return);
        press(Qt::Key_Return);

        QTRY_VERIFY(!old);
        QTRY_VERIFY(!m_window);
        auto* reopened = qobject_cast<ApptWindow*>(Windows::find(QStringLiteral("frmAppt")));
        QVERIFY(reopened);
        QVERIFY(reopened->isVisible());
        QCOMPARE(reopened->grid()->columnCountGrid(), 7);
        QCOMPARE(reopened->grid()->cellText(0, 6), QStringLiteral("  F "));
        QCOMPARE(reopened->grid()->cellText(2, 0), QStringLiteral("09:00 AM"));
        QCOMPARE(reopened->grid()->cellText(3, 0), QStringLiteral("10:00 AM"));
        QCOMPARE(reopened->grid()->cellText(2, 1), QStringLiteral("SMITH"));
    }

    void failedSaveAsksAndStays()
    {
        const Settings before = stored();
        QVERIFY(openSetup());
        retype("Text1", QStringLiteral("Clinic"));

        Database other(QStringLiteral("other"));
        QVERIFY(other.open(m_data->databasePath()).ok);
        QSqlQuery lock(other.connection());
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        m_data->db().retry().pause = [](qint64) {};

        Dialogs::pushAnswer(Dialogs::Yes);
        Dialogs::pushAnswer(Dialogs::No);
        QTest::mouseClick(button("CmdOkay"), Qt::LeftButton);
        QCOMPARE(Dialogs::shown().size(), 2);
        QVERIFY(Dialogs::shown().last().text.endsWith(QStringLiteral(". Retry?")));
        QVERIFY(m_window);
        QVERIFY(m_window->isVisible());
        QVERIFY(!Windows::isOpen(QStringLiteral("frmAppt")));
        QCOMPARE(box("Text1")->text(), QStringLiteral("Clinic"));

        QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
        lock.finish();
        other.close();
        QVERIFY(sameLayout(stored(), before));

        // Once the file is free, Okay goes through.
        QTest::mouseClick(button("CmdOkay"), Qt::LeftButton);
        QCOMPARE(stored().location, QStringLiteral("Clinic"));
        QVERIFY(Windows::isOpen(QStringLiteral("frmAppt")));
    }
};

QTEST_MAIN(TestSetupWindow)
#include "tst_setupwindow.moc"
