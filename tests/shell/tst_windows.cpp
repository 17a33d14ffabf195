#include "ShellTest.h"
#include "TestSupport.h"

#include "shell/Windows.h"

#include <QCloseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {
// A window that counts the close events it sees and accepts or refuses them.
class ProbeWindow : public QWidget
{
public:
    explicit ProbeWindow(bool acceptClose = true)
        : m_accept(acceptClose)
    {
        resize(200, 100);
    }
    int closeEvents = 0;

protected:
    void closeEvent(QCloseEvent* e) override
    {
        ++closeEvents;
        e->setAccepted(m_accept);
    }

private:
    bool m_accept;
};

ProbeWindow* probe(const QString& name)
{
    return static_cast<ProbeWindow*>(Windows::find(name));
}
} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private:
    int m_quits = 0;
    bool m_apptAccepts = true;

private slots:
    void initTestCase()
    {
        Windows::setQuitHandler([this] { ++m_quits; });
    }

    void init()
    {
        m_quits = 0;
        m_apptAccepts = true;
        Windows::unregisterAll();
        Windows::registerWindow(QStringLiteral("frmAppt"), [this] { return new ProbeWindow(m_apptAccepts); });
        Windows::registerWindow(QStringLiteral("frmA"), [] { return new ProbeWindow; });
        Windows::registerWindow(QStringLiteral("frmB"), [] { return new ProbeWindow; });
    }

    void cleanup() { ShellTest::discardWindows(); }

    void aWindowIsOpenedOnce()
    {
        QWidget* w = Windows::load(QStringLiteral("frmA"));
        QVERIFY(w);
        QVERIFY(!w->isVisible());
        QVERIFY(Windows::isOpen(QStringLiteral("frmA")));
        QCOMPARE(Windows::open(QStringLiteral("frmA")), w);
        QVERIFY(w->isVisible());
        QCOMPARE(Windows::open(QStringLiteral("frmA")), w);
        QCOMPARE(ShellTest::instancesOf(QStringLiteral("frmA")), 1);
        QVERIFY(!Windows::open(QStringLiteral("frmNone")));
    }

    void aClosedWindowIsGoneAtOnce()
    {
        QPointer<QWidget> first = Windows::open(QStringLiteral("frmA"));
        QVERIFY(Windows::close(QStringLiteral("frmA")));
        // Deleted only later, but no longer the open window of that name.
        QVERIFY(!Windows::isOpen(QStringLiteral("frmA")));
        QWidget* second = Windows::open(QStringLiteral("frmA"));
        QVERIFY(second);
        QVERIFY(second != first.data());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        QCOMPARE(Windows::find(QStringLiteral("frmA")), second);
    }

    void aWindowClosedByItsOwnCloseBoxIsGone()
    {
        QWidget* w = Windows::open(QStringLiteral("frmA"));
        QVERIFY(w->close());
        QVERIFY(!Windows::isOpen(QStringLiteral("frmA")));
    }

    void aWindowCanCloseItselfFromItsOwnButton()
    {
        QWidget* a = Windows::open(QStringLiteral("frmA"));
        auto* button = new QPushButton(QStringLiteral("Exit"), a);
        button->setGeometry(10, 10, 80, 30);
        button->show();
        connect(button, &QPushButton::clicked, a, [] {
            Windows::open(QStringLiteral("frmB"));
            Windows::close(QStringLiteral("frmA"));
        });
        QPointer<QWidget> guard(a);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!Windows::isOpen(QStringLiteral("frmA")));
        QVERIFY(Windows::isOpen(QStringLiteral("frmB")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!guard);
    }

    void aRefusedCloseKeepsTheWindow()
    {
        m_apptAccepts = false;
        QWidget* w = Windows::open(QStringLiteral("frmAppt"));
        QVERIFY(!Windows::close(QStringLiteral("frmAppt")));
        QCOMPARE(Windows::find(QStringLiteral("frmAppt")), w);
        QVERIFY(w->isVisible());
    }

    void endProgramRunsOnlyTheAppointmentWindowsClose()
    {
        QPointer<ProbeWindow> appt = static_cast<ProbeWindow*>(Windows::open(QStringLiteral("frmAppt")));
        QPointer<ProbeWindow> a = static_cast<ProbeWindow*>(Windows::open(QStringLiteral("frmA")));

        QVERIFY(Windows::endProgram());
        QCOMPARE(appt->closeEvents, 1);
        QCOMPARE(a->closeEvents, 0);
        QVERIFY(!a->isVisible());
        QCOMPARE(m_quits, 1);
        QVERIFY(!Windows::isOpen(QStringLiteral("frmA")));
        QVERIFY(!Windows::isOpen(QStringLiteral("frmAppt")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!a);
        QVERIFY(!appt);
    }

    void endProgramStopsWhenTheAppointmentWindowStays()
    {
        m_apptAccepts = false;
        Windows::open(QStringLiteral("frmAppt"));
        Windows::open(QStringLiteral("frmA"));
        QVERIFY(!Windows::endProgram());
        QCOMPARE(m_quits, 0);
        QVERIFY(Windows::isOpen(QStringLiteral("frmAppt")));
        QVERIFY(Windows::isOpen(QStringLiteral("frmA")));
        QCOMPARE(probe(QStringLiteral("frmA"))->closeEvents, 0);
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
