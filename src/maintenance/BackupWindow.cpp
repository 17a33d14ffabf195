#include "maintenance/BackupWindow.h"

#include "maintenance/AutomaticBackupPage.h"
#include "maintenance/AutomaticBackupRecord.h"
#include "maintenance/BackupRestore.h"
#include "maintenance/CalendarFilesPage.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "ui/AltKeys.h"
#include "ui/KeyNavigator.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>

namespace {
const QList<Window> ClosedForBackup
    = {Window::Menu, Window::Appointments, Window::Order, Window::Setup, Window::Splash};
const QList<Window> ClosedForRestore
    = {Window::Appointments, Window::Menu, Window::Order, Window::Readme, Window::Setup};

// The left edge of the buttons, in twips; the boxes and lines end before it.
constexpr int ButtonColumn = 6780;
// The two pages stand in a tab box this high, the Exit button below it.
constexpr int PagesHeight = 7320;

const QString CheckUsersText = QStringLiteral("Please check that all other users have logged out of this program.");
const QString ReplaceText = QStringLiteral("Existing database will be replaced!  Please make sure that the source "
                                           "folder holds the correct back-up. Do you wish to proceed?");

QFont boldFont(double points)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    f.setBold(true);
    return f;
}

QLabel* label(QWidget* parent, const QString& name, const QString& text, const QRect& twips, bool visible)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setFont(boldFont(9.6));
    l->setGeometry(Twips::rect(twips.x(), twips.y(), twips.width(), twips.height()));
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setVisible(visible);
    return l;
}

// The busy pointer over this window for as long as a copy runs.
class BusyPointer
{
public:
    explicit BusyPointer(QWidget* w)
        : m_widget(w)
    {
        m_widget->setCursor(Qt::WaitCursor);
    }
    ~BusyPointer() { m_widget->unsetCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    QWidget* m_widget;
};
} // namespace

BackupWindow::BackupWindow(Database& db, WindowHost& host, QWidget* parent)
    : QWidget(parent)
    , m_db(db)
    , m_host(host)
{
    setObjectName(QStringLiteral("backupWindow"));
    setWindowTitle(QStringLiteral("Back-up /Restore Files"));
    setFixedSize(Twips::size(9120, 8220));
    // What is done by hand on the first page, the automatic back-ups on the
    // second, the providers' calendar files on the third; Ctrl+Tab goes from
    // one to the next.
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("backupPages"));
    m_pages->setGeometry(Twips::rect(120, 120, 8880, PagesHeight - 120));
    auto* byHand = new QWidget;
    m_automaticPage = new AutomaticBackupPage;
    m_pages->addTab(byHand, QStringLiteral("Back-up and restore"));
    m_pages->addTab(m_automaticPage, QStringLiteral("&Automatic back-ups"));
    m_calendarPage = new CalendarFilesPage(m_db);
    m_pages->addTab(m_calendarPage, QStringLiteral("Calendar fi&les"));
    buildControls(byHand);
    // When and where the last back-up was made shows on the first page, the
    // one the window opens with, in the room above its first line.
    m_lastBackupLabel = label(byHand, QStringLiteral("lastBackupLabel"), QString(), QRect(480, 360, 8160, 615), true);
    m_lastBackupLabel->setWordWrap(true);
    connect(m_automaticPage, &AutomaticBackupPage::restoreRequested, this, &BackupWindow::restoreFrom);
    showLastBackup();
    // The history goes with every back-up, so its size shows below both pages.
    m_historyLabel
        = label(this, QStringLiteral("historyLabel"), QString(), QRect(480, PagesHeight + 240, 6180, 375), true);
    showHistorySize();
    m_backupFolderEdit->setFocus();
}

// The history goes with every back-up and comes back with a restore.
void BackupWindow::showHistorySize()
{
    ChangeHistory::Size size;
    if (ChangeHistory::size(m_db, size).ok())
        m_historyLabel->setText(
            QStringLiteral("History: %1 %2, %3")
                .arg(size.changes)
                .arg(size.changes == 1 ? QStringLiteral("change") : QStringLiteral("changes"))
                .arg(QLocale().formattedDataSize(size.bytes, 1, QLocale::DataSizeTraditionalFormat)));
}

