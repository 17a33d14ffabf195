#include "TestSupport.h"

#include "appointments/ApptWindow.h"
#include "appointments/CalendarFolder.h"
#include "maintenance/AutomaticBackupRecord.h"
#include "maintenance/AutomaticBackups.h"
#include "maintenance/BackupRestore.h"
#include "platform/Dialogs.h"
#include "shell/WindowCatalog.h"
#include "shell/Windows.h"
#include "store/Database.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

class TestBackupWindow : public QObject
{
    Q_OBJECT

private slots:
    // What only the back-up window does, on the file and on the server (the
    // rules of the copies are tst_backuprestore's): a back-up and a restore
    // made from the keyboard, the windows closed before each, the questions,
    // the folders the boxes accept and the folder dialog.
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
        const QByteArray home = qgetenv("HOME");
        const auto closeAll = qScopeGuard([&] {
            qputenv("HOME", home);
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
        // An empty or relative folder is refused before anything is closed or
        // written; "~" is the home folder.
        auto* folderBox = static_cast<QLineEdit*>(child("backupFolderEdit"));
        const QString typical = QStringLiteral("/media/reception/USB-STICK/ledgerly-backups");
        QVERIFY(folderBox->fontMetrics().horizontalAdvance(typical) < folderBox->width() - 10);
        qputenv("HOME", QFile::encodeName(medium.path()));
        for (const QString& text : {QString(), QStringLiteral("rel/x"), QStringLiteral("~")}) {
            Dialogs::resetRecord();
            Dialogs::pushAnswer(Dialogs::No); // to a retry prompt, were the text taken
            folderBox->setFocus();
            folderBox->clear();
            QTest::keyClicks(folderBox, text);
            QTest::keyClick(folderBox, Qt::Key_Q, Qt::AltModifier); // never typed
            QTest::keyClick(folderBox, Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), child("backupButton"));
            QTest::keyClick(child("backupButton"), Qt::Key_Return);
            const bool refused = !text.startsWith(QLatin1Char('~'));
            QCOMPARE(Dialogs::shown().size(), refused ? 1 : 0);
            QCOMPARE(QApplication::focusWidget(), refused ? folderBox : child("backupButton"));
            QCOMPARE(QDir(medium.path()).isEmpty(), refused);
        }
        QVERIFY(child("backupDoneLabel")->isVisible());
        QCOMPARE(openWindows(), QStringList {QStringLiteral("readmeWindow")});

        // A restore asks twice before it closes or replaces anything.
        TestSupport::bookCell(data.db(), TestSupport::Today, Settings::defaults(), 2, 1, QStringLiteral("LATER"));
        // Alt+H: the folder dialog's answer fills the restore box.
        Dialogs::pushFolder(medium.path());
        QTest::keyClick(window, Qt::Key_H, Qt::AltModifier);
        QTRY_COMPARE(static_cast<QLineEdit*>(child("restoreFolderEdit"))->text(), medium.path());
        for (Window w : others)
            QVERIFY(Windows::open(w));
        for (const QList<Dialogs::Button>& answers : QList<QList<Dialogs::Button>> {
                 {Dialogs::Cancel}, {Dialogs::Ok, Dialogs::No}, {Dialogs::Ok, Dialogs::Yes}}) {
            Dialogs::resetRecord();
            for (Dialogs::Button b : answers)
                Dialogs::pushAnswer(b);
            child("restoreButton")->setFocus();
            QTest::keyClick(child("restoreButton"), Qt::Key_Return);
            const bool restored = answers.last() == Dialogs::Yes;
            QCOMPARE(Dialogs::shown().size(), answers.size() + restored);
            QCOMPARE(Dialogs::shown()[answers.size() - 1].buttons,
                answers.size() == 1 ? Dialogs::Ok | Dialogs::Cancel : Dialogs::Yes | Dialogs::No);
            if (!restored) {
                QCOMPARE(openWindows().size(), others.size());
                QCOMPARE(
                    TestSupport::cellOf(TestSupport::storedDay(data.db())->pageText, 2, 1), QStringLiteral("LATER"));
            }
        }
        QVERIFY(child("restoreDoneLabel")->isVisible());
        // The last message tells where the replaced data is kept.
        QVERIFY(Dialogs::shown().last().text.contains(data.folder()));
        QVERIFY(QFileInfo::exists(data.folder() + QLatin1Char('/') + BackupRestore::KeptName));
        QCOMPARE(openWindows(), QStringList {QStringLiteral("splashWindow")});
        auto* appt = static_cast<ApptWindow*>(Windows::open(Window::Appointments));
        QCOMPARE(TestSupport::cellOf(appt->currentRecord().pageText, 2, 1), QStringLiteral("SMITH"));

        // The automatic back-ups' page (Alt+A): Enter on "Choose folder…" sets
        // their folder, kept for every start; Enter on one in the list
        // restores it as Restore does.
        QTemporaryDir automatic;
        const QString made = BackupRestore::pathIn(AutomaticBackups::folderOf(automatic.path(), TestSupport::Today));
        QVERIFY(QDir().mkpath(QFileInfo(made).absolutePath()));
        QVERIFY((data.db().isServer() ? BackupRestore::backupServer(data.db(), made)
                                      : BackupRestore::backup(data.databasePath(), made))
                    .ok());
        TestSupport::bookCell(data.db(), TestSupport::Today, Settings::defaults(), 2, 1, QStringLiteral("LATER"));
        QVERIFY(Windows::close(Window::Appointments));
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_A, Qt::AltModifier);
        Dialogs::pushFolder(automatic.path());
        QTest::keyClick(child("chooseAutomaticFolderButton"), Qt::Key_Return);
        QCOMPARE(AutomaticBackupRecord().folder(), automatic.path());
        auto* list = window->findChild<QListWidget*>(QStringLiteral("automaticList"));
        QCOMPARE(list->count(), 1);
        list->setCurrentRow(0);
        Dialogs::pushAnswer(Dialogs::Ok);
        Dialogs::pushAnswer(Dialogs::Yes);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(TestSupport::storedCell(data.db(), 2, 1), QStringLiteral("SMITH"));

        // The calendar files' page (Alt+L): the chosen folder gets a file per
        // provider at once and is kept for every start; an empty box keeps none.
        QTemporaryDir calendars;
        QTest::keyClick(window, Qt::Key_L, Qt::AltModifier);
        Dialogs::pushFolder(calendars.path());
        QTest::keyClick(child("chooseCalendarFolderButton"), Qt::Key_Return);
        QCOMPARE(CalendarFolder::configured(), calendars.path());
        QVERIFY(TestSupport::fileBytes(calendars.filePath("provider-1.ics")).contains("SUMMARY:SMITH"));
        auto* calendarBox = window->findChild<QLineEdit*>(QStringLiteral("calendarFolderEdit"));
        calendarBox->clear();
        QTest::keyClick(calendarBox, Qt::Key_Return);
        QVERIFY(CalendarFolder::configured().isEmpty());
    }
};

QTEST_MAIN(TestBackupWindow)
#include "tst_backupwindow.moc"
