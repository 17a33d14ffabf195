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

ProbeWindow* probe(Window window)
{
    return static_cast<ProbeWindow*>(Windows::find(window));
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
        Windows::registerWindow(Window::Appointments, [this] { return new ProbeWindow(m_apptAccepts); });
        Windows::registerWindow(Window::Setup, [] { return new ProbeWindow; });
        Windows::registerWindow(Window::Order, [] { return new ProbeWindow; });
    }

    void cleanup() { ShellTest::discardWindows(); }

    void aWindowIsOpenedOnce()
    {
        QWidget* w = Windows::load(Window::Setup);
        QVERIFY(w);
        QVERIFY(!w->isVisible());
        QVERIFY(Windows::isOpen(Window::Setup));
        QCOMPARE(Windows::open(Window::Setup), w);
        QVERIFY(w->isVisible());
        QCOMPARE(Windows::open(Window::Setup), w);
        QCOMPARE(ShellTest::instancesOf(QStringLiteral("setupWindow")), 1);
        QVERIFY(!Windows::open(Window::Backup)); // not registered
    }

    void aClosedWindowIsGoneAtOnce()
    {
        QPointer<QWidget> first = Windows::open(Window::Setup);
        QVERIFY(Windows::close(Window::Setup));
        // Deleted only later, but no longer the open window of that name.
        QVERIFY(!Windows::isOpen(Window::Setup));
        QWidget* second = Windows::open(Window::Setup);
        QVERIFY(second);
        QVERIFY(second != first.data());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        QCOMPARE(Windows::find(Window::Setup), second);
    }

    void aWindowClosedByItsOwnCloseBoxIsGone()
    {
        QWidget* w = Windows::open(Window::Setup);
        QVERIFY(w->close());
        QVERIFY(!Windows::isOpen(Window::Setup));
    }

    void aWindowCanCloseItselfFromItsOwnButton()
    {
        QWidget* a = Windows::open(Window::Setup);
        auto* button = new QPushButton(QStringLiteral("Exit"), a);
        button->setGeometry(10, 10, 80, 30);
        button->show();
        connect(button, &QPushButton::clicked, a, [] {
            Windows::open(Window::Order);
            Windows::close(Window::Setup);
        });
        QPointer<QWidget> guard(a);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!Windows::isOpen(Window::Setup));
        QVERIFY(Windows::isOpen(Window::Order));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!guard);
    }

    void aRefusedCloseKeepsTheWindow()
    {
        m_apptAccepts = false;
        QWidget* w = Windows::open(Window::Appointments);
        QVERIFY(!Windows::close(Window::Appointments));
        QCOMPARE(Windows::find(Window::Appointments), w);
        QVERIFY(w->isVisible());
    }

    void endProgramRunsOnlyTheAppointmentWindowsClose()
    {
        QPointer<ProbeWindow> appt = static_cast<ProbeWindow*>(Windows::open(Window::Appointments));
        QPointer<ProbeWindow> a = static_cast<ProbeWindow*>(Windows::open(Window::Setup));

        QVERIFY(Windows::endProgram());
        QCOMPARE(appt->closeEvents, 1);
        QCOMPARE(a->closeEvents, 0);
        QVERIFY(!a->isVisible());
        QCOMPARE(m_quits, 1);
        QVERIFY(!Windows::isOpen(Window::Setup));
        QVERIFY(!Windows::isOpen(Window::Appointments));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!a);
        QVERIFY(!appt);
    }

    void endProgramStopsWhenTheAppointmentWindowStays()
    {
        m_apptAccepts = false;
        Windows::open(Window::Appointments);
        Windows::open(Window::Setup);
        QVERIFY(!Windows::endProgram());
        QCOMPARE(m_quits, 0);
        QVERIFY(Windows::isOpen(Window::Appointments));
        QVERIFY(Windows::isOpen(Window::Setup));
        QCOMPARE(probe(Window::Setup)->closeEvents, 0);
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
