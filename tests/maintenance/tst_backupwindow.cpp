#include "TestSupport.h"

#include "appointments/ApptWindow.h"
#include "maintenance/BackupRestore.h"
#include "platform/Dialogs.h"
#include "shell/WindowCatalog.h"
#include "shell/Windows.h"

#include <QApplication>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

class TestBackupWindow : public QObject
{
    Q_OBJECT

private slots:
    // What only the back-up window does, on the file and on the server (the
    // rules of the copies are tst_backuprestore's): a back-up and a restore
    // made from the keyboard, the windows closed before each, the questions.
    void backUpAndRestoreFromTheKeyboard()
    {
        TestSupport::DataFixture data;
        QTemporaryDir medium;
        const QList<Window> others
            = {Window::Menu, Window::Appointments, Window::Order, Window::Setup, Window::Splash, Window::Readme};
        registerProgramWindows(data.db());
        for (Window w : others) {
            if (w != Window::Appointments)
                Windows::registerWindow(w, [] { return new QWidget; });
            QVERIFY(Windows::open(w));
        }
        QWidget* window = Windows::open(Window::Backup);
        const auto closeAll = qScopeGuard([&] {
            for (Window w : others + QList<Window> {Window::Backup})
                delete Windows::find(w);
        });
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        const auto child = [&](const char* name) { return window->findChild<QWidget*>(QLatin1String(name)); };
        const auto openWindows = [&] {
            QStringList open;
            for (Window w : others) {
                if (Windows::isOpen(w))
                    open.append(Windows::defaultObjectName(w));
            }
            return open;
        };
        TestSupport::bookCell(data.db(), TestSupport::Today, Settings::defaults(), 2, 1, QStringLiteral("SMITH"));

        // Enter in the folder box moves on to BackUp, Enter there backs up.
        auto* folderBox = static_cast<QLineEdit*>(child("backupFolderEdit"));
        folderBox->setFocus();
        folderBox->selectAll();
        QTest::keyClicks(folderBox, medium.path());
        QTest::keyClick(folderBox, Qt::Key_Q, Qt::AltModifier); // never typed
        QTest::keyClick(folderBox, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), child("backupButton"));
        QTest::keyClick(child("backupButton"), Qt::Key_Return);
        QVERIFY(Dialogs::shown().isEmpty());
        QVERIFY(child("backupDoneLabel")->isVisible());
        QCOMPARE(openWindows(), QStringList {QStringLiteral("readmeWindow")});

        // A restore asks twice before it closes or replaces anything.
        TestSupport::bookCell(data.db(), TestSupport::Today, Settings::defaults(), 2, 1, QStringLiteral("LATER"));
        for (Window w : others)
            QVERIFY(Windows::open(w));
        static_cast<QLineEdit*>(child("restoreFolderEdit"))->setText(medium.path());
        for (const QList<Dialogs::Button>& answers : QList<QList<Dialogs::Button>> {
                 {Dialogs::Cancel}, {Dialogs::Ok, Dialogs::No}, {Dialogs::Ok, Dialogs::Yes}}) {
            Dialogs::resetRecord();
            for (Dialogs::Button b : answers)
                Dialogs::pushAnswer(b);
            child("restoreButton")->setFocus();
            QTest::keyClick(child("restoreButton"), Qt::Key_Return);
            QCOMPARE(Dialogs::shown().size(), answers.size());
            QCOMPARE(Dialogs::shown().last().buttons,
                answers.size() == 1 ? Dialogs::Ok | Dialogs::Cancel : Dialogs::Yes | Dialogs::No);
            if (answers.last() != Dialogs::Yes) {
                QCOMPARE(openWindows().size(), others.size());
                QCOMPARE(
                    TestSupport::cellOf(TestSupport::storedDay(data.db())->pageText, 2, 1), QStringLiteral("LATER"));
            }
        }
        QVERIFY(child("restoreDoneLabel")->isVisible());
        QCOMPARE(openWindows(), QStringList {QStringLiteral("splashWindow")});
        auto* appt = static_cast<ApptWindow*>(Windows::open(Window::Appointments));
        QCOMPARE(TestSupport::cellOf(appt->currentRecord().pageText, 2, 1), QStringLiteral("SMITH"));
    }
};

QTEST_MAIN(TestBackupWindow)
#include "tst_backupwindow.moc"
