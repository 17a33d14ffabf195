#include "ShellTest.h"
#include "TestSupport.h"

#include "shell/ReadmeWindow.h"
#include "shell/WindowCatalog.h"
#include "store/Database.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

namespace {
const QString ReadmeText = QStringLiteral("READ ME FIRST\rThe appointment book opens on today.");
const QString LicenceText = QStringLiteral("LICENSE AGREEMENT\rOne copy per practice.");
} // namespace

class TestReadmeWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::DataFixture> m_data;
    ReadmeWindow* m_window = nullptr;

    void storeDocuments(const QString& readme, const QString& licence)
    {
        QSqlQuery q(m_data->db().connection());
        QVERIFY(q.prepare(QStringLiteral("UPDATE tbl_Setup SET Readme = ?, Licence = ?")));
        q.addBindValue(readme);
        q.addBindValue(licence);
        QVERIFY(q.exec());
    }

    void openWindow()
    {
        m_window = static_cast<ReadmeWindow*>(Windows::open(Window::Readme));
        QVERIFY(m_window);
        QApplication::setActiveWindow(m_window);
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }

    void press(const QString& how)
    {
        if (how == QLatin1String("mouse")) {
            QTest::mouseClick(m_window->button(), Qt::LeftButton);
            return;
        }
        if (how == QLatin1String("enter in text")) {
            m_window->text()->setFocus();
            QTest::keyClick(m_window->text(), Qt::Key_Return);
            return;
        }
        QWidget* focus = QApplication::focusWidget();
        QCOMPARE(focus, static_cast<QWidget*>(m_window->button()));
        QTest::keyClick(focus, how == QLatin1String("enter") ? Qt::Key_Return : Qt::Key_Space);
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
        storeDocuments(ReadmeText, LicenceText);
    }

    void cleanup()
    {
        ShellTest::discardWindows();
        m_window = nullptr;
        m_data.reset();
    }

    void opensOnTheReadme()
    {
        openWindow();
        QCOMPARE(m_window->text()->toPlainText(), QString(ReadmeText).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(m_window->button()));
        // The only way on is the button.
        QVERIFY(!(m_window->windowFlags() & Qt::WindowCloseButtonHint));
    }

    void theButtonGoesToTheLicenceThenToTheMenu_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("enter") << QStringLiteral("enter");
        QTest::newRow("mouse") << QStringLiteral("mouse");
        QTest::newRow("enter in text") << QStringLiteral("enter in text");
    }

    void theButtonGoesToTheLicenceThenToTheMenu()
    {
        QFETCH(QString, how);
        openWindow();
        // The licence is read when it is asked for, not when the window opened.
        storeDocuments(ReadmeText, LicenceText + QStringLiteral(" Revised."));

        press(how);
        QCOMPARE(m_window->text()->toPlainText(),
            QString(LicenceText + QStringLiteral(" Revised.")).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        QVERIFY(Windows::isOpen(Window::Readme));
        QVERIFY(!Windows::isOpen(Window::Menu));

        press(how);
        QVERIFY(!Windows::isOpen(Window::Readme));
        QCOMPARE(ShellTest::visibleWindows(), QStringList {QStringLiteral("mainMenu")});
    }

    void theTextCannotBeEdited()
    {
        openWindow();
        QPlainTextEdit* text = m_window->text();
        QVERIFY(text->isReadOnly());
        text->setFocus();
        text->moveCursor(QTextCursor::End);
        QTest::keyClicks(text, QStringLiteral("XYZ"));
        QTest::keyClick(text, Qt::Key_Backspace);
        QTest::keyClick(text, Qt::Key_Delete);
        QCOMPARE(text->toPlainText(), QString(ReadmeText).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        QVERIFY(Windows::isOpen(Window::Readme));
    }
};

QTEST_MAIN(TestReadmeWindow)
#include "tst_readmewindow.moc"
