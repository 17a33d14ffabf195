#include "maintenance/BackupWindow.h"

#include "maintenance/BackupRestore.h"
#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/Twips.h"
#include "shell/Windows.h"
#include "store/Database.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
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

BackupWindow::BackupWindow(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("backupWindow"));
    setWindowTitle(QStringLiteral("Back-up /Restore Files"));
    setFixedSize(Twips::size(7872, 7908));
    buildControls();
    m_txtBackup->setFocus();
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

    m_txtBackup = folderBox(QStringLiteral("txtBackup"), 1200);
    m_cmdBackup = button(QStringLiteral("cmdBackup"), QStringLiteral("&BackUp"), 2400, 495, 9.6);
    m_txtRestore = folderBox(QStringLiteral("TxtRestore"), 4440);
    m_cmdRestore = button(QStringLiteral("CmdRestore"), QStringLiteral("&Restore"), 5640, 495, 9.6);
    m_cmdExit = button(QStringLiteral("CmdExit"), QStringLiteral("&Exit"), 7080, 615, 12);
    setTabOrder(m_txtBackup, m_cmdBackup);
    setTabOrder(m_cmdBackup, m_txtRestore);
    setTabOrder(m_txtRestore, m_cmdRestore);
    setTabOrder(m_cmdRestore, m_cmdExit);

    m_label1 = label(this, QStringLiteral("Label1"),
        QStringLiteral(
            "To back-up files, please specify destination disk drive ( e.g. A: ),  and click Backup Button."),
        QRect(480, 1200, 4695, 855), true);
    m_label1->setWordWrap(true);
    m_label2 = label(
        this, QStringLiteral("Label2"), QStringLiteral("Backing up files to "), QRect(480, 2400, 1935, 375), false);
    m_lblBackup = label(this, QStringLiteral("lblBackup"), QString(), QRect(2520, 2400, 72, 240), true);
    m_label3 = label(this, QStringLiteral("Label3"), QStringLiteral("Files back-up completed successfully. "),
        QRect(480, 2880, 3975, 375), false);
    m_label4 = label(this, QStringLiteral("Label4"),
        QStringLiteral("To restore files after hard disk crash or program reinstallation, please specify source disk "
                       "drive ( e.g. A: ),  and click Restore Button."),
        QRect(480, 4320, 4812, 852), true);
    m_label4->setWordWrap(true);
    m_lblRestore = label(this, QStringLiteral("lblRestore"), QStringLiteral("Restoring files to program..."),
        QRect(480, 5640, 2895, 375), false);
    m_label7 = label(this, QStringLiteral("Label7"), QStringLiteral("Files restored successfully.        "),
        QRect(480, 6000, 3015, 375), false);

    connect(m_txtBackup, &QLineEdit::textChanged, this, &BackupWindow::txtBackup_Change);
    connect(m_txtRestore, &QLineEdit::textChanged, this, &BackupWindow::TxtRestore_Change);
    connect(m_cmdBackup, &QPushButton::clicked, this, &BackupWindow::cmdBackup_Click);
    connect(m_cmdRestore, &QPushButton::clicked, this, &BackupWindow::CmdRestore_Click);
    connect(m_cmdExit, &QPushButton::clicked, this, &BackupWindow::CmdExit_Click);

    for (QWidget* w :
        {static_cast<QWidget*>(m_txtBackup), static_cast<QWidget*>(m_cmdBackup), static_cast<QWidget*>(m_txtRestore),
            static_cast<QWidget*>(m_cmdRestore), static_cast<QWidget*>(m_cmdExit)})
        w->installEventFilter(this);
}

void BackupWindow::txtBackup_Change()
{
    m_lblBackup->setText(m_txtBackup->text());
    m_lblBackup->resize(m_lblBackup->sizeHint().width(), m_lblBackup->height());
}

void BackupWindow::TxtRestore_Change()
{
    m_lblRestore->setText(m_txtRestore->text());
}

template<class Step> bool BackupWindow::withRetry(Step step)
{
    for (;;) {
        const QString reason = step();
        if (reason.isEmpty())
            return true;
        if (!Dialogs::askRetry(this, reason))
            return false;
    }
}

bool BackupWindow::closeWindows(const QList<Window>& windows)
{
    // The appointment window saves its day as it closes; when that save fails
    // and the user gives up, it stays open and the copy must not go ahead.
    for (Window window : windows) {
        if (!Windows::close(window))
            return false;
    }
    return true;
}

