#include "ShellTest.h"
#include "TestSupport.h"

#include "shell/MenuWindow.h"
#include "shell/SplashWindow.h"
#include "shell/WindowCatalog.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>

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
} // namespace

class TestSplashWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;

    SplashWindow* openSplash()
    {
        auto* splash = static_cast<SplashWindow*>(Windows::open(QStringLiteral("frmSplash")));
        if (splash) {
            QApplication::setActiveWindow(splash);
            if (!QTest::qWaitForWindowActive(splash))
                qWarning("splash not active");
        }
        return splash;
    }

    void verifyDismissed()
    {
        QVERIFY(!Windows::isOpen(QStringLiteral("frmSplash")));
        QWidget* menu = Windows::find(QStringLiteral("frmMenu"));
        QVERIFY(menu);
        QVERIFY(menu->isVisible());
        QCOMPARE(ShellTest::visibleWindows(), QStringList {QStringLiteral("frmMenu")});
    }

    void verifyStillShown(SplashWindow* splash)
    {
        QCOMPARE(Windows::find(QStringLiteral("frmSplash")), splash);
        QVERIFY(splash->isVisible());
        QVERIFY(!Windows::find(QStringLiteral("frmMenu"))->isVisible());
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
        registerProgramWindows();
    }

    void cleanup()
    {
        ShellTest::discardWindows();
        m_data.reset();
    }

    void loadingTheSplashLoadsTheMenuHidden()
    {
        bool splashShownAtMenuLoad = true;
        Windows::registerWindow(QStringLiteral("frmMenu"), [&] {
            splashShownAtMenuLoad = !ShellTest::visibleWindows().isEmpty();
            return new MenuWindow;
        });
        SplashWindow* splash = openSplash();
        QVERIFY(splash);
        QVERIFY(!splashShownAtMenuLoad);
        QWidget* menu = Windows::find(QStringLiteral("frmMenu"));
        QVERIFY(menu);
        QVERIFY(!menu->isVisible());
        QCOMPARE(ShellTest::visibleWindows(), QStringList {QStringLiteral("frmSplash")});
    }

    void showsTheProgramAndItsMaker()
    {
        SplashWindow* splash = openSplash();
        QVERIFY(splash->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(splash->findChild<QLabel*>(QStringLiteral("lblProductName"))->text(), QStringLiteral("Presents"));
        QCOMPARE(splash->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Ledgerly"));
        QVERIFY(
            splash->findChild<QLabel*>(QStringLiteral("lblVersion"))->text().startsWith(QStringLiteral("Version ")));
        QVERIFY(
            splash->findChild<QLabel*>(QStringLiteral("lblPlatform"))->text().startsWith(QStringLiteral("Platform: ")));
        const QLabel* logo = splash->findChild<QLabel*>(QStringLiteral("imgLogo"));
        QVERIFY(logo);
        QVERIFY(!logo->pixmap().isNull());
        QCOMPARE(splash->findChild<QLabel*>(QStringLiteral("lblCompany"))->text(),
            splash->findChild<QLabel*>(QStringLiteral("lblCompanyProduct"))->text());
    }

    void theSloganWrapsAfterTheBlanks()
    {
        // The run of blanks is there to put "and small business offices" on a
        // line of its own.
        SplashWindow* splash = openSplash();
        auto* label2 = splash->findChild<QLabel*>(QStringLiteral("Label2"));
        QVERIFY(label2->wordWrap());
        const QFontMetrics fm(label2->font());
        const QString text = label2->text();
        const int cut = text.indexOf(QStringLiteral("and"));
        QVERIFY(fm.horizontalAdvance(text.left(cut + 3)) > label2->contentsRect().width());
        QVERIFY(fm.horizontalAdvance(text.mid(cut).trimmed()) <= label2->contentsRect().width());
        QVERIFY(2 * fm.lineSpacing() <= label2->height());
    }

    void aTypedKeyShowsTheMenu_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("dismisses");
        QTest::newRow("letter") << int(Qt::Key_A) << QStringLiteral("a") << true;
        QTest::newRow("digit") << int(Qt::Key_7) << QStringLiteral("7") << true;
        QTest::newRow("space") << int(Qt::Key_Space) << QStringLiteral(" ") << true;
        QTest::newRow("enter") << int(Qt::Key_Return) << QStringLiteral("\r") << true;
        QTest::newRow("keypad enter") << int(Qt::Key_Enter) << QStringLiteral("\r") << true;
        QTest::newRow("escape") << int(Qt::Key_Escape) << QStringLiteral("\x1b") << true;
        QTest::newRow("shift alone") << int(Qt::Key_Shift) << QString() << false;
        QTest::newRow("function key") << int(Qt::Key_F1) << QString() << false;
    }

    void aTypedKeyShowsTheMenu()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(bool, dismisses);
        SplashWindow* splash = openSplash();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(splash, &press);
        if (dismisses)
            verifyDismissed();
        else
            verifyStillShown(splash);
    }

    void keysByTheKeyboardDriver()
    {
        SplashWindow* splash = openSplash();
        QTest::keyClick(splash, Qt::Key_Escape);
        verifyDismissed();
    }

    void aClickOnThePanelShowsTheMenu()
    {
        SplashWindow* splash = openSplash();
        QFrame* frame = splash->frame();
        const QPoint bare(frame->width() - 20, frame->height() - 20);
        QVERIFY(!frame->childAt(bare));
        QTest::mouseClick(frame, Qt::LeftButton, {}, bare);
        verifyDismissed();
    }

    void aClickOnATextOrThePictureDoesNothing_data()
    {
        QTest::addColumn<QString>("control");
        for (const char* name : {"lblCompanyProduct", "lblProductName", "Label1", "Label2", "imgLogo", "lblPlatform",
                 "lblVersion", "Label4", "lblCompany"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void aClickOnATextOrThePictureDoesNothing()
    {
        QFETCH(QString, control);
        SplashWindow* splash = openSplash();
        auto* w = splash->findChild<QWidget*>(control);
        QVERIFY(w);
        QCOMPARE(w->parentWidget(), splash->frame());
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, w->height() / 2));
        verifyStillShown(splash);
        // The panel still answers afterwards.
        QTest::mouseClick(splash->frame(), Qt::LeftButton, {}, QPoint(8, 8));
        verifyDismissed();
    }

    void aPressOnATextReleasedOnThePanelDoesNothing()
    {
        SplashWindow* splash = openSplash();
        auto* title = splash->findChild<QLabel*>(QStringLiteral("Label1"));
        QTest::mousePress(title, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(splash->frame(), Qt::LeftButton, {}, QPoint(8, 8));
        verifyStillShown(splash);
    }

    // The program lasts while a window of it is shown: the splash going just
    // after the menu came up must not end it, nor must the hidden menu keep a
    // program alive that shows nothing.
    void theProgramLastsWhileAWindowIsShown()
    {
        QApplication::setQuitOnLastWindowClosed(true);
        QuitCounter counter;
        qApp->installEventFilter(&counter);
        int quitsAfterSplash = -1;
        bool menuShownAfterSplash = false;
        QTimer::singleShot(0, qApp, [&] {
            SplashWindow* splash = openSplash();
            QVERIFY(splash);
            QTest::keyClick(splash, Qt::Key_Return);
            // Queued behind any quit request the splash's closing made.
            QTimer::singleShot(0, qApp, [&] {
                quitsAfterSplash = counter.quits;
                QWidget* menu = Windows::find(QStringLiteral("frmMenu"));
                menuShownAfterSplash = menu && menu->isVisible();
                Windows::close(QStringLiteral("frmMenu"));
            });
        });
        // Only a way out should the program never end; it measures nothing.
        QTimer lastResort;
        lastResort.setSingleShot(true);
        connect(&lastResort, &QTimer::timeout, qApp, [] { QCoreApplication::exit(3); });
        lastResort.start(60000);
        const int rc = QCoreApplication::exec();
        qApp->removeEventFilter(&counter);
        QCOMPARE(quitsAfterSplash, 0);
        QVERIFY(menuShownAfterSplash);
        QCOMPARE(rc, 0);
        QCOMPARE(counter.quits, 1);
    }

    void aHiddenMenuAloneDoesNotKeepTheProgram()
    {
        QApplication::setQuitOnLastWindowClosed(true);
        QuitCounter counter;
        qApp->installEventFilter(&counter);
        QTimer::singleShot(0, qApp, [&] {
            QVERIFY(openSplash());
            QVERIFY(Windows::isOpen(QStringLiteral("frmMenu")));
            Windows::close(QStringLiteral("frmSplash"));
        });
        QTimer lastResort;
        lastResort.setSingleShot(true);
        connect(&lastResort, &QTimer::timeout, qApp, [] { QCoreApplication::exit(3); });
        lastResort.start(60000);
        const int rc = QCoreApplication::exec();
        qApp->removeEventFilter(&counter);
        QCOMPARE(rc, 0);
        QCOMPARE(counter.quits, 1);
    }
};

QTEST_MAIN(TestSplashWindow)
#include "tst_splashwindow.moc"
