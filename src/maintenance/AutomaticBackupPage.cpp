#include "maintenance/AutomaticBackupPage.h"

#include "maintenance/AutomaticBackupRecord.h"
#include "maintenance/AutomaticBackups.h"
#include "maintenance/BackupPageWidgets.h"
#include "maintenance/BackupRestore.h"
#include "platform/Dialogs.h"
#include "ui/KeyNavigator.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {
// Where the buttons start, in twips, as on the window's other page.
constexpr int ButtonColumn = 6780;
} // namespace

using BackupPageWidgets::placed;

AutomaticBackupPage::AutomaticBackupPage(QWidget* parent)
    : QWidget(parent)
{
    BackupPageWidgets::helpLabel(this,
        QStringLiteral("Once a day the program backs up by itself into this folder. Kept: the last %1 back-ups and "
                       "the first of each of the last %2 months.")
            .arg(AutomaticBackups::DailyKept)
            .arg(AutomaticBackups::MonthsKept),
        QStringLiteral("automaticHelpLabel"), QRect(480, 480, 8160, 615));
    m_folderEdit
        = BackupPageWidgets::folderBox(this, QStringLiteral("automaticFolderEdit"), QRect(480, 1200, 6180, 495));
    m_chooseFolderButton = placed(new QPushButton(QStringLiteral("Choose fol&der…"), this),
        QStringLiteral("chooseAutomaticFolderButton"), QRect(ButtonColumn, 1200, 1860, 495), 9.6);

    placed(new QLabel(QStringLiteral("Back-ups made by the program:"), this), QStringLiteral("automaticListLabel"),
        QRect(480, 1920, 6180, 375), 9.6);
    m_list = placed(new QListWidget(this), QStringLiteral("automaticList"), QRect(480, 2280, 6180, 4320), 9.6);
    m_restoreButton = placed(new QPushButton(QStringLiteral("Restore &selected"), this),
        QStringLiteral("restoreAutomaticButton"), QRect(ButtonColumn, 2280, 1860, 495), 9.6);
    for (QPushButton* b : {m_chooseFolderButton, m_restoreButton})
        b->setAutoDefault(false);

    connect(m_chooseFolderButton, &QPushButton::clicked, this, &AutomaticBackupPage::chooseFolder);
    connect(m_folderEdit, &QLineEdit::returnPressed, this, &AutomaticBackupPage::takeFolder);
    connect(m_list, &QListWidget::itemActivated, this, &AutomaticBackupPage::requestRestore);
    connect(m_restoreButton, &QPushButton::clicked, this, &AutomaticBackupPage::requestRestore);
    // Up and Down stay the list's own; Enter on a button presses it.
    auto* keys = new KeyNavigator(this, {}, KeyNavigator::Ends::PassOn);
    keys->setEnter({m_chooseFolderButton, m_restoreButton}, KeyNavigator::press());
}

void AutomaticBackupPage::refresh()
{
    const QString folder = AutomaticBackupRecord().folder();
    if (!m_folderEdit->hasFocus())
        m_folderEdit->setText(folder);
    const QString current = m_list->currentItem() ? m_list->currentItem()->text() : QString();
    m_list->clear();
    for (const QDate& day : AutomaticBackups::listed(folder)) {
        auto* item = new QListWidgetItem(QLocale().toString(day, QLocale::LongFormat), m_list);
        item->setData(Qt::UserRole, AutomaticBackups::folderOf(folder, day));
        item->setToolTip(BackupRestore::pathIn(AutomaticBackups::folderOf(folder, day)));
        if (item->text() == current)
            m_list->setCurrentItem(item);
    }
}

void AutomaticBackupPage::chooseFolder()
{
    if (BackupPageWidgets::chooseFolderInto(m_folderEdit, QStringLiteral("Folder for the automatic back-ups")))
        takeFolder();
}

void AutomaticBackupPage::takeFolder()
{
    QString folder;
    if (const Result named = BackupRestore::folderFromText(m_folderEdit->text(), folder); !named.ok()) {
        Dialogs::message(this, named.message, Dialogs::Ok, Dialogs::Ok, Dialogs::Icon::Warning);
        m_folderEdit->selectAll();
    } else {
        AutomaticBackupRecord().setFolder(folder);
    }
    m_folderEdit->setFocus();
    refresh();
}

void AutomaticBackupPage::requestRestore()
{
    if (const QListWidgetItem* chosen = m_list->currentItem()) {
        emit restoreRequested(chosen->data(Qt::UserRole).toString());
        return;
    }
    Dialogs::message(this, QStringLiteral("Please choose the back-up to restore in the list."), Dialogs::Ok,
        Dialogs::Ok, Dialogs::Icon::Warning);
    m_list->setFocus();
}