void BackupWindow::cmdBackup_Click()
{
    // The outcome of the previous back-up or restore no longer holds.
    m_label3->hide();
    m_label7->hide();
    m_lblRestore->hide();

    const QString livePath = DataFolder::databasePath();
    const QString folderText = m_txtBackup->text();
    auto giveUp = [this] {
        m_lblBackup->hide();
        m_label2->hide();
    };
    if (!withRetry([&] { return BackupRestore::probeDestination(folderText, livePath); }))
        return giveUp();
    if (!closeWindows(ClosedForBackup))
        return;

    m_label2->show();
    m_lblBackup->setText(folderText);
    m_lblBackup->resize(m_lblBackup->sizeHint().width(), m_lblBackup->height());
    m_lblBackup->show();
    {
        BusyPointer busy(this);
        // On a server the back-up is the server's records written as a db.mdb.
        Database* db = Database::current();
        const QString target = BackupRestore::pathIn(folderText);
        if (!withRetry([&] {
                return db && db->isServer() ? BackupRestore::backupServer(*db, target)
                                            : BackupRestore::backup(livePath, target);
            }))
            return giveUp();
    }
    m_label2->hide();
    m_lblBackup->hide();
    m_label3->show();
}

void BackupWindow::CmdRestore_Click()
{
    m_label2->hide();
    m_label3->hide();
    m_label7->hide();

    if (Dialogs::message(this, CheckUsersText, Dialogs::Ok | Dialogs::Cancel, Dialogs::Ok, Dialogs::Icon::Warning,
            QStringLiteral("Restore Files"))
        != Dialogs::Ok)
        return;
    if (Dialogs::message(this, ReplaceText, Dialogs::Yes | Dialogs::No, Dialogs::Yes, Dialogs::Icon::Critical,
            QStringLiteral("Restore files"))
        != Dialogs::Yes)
        return;

    const QString livePath = DataFolder::databasePath();
    const QString sourcePath = BackupRestore::pathIn(m_txtRestore->text());
    auto giveUp = [this] { m_lblRestore->hide(); };
    // The source is checked before anything is closed: a folder without a
    // sound back-up leaves every window as it was.
    if (!withRetry([&] { return BackupRestore::probeSource(m_txtRestore->text(), livePath); }))
        return giveUp();
    if (!closeWindows(ClosedForRestore))
        return;

    BusyPointer busy(this);
    m_lblRestore->show();
    m_label7->hide();
    bool replaced = false;
    const bool done = withRetry([&] {
        Database* db = Database::current();
        // On a server the file's records replace the server's; the server's
        // own are kept as db-before-restore.mdb in the data folder.
        if (db && db->isServer())
            return BackupRestore::restoreServer(sourcePath, *db, QFileInfo(livePath).absolutePath());
        if (replaced) {
            const Database::OpenResult opened = db->open(livePath, false);
            return opened.ok ? QString() : opened.message;
        }
        const BackupRestore::RestoreResult r = BackupRestore::restore(sourcePath, livePath, db);
        replaced = r.replaced;
        return r.reason;
    });
    if (!done)
        return giveUp();
    m_label7->show();
    m_lblRestore->hide();
}

void BackupWindow::CmdExit_Click()
{
    if (!Windows::exitAfterBackup()) {
        Windows::open(Window::Menu);
        close();
        return;
    }
    close();
    // Ending the program destroys every window, this one too: not from inside
    // its own click.
    QMetaObject::invokeMethod(
        qApp, [] { Windows::endProgram(); }, Qt::QueuedConnection);
}

bool BackupWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    auto moveTo = [](QWidget* w) {
        w->setFocus(Qt::OtherFocusReason);
        return true;
    };

    if (watched == m_txtBackup) {
        if (key == Qt::Key_Down || enter)
            return moveTo(m_cmdBackup);
    } else if (watched == m_cmdBackup) {
        if (key == Qt::Key_Up)
            return moveTo(m_txtBackup);
        if (key == Qt::Key_Down)
            return moveTo(m_txtRestore);
        if (enter) {
            cmdBackup_Click();
            return true;
        }
    } else if (watched == m_txtRestore) {
        if (key == Qt::Key_Up)
            return moveTo(m_cmdBackup);
        if (key == Qt::Key_Down)
            return moveTo(m_cmdRestore);
    } else if (watched == m_cmdRestore) {
        if (key == Qt::Key_Up)
            return moveTo(m_txtRestore);
        if (key == Qt::Key_Down)
            return moveTo(m_cmdExit);
        if (enter) {
            CmdRestore_Click();
            return true;
        }
    } else if (watched == m_cmdExit) {
        if (key == Qt::Key_Up)
            return moveTo(m_cmdRestore);
        if (enter) {
            CmdExit_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