void BackupWindow::buildControls(QWidget* page)
{
    const QString preset = BackupRestore::presetFolder();
    QPalette blue;
    blue.setColor(QPalette::Text, Qt::blue);

    // A box wide enough for a path such as /media/reception/USB-STICK/ledgerly-backups;
    // its tooltip shows a longer one whole.
    auto folderBox = [&](const QString& name, int top) {
        auto* box = new QLineEdit(preset, page);
        box->setObjectName(name);
        box->setFont(boldFont(12));
        box->setPalette(blue);
        box->setGeometry(Twips::rect(480, top, 6180, 495));
        box->setToolTip(preset);
        connect(box, &QLineEdit::textChanged, box, &QLineEdit::setToolTip);
        AltKeys::keepOutOf(box);
        return box;
    };
    QWidget* buttonParent = page;
    auto button = [&](const QString& name, const QString& text, int top, int width, int height, double points) {
        auto* b = new QPushButton(text, buttonParent);
        b->setObjectName(name);
        b->setFont(boldFont(points));
        b->setGeometry(Twips::rect(ButtonColumn, top, width, height));
        b->setAutoDefault(false);
        return b;
    };

    // Made in their tab order.
    m_backupFolderEdit = folderBox(QStringLiteral("backupFolderEdit"), 2160);
    m_chooseBackupFolderButton
        = button(QStringLiteral("chooseBackupFolderButton"), QStringLiteral("&Choose folder…"), 2160, 1860, 495, 9.6);
    m_backupButton = button(QStringLiteral("backupButton"), QStringLiteral("&BackUp"), 2760, 1245, 495, 9.6);
    m_restoreFolderEdit = folderBox(QStringLiteral("restoreFolderEdit"), 5280);
    m_chooseRestoreFolderButton
        = button(QStringLiteral("chooseRestoreFolderButton"), QStringLiteral("C&hoose folder…"), 5280, 1860, 495, 9.6);
    m_restoreButton = button(QStringLiteral("restoreButton"), QStringLiteral("&Restore"), 5880, 1245, 495, 9.6);
    buttonParent = this; // below the pages
    m_exitButton = button(QStringLiteral("exitButton"), QStringLiteral("&Exit"), PagesHeight + 120, 1245, 615, 12);

    m_backupHelpLabel = label(page, QStringLiteral("backupHelpLabel"),
        QStringLiteral("To back-up files, please specify destination folder ( e.g. on a USB stick under /media ),  "
                       "and click Backup Button."),
        QRect(480, 1200, 6180, 855), true);
    m_backupHelpLabel->setWordWrap(true);
    m_backingUpLabel = label(page, QStringLiteral("backingUpLabel"), QStringLiteral("Backing up files to "),
        QRect(480, 2760, 1935, 375), false);
    m_backupFolderLabel = label(page, QStringLiteral("backupFolderLabel"), QString(), QRect(2520, 2760, 72, 240), true);
    m_backupDoneLabel = label(page, QStringLiteral("backupDoneLabel"),
        QStringLiteral("Files back-up completed successfully. "), QRect(480, 3240, 3975, 375), false);
    m_restoreHelpLabel = label(page, QStringLiteral("restoreHelpLabel"),
        QStringLiteral("To restore files after hard disk crash or program reinstallation, please specify source "
                       "folder ( e.g. on a USB stick under /media ),  and click Restore Button."),
        QRect(480, 4320, 6180, 852), true);
    m_restoreHelpLabel->setWordWrap(true);
    m_restoringLabel = label(page, QStringLiteral("restoringLabel"), QStringLiteral("Restoring files to program..."),
        QRect(480, 5880, 2895, 375), false);
    m_restoreDoneLabel = label(page, QStringLiteral("restoreDoneLabel"),
        QStringLiteral("Files restored successfully.        "), QRect(480, 6300, 3015, 375), false);

    connect(m_backupFolderEdit, &QLineEdit::textChanged, this, &BackupWindow::showBackupFolder);
    connect(m_restoreFolderEdit, &QLineEdit::textChanged, this, &BackupWindow::showRestoreFolder);
    connect(m_chooseBackupFolderButton, &QPushButton::clicked, this,
        [this] { chooseFolder(m_backupFolderEdit, QStringLiteral("Folder for the back-up")); });
    connect(m_chooseRestoreFolderButton, &QPushButton::clicked, this,
        [this] { chooseFolder(m_restoreFolderEdit, QStringLiteral("Folder of the back-up to restore")); });
    connect(m_backupButton, &QPushButton::clicked, this, &BackupWindow::backUp);
    connect(m_restoreButton, &QPushButton::clicked, this, &BackupWindow::restore);
    connect(m_exitButton, &QPushButton::clicked, this, &BackupWindow::leave);
    buildKeyNavigation();
}

