#include "maintenance/BackupWindow.h"

#include "maintenance/BackupRestore.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "store/Database.h"
#include "ui/AltKeys.h"
#include "ui/KeyNavigator.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QList<Window> ClosedForBackup
    = {Window::Menu, Window::Appointments, Window::Order, Window::Setup, Window::Splash};
const QList<Window> ClosedForRestore
    = {Window::Appointments, Window::Menu, Window::Order, Window::Readme, Window::Setup};

const QString CheckUsersText = QStringLiteral("Please check that all other users have logged out of this program.");
const QString ReplaceText = QStringLiteral("Existing database will be replaced!  Please make sure you have the correct "
                                           "data disk in the source drive. Do you wish to proceed?");

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
    setFixedSize(Twips::size(7872, 7908));
    buildControls();
    m_backupFolderEdit->setFocus();
}

void BackupWindow::buildControls()
{
    const QString preset = BackupRestore::presetFolder();
    QPalette blue;
    blue.setColor(QPalette::Text, Qt::blue);

    auto folderBox = [&](const QString& name, int top) {
        auto* box = new QLineEdit(preset, this);
        box->setObjectName(name);
        box->setFont(boldFont(12));
        box->setPalette(blue);
        box->setGeometry(Twips::rect(5640, top, 1225, 495));
        AltKeys::keepOutOf(box);
        return box;
    };
    auto button = [&](const QString& name, const QString& text, int top, int height, double points) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setFont(boldFont(points));
        b->setGeometry(Twips::rect(5640, top, 1245, height));
        b->setAutoDefault(false);
        return b;
    };

    m_backupFolderEdit = folderBox(QStringLiteral("backupFolderEdit"), 1200);
    m_backupButton = button(QStringLiteral("backupButton"), QStringLiteral("&BackUp"), 2400, 495, 9.6);
    m_restoreFolderEdit = folderBox(QStringLiteral("restoreFolderEdit"), 4440);
    m_restoreButton = button(QStringLiteral("restoreButton"), QStringLiteral("&Restore"), 5640, 495, 9.6);
    m_exitButton = button(QStringLiteral("exitButton"), QStringLiteral("&Exit"), 7080, 615, 12);
    setTabOrder(m_backupFolderEdit, m_backupButton);
    setTabOrder(m_backupButton, m_restoreFolderEdit);
    setTabOrder(m_restoreFolderEdit, m_restoreButton);
    setTabOrder(m_restoreButton, m_exitButton);

    m_backupHelpLabel = label(this, QStringLiteral("backupHelpLabel"),
        QStringLiteral(
            "To back-up files, please specify destination disk drive ( e.g. A: ),  and click Backup Button."),
        QRect(480, 1200, 4695, 855), true);
    m_backupHelpLabel->setWordWrap(true);
    m_backingUpLabel = label(this, QStringLiteral("backingUpLabel"), QStringLiteral("Backing up files to "),
        QRect(480, 2400, 1935, 375), false);
    m_backupFolderLabel = label(this, QStringLiteral("backupFolderLabel"), QString(), QRect(2520, 2400, 72, 240), true);
    m_backupDoneLabel = label(this, QStringLiteral("backupDoneLabel"),
        QStringLiteral("Files back-up completed successfully. "), QRect(480, 2880, 3975, 375), false);
    m_restoreHelpLabel = label(this, QStringLiteral("restoreHelpLabel"),
        QStringLiteral("To restore files after hard disk crash or program reinstallation, please specify source disk "
                       "drive ( e.g. A: ),  and click Restore Button."),
        QRect(480, 4320, 4812, 852), true);
    m_restoreHelpLabel->setWordWrap(true);
    m_restoringLabel = label(this, QStringLiteral("restoringLabel"), QStringLiteral("Restoring files to program..."),
        QRect(480, 5640, 2895, 375), false);
    m_restoreDoneLabel = label(this, QStringLiteral("restoreDoneLabel"),
        QStringLiteral("Files restored successfully.        "), QRect(480, 6000, 3015, 375), false);

    connect(m_backupFolderEdit, &QLineEdit::textChanged, this, &BackupWindow::showBackupFolder);
    connect(m_restoreFolderEdit, &QLineEdit::textChanged, this, &BackupWindow::showRestoreFolder);
    connect(m_backupButton, &QPushButton::clicked, this, &BackupWindow::backUp);
    connect(m_restoreButton, &QPushButton::clicked, this, &BackupWindow::restore);
    connect(m_exitButton, &QPushButton::clicked, this, &BackupWindow::leave);
    buildKeyNavigation();
}

void BackupWindow::buildKeyNavigation()
{
    // Up and Down walk the controls without going round; Enter in the back-up
    // box moves on to its button, and Enter on a button presses it.
    auto* keys = new KeyNavigator(this,
        KeyNavigator::column({m_backupFolderEdit, m_backupButton, m_restoreFolderEdit, m_restoreButton, m_exitButton}),
        KeyNavigator::Ends::PassOn);
    keys->setEnter({m_backupFolderEdit}, KeyNavigator::moveOn());
    keys->setEnter({m_backupButton, m_restoreButton, m_exitButton}, KeyNavigator::press());
}

void BackupWindow::showBackupFolder()
{
    m_backupFolderLabel->setText(m_backupFolderEdit->text());
    m_backupFolderLabel->resize(m_backupFolderLabel->sizeHint().width(), m_backupFolderLabel->height());
}

void BackupWindow::showRestoreFolder()
{
    m_restoringLabel->setText(m_restoreFolderEdit->text());
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

    const QString livePath = DataFolder::databasePath();
    const QString folderText = m_backupFolderEdit->text();
    auto giveUp = [this] {
        m_backupFolderLabel->hide();
        m_backingUpLabel->hide();
    };
    if (!Dialogs::retryUntilDone(this, [&] { return BackupRestore::probeDestination(folderText, livePath); }))
        return giveUp();
    if (!closeWindows(ClosedForBackup))
        return;

    m_backingUpLabel->show();
    m_backupFolderLabel->setText(folderText);
    m_backupFolderLabel->resize(m_backupFolderLabel->sizeHint().width(), m_backupFolderLabel->height());
    m_backupFolderLabel->show();
    {
        BusyPointer busy(this);
        // On a server the back-up is the server's records written as a db.mdb.
        const QString target = BackupRestore::pathIn(folderText);
        if (!Dialogs::retryUntilDone(this, [&] {
                return m_db.isServer() ? BackupRestore::backupServer(m_db, target)
                                       : BackupRestore::backup(livePath, target);
            }))
            return giveUp();
    }
    m_backingUpLabel->hide();
    m_backupFolderLabel->hide();
    m_backupDoneLabel->show();
}

void BackupWindow::restore()
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
    const QString sourcePath = BackupRestore::pathIn(m_restoreFolderEdit->text());
    auto giveUp = [this] { m_restoringLabel->hide(); };
    // The source is checked before anything is closed: a folder without a
    // sound back-up leaves every window as it was.
    if (!Dialogs::retryUntilDone(
            this, [&] { return BackupRestore::probeSource(m_restoreFolderEdit->text(), livePath); }))
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
            return BackupRestore::restoreServer(sourcePath, m_db, QFileInfo(livePath).absolutePath());
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
