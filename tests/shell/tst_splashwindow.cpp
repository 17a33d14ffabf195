#include "ShellTest.h"
#include "TestSupport.h"

#include "shell/MenuWindow.h"
#include "shell/SplashWindow.h"
#include "shell/WindowCatalog.h"

#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {
// Counts the quit requests that reach the application: Qt posts one when the
// last shown window closes.
class QuitCounter : public QObject
{
public:
    int quits = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (watched == qApp && e->type() == QEvent::Quit)
            ++quits;
        return false;
    }
};

// Runs the event loop as main() does, with start queued in it, and
// returns the loop's exit code; quits counts the quit requests.
int runProgram(QuitCounter& quits, const std::function<void()>& start)
{
    QApplication::setQuitOnLastWindowClosed(true);
    qApp->installEventFilter(&quits);
    QTimer::singleShot(0, qApp, start);
    // Only a way out should the program never end; it measures nothing.
    QTimer lastResort;
    lastResort.setSingleShot(true);
    QObject::connect(&lastResort, &QTimer::timeout, qApp, [] { QCoreApplication::exit(3); });
    lastResort.start(60000);
    const int rc = QCoreApplication::exec();
    qApp->removeEventFilter(&quits);
    return rc;
}
} // namespace

class TestSplashWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;

    SplashWindow* openSplash()
    {
        auto* splash = static_cast<SplashWindow*>(Windows::open(Window::Splash));
        if (splash) {
            QApplication::setActiveWindow(splash);
            if (!QTest::qWaitForWindowActive(splash))
                qWarning("splash not active");
        }
        return splash;
    }

    void verifyDismissed()
    {
        QVERIFY(!Windows::isOpen(Window::Splash));
        QWidget* menu = Windows::find(Window::Menu);
        QVERIFY(menu);
        QVERIFY(menu->isVisible());
        QCOMPARE(ShellTest::visibleWindows(), QStringList {QStringLiteral("mainMenu")});
    }

    void verifyStillShown(SplashWindow* splash)
    {
        QCOMPARE(Windows::find(Window::Splash), splash);
        QVERIFY(splash->isVisible());
        QVERIFY(!Windows::find(Window::Menu)->isVisible());
    }

private slots:
    void initTestCase()
    {
        Windows::setQuitHandler([] {});
    }

    void init()
    {
        m_data = std::make_unique<TestSupport::DataFixture>();
        Windows::unregisterAll();
        registerProgramWindows(m_data->db());
    }

    void cleanup()
    {
        ShellTest::discardWindows();
        m_data.reset();
    }

    void loadingTheSplashLoadsTheMenuHidden()
    {
        bool splashShownAtMenuLoad = true;
        Windows::registerWindow(Window::Menu, [&] {
            splashShownAtMenuLoad = !ShellTest::visibleWindows().isEmpty();
            return new MenuWindow(Windows::host());
        });
        SplashWindow* splash = openSplash();
        QVERIFY(splash);
        QVERIFY(!splashShownAtMenuLoad);
        QWidget* menu = Windows::find(Window::Menu);
        QVERIFY(menu);
        QVERIFY(!menu->isVisible());
        QCOMPARE(ShellTest::visibleWindows(), QStringList {QStringLiteral("splashWindow")});
        QVERIFY(!splash->findChild<QLabel*>(QStringLiteral("logo"))->pixmap().isNull());
    }

    void aTypedKeyShowsTheMenu_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("dismisses");
        QTest::newRow("letter") << int(Qt::Key_A) << true;
        QTest::newRow("enter") << int(Qt::Key_Return) << true;
        QTest::newRow("escape") << int(Qt::Key_Escape) << true;
        QTest::newRow("shift alone") << int(Qt::Key_Shift) << false;
        QTest::newRow("function key") << int(Qt::Key_F1) << false;
    }

    void aTypedKeyShowsTheMenu()
    {
        QFETCH(int, key);
        QFETCH(bool, dismisses);
        SplashWindow* splash = openSplash();
        QTest::keyClick(splash, Qt::Key(key));
        if (dismisses)
            verifyDismissed();
        else
            verifyStillShown(splash);
    }

    void aClickOnThePanelShowsTheMenu()
    {
        SplashWindow* splash = openSplash();
        QFrame* panel = splash->panel();
        const QPoint bare(panel->width() - 20, panel->height() - 20);
        QVERIFY(!panel->childAt(bare));
        QTest::mouseClick(panel, Qt::LeftButton, {}, bare);
        verifyDismissed();
    }

    void aClickOnATextOrThePictureDoesNothing_data()
    {
        QTest::addColumn<QString>("control");
        for (const char* name : {"titleLabel", "logo"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void aClickOnATextOrThePictureDoesNothing()
    {
        QFETCH(QString, control);
        SplashWindow* splash = openSplash();
        auto* w = splash->findChild<QWidget*>(control);
        QVERIFY(w);
        QCOMPARE(w->parentWidget(), splash->panel());
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, w->height() / 2));
        verifyStillShown(splash);
        // The panel still answers afterwards.
        QTest::mouseClick(splash->panel(), Qt::LeftButton, {}, QPoint(8, 8));
        verifyDismissed();
    }

    // The program lasts while a window of it is shown: the splash going just
    // after the menu came up must not end it, nor must the hidden menu keep a
    // program alive that shows nothing.
    void theProgramLastsWhileAWindowIsShown()
    {
        QuitCounter counter;
        int quitsAfterSplash = -1;
        bool menuShownAfterSplash = false;
        const int rc = runProgram(counter, [&] {
            SplashWindow* splash = openSplash();
            QVERIFY(splash);
            QTest::keyClick(splash, Qt::Key_Return);
            // Queued behind any quit request the splash's closing made.
            QTimer::singleShot(0, qApp, [&] {
                quitsAfterSplash = counter.quits;
                QWidget* menu = Windows::find(Window::Menu);
                menuShownAfterSplash = menu && menu->isVisible();
                Windows::close(Window::Menu);
            });
        });
        QCOMPARE(quitsAfterSplash, 0);
        QVERIFY(menuShownAfterSplash);
        QCOMPARE(rc, 0);
        QCOMPARE(counter.quits, 1);
    }

    void aHiddenMenuAloneDoesNotKeepTheProgram()
    {
        QuitCounter counter;
        const int rc = runProgram(counter, [&] {
            QVERIFY(openSplash());
            QVERIFY(Windows::isOpen(Window::Menu));
            Windows::close(Window::Splash);
        });
        QCOMPARE(rc, 0);
        QCOMPARE(counter.quits, 1);
    }
};

QTEST_MAIN(TestSplashWindow)
#include "tst_splashwindow.moc"