void BackupWindow::buildKeyNavigation()
{
    // Up and Down walk the rows without going round; Enter in the back-up
    // box moves on to its BackUp button, and Enter on a button presses it.
    auto* keys = new KeyNavigator(this,
        {{m_backupFolderEdit, m_chooseBackupFolderButton}, {m_backupButton},
            {m_restoreFolderEdit, m_chooseRestoreFolderButton}, {m_restoreButton}, {m_exitButton}},
        KeyNavigator::Ends::PassOn);
    keys->setEnter({m_backupFolderEdit}, KeyNavigator::focusOn(m_backupButton));
    keys->setEnter(
        {m_chooseBackupFolderButton, m_backupButton, m_chooseRestoreFolderButton, m_restoreButton, m_exitButton},
        KeyNavigator::press());
}

void BackupWindow::showBackupFolder()
{
    showFolderIn(m_backupFolderLabel, m_backupFolderEdit->text());
}

void BackupWindow::showRestoreFolder()
{
    showFolderIn(m_restoringLabel, m_restoreFolderEdit->text());
}

void BackupWindow::showFolderIn(QLabel* label, const QString& folder)
{
    // The line ends before the buttons; a longer path loses its middle there
    // and shows whole in the tooltip.
    const int room = Twips::toPixels(ButtonColumn - 120) - label->x();
    label->setText(label->fontMetrics().elidedText(folder, Qt::ElideMiddle, room));
    label->setToolTip(folder);
    label->resize(std::min(label->sizeHint().width(), room), label->height());
}

void BackupWindow::chooseFolder(QLineEdit* box, const QString& title)
{
    QString start;
    if (!BackupRestore::folderFromText(box->text(), start).ok())
        start = QDir::homePath();
    if (const std::optional<QString> chosen = Dialogs::folder(this, title, start)) {
        box->setText(*chosen);
        box->setFocus();
    }
}

bool BackupWindow::folderOf(QLineEdit* box, QString& folder)
{
    const Result named = BackupRestore::folderFromText(box->text(), folder);
    if (named.ok())
        return true;
    Dialogs::message(this, named.message, Dialogs::Ok, Dialogs::Ok, Dialogs::Icon::Warning);
    box->setFocus();
    box->selectAll();
    return false;
}

bool BackupWindow::closeWindows(const QList<Window>& windows)
{
    // The appointment window saves its day as it closes; when that save fails
    // and the user gives up, it stays open and the copy must not go ahead.
    for (Window window : windows) {
        if (!m_host.close(window))
            return false;
    }
    return true;
}

void BackupWindow::backUp()
{
    // The outcome of the previous back-up or restore no longer holds.
    m_backupDoneLabel->hide();
    m_restoreDoneLabel->hide();
    m_restoringLabel->hide();

    QString folder;
    if (!folderOf(m_backupFolderEdit, folder))
        return;
    const QString livePath = DataFolder::databasePath();
    auto giveUp = [this] {
        m_backupFolderLabel->hide();
        m_backingUpLabel->hide();
    };
    if (!Dialogs::retryUntilDone(this, [&] { return BackupRestore::probeDestination(folder, livePath); }))
        return giveUp();
    if (!closeWindows(ClosedForBackup))
        return;

    m_backingUpLabel->show();
    showFolderIn(m_backupFolderLabel, folder);
    m_backupFolderLabel->show();
    {
        BusyPointer busy(this);
        // On a server the back-up is the server's records written as a db.mdb.
        const QString target = BackupRestore::pathIn(folder);
        if (!Dialogs::retryUntilDone(this, [&] {
                return m_db.isServer() ? BackupRestore::backupServer(m_db, target)
                                       : BackupRestore::backup(livePath, target);
            }))
            return giveUp();
    }
    m_backingUpLabel->hide();
    m_backupFolderLabel->hide();
    m_backupDoneLabel->show();
    AutomaticBackupRecord().noteMade(QDateTime::currentDateTime(), BackupRestore::pathIn(folder));
    showLastBackup();
}

void BackupWindow::restore()
{
    m_backingUpLabel->hide();
    m_backupDoneLabel->hide();
    m_restoreDoneLabel->hide();
    QString folder;
    if (folderOf(m_restoreFolderEdit, folder))
        restoreFrom(folder);
}

void BackupWindow::restoreFrom(const QString& folder)
{
    m_backingUpLabel->hide();
    m_backupDoneLabel->hide();
    m_restoreDoneLabel->hide();

    if (Dialogs::message(this, CheckUsersText, Dialogs::Ok | Dialogs::Cancel, Dialogs::Ok, Dialogs::Icon::Warning,
            QStringLiteral("Restore Files"))
        != Dialogs::Ok)
        return;
    if (Dialogs::message(this, ReplaceText, Dialogs::Yes | Dialogs::No, Dialogs::Yes, Dialogs::Icon::Critical,
            QStringLiteral("Restore files"))
        != Dialogs::Yes)
        return;

    const QString livePath = DataFolder::databasePath();
    const QString sourcePath = BackupRestore::pathIn(folder);
    const QString keptFolder = QFileInfo(livePath).absolutePath();
    auto giveUp = [this] { m_restoringLabel->hide(); };
    // The source is checked before anything is closed: a folder without a
    // sound back-up leaves every window as it was.
    if (!Dialogs::retryUntilDone(this, [&] { return BackupRestore::probeSource(folder, livePath); }))
        return giveUp();
    if (!closeWindows(ClosedForRestore))
        return;

    BusyPointer busy(this);
    m_restoringLabel->show();
    m_restoreDoneLabel->hide();
    bool replaced = false;
    const bool done = Dialogs::retryUntilDone(this, [&] {
        // On a server the file's records replace the server's; the server's
        // own are kept as db-before-restore.mdb in the data folder.
        if (m_db.isServer())
            return BackupRestore::restoreServer(sourcePath, m_db, keptFolder);
        if (replaced)
            return m_db.open(livePath, false);
        const BackupRestore::RestoreOutcome r = BackupRestore::restore(sourcePath, livePath, &m_db);
        replaced = r.replaced;
        return r.result;
    });
    if (!done)
        return giveUp();
    m_restoreDoneLabel->show();
    m_restoringLabel->hide();
    showHistorySize();
    if (QFileInfo::exists(keptFolder + QLatin1Char('/') + BackupRestore::KeptName)) {
        Dialogs::inform(this,
            (m_db.isServer() ? QStringLiteral("The server's replaced records were kept as %1 on this computer, in the "
                                              "folder:\n%2")
                             : QStringLiteral("The replaced database was kept as %1 in the folder:\n%2"))
                .arg(BackupRestore::KeptName, keptFolder));
    }
}

void BackupWindow::leave()
{
    if (!m_host.exitAfterBackup()) {
        m_host.open(Window::Menu);
        close();
        return;
    }
    close();
    // Ending the program destroys every window, this one too: not from inside
    // its own click.
    QMetaObject::invokeMethod(
        qApp, [&host = m_host] { host.endProgram(); }, Qt::QueuedConnection);
}

void BackupWindow::showLastBackup()
{
    const AutomaticBackupRecord record;
    const QDateTime at = record.lastMadeAt();
    m_lastBackupLabel->setText(at.isValid() ? QStringLiteral("Last back-up: %1 at %2, in %3")
                                                  .arg(QLocale().toString(at.date(), QLocale::LongFormat),
                                                      QLocale().toString(at.time(), QLocale::ShortFormat),
                                                      QFileInfo(record.lastMadePath()).absolutePath())
                                            : QStringLiteral("No back-up has been made yet."));
    m_lastBackupLabel->setToolTip(record.lastMadePath());
    m_automaticPage->refresh();
    m_calendarPage->refresh();
}

void BackupWindow::changeEvent(QEvent* event)
{
    // A back-up the program made meanwhile shows when the window is next used.
    if (event->type() == QEvent::ActivationChange && m_automaticPage && isActiveWindow())
        showLastBackup();
    QWidget::changeEvent(event);
}

void BackupWindow::reportFailedAutomaticBackup(QWidget* parent)
{
    AutomaticBackupRecord record;
    const QString failure = record.unreportedFailure();
    if (failure.isEmpty())
        return;
    Dialogs::message(parent,
        failure
            + QStringLiteral("\n\nThe program tries again today. Another folder can be chosen in the back-up "
                             "window."),
        Dialogs::Ok, Dialogs::Ok, Dialogs::Icon::Warning);
    record.markFailureReported();
}
