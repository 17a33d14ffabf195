#include "maintenance/CalendarFilesPage.h"

#include "appointments/CalendarFolder.h"
#include "maintenance/BackupPageWidgets.h"
#include "maintenance/BackupRestore.h"
#include "platform/Dialogs.h"
#include "ui/KeyNavigator.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using BackupPageWidgets::placed;

CalendarFilesPage::CalendarFilesPage(Database& db, QWidget* parent)
    : QWidget(parent)
    , m_db(db)
{
    BackupPageWidgets::helpLabel(this,
        QStringLiteral("Calendar programs and phones can subscribe to one file per provider (today and the next 90 "
                       "days), kept current in this folder by this computer. Leave the box empty to keep none."),
        QStringLiteral("calendarHelpLabel"), QRect(480, 480, 8160, 855));
    m_folderEdit
        = BackupPageWidgets::folderBox(this, QStringLiteral("calendarFolderEdit"), QRect(480, 1440, 6180, 495));
    m_chooseFolderButton = placed(new QPushButton(QStringLiteral("Choose f&older…"), this),
        QStringLiteral("chooseCalendarFolderButton"), QRect(6780, 1440, 1860, 495), 9.6);
    m_chooseFolderButton->setAutoDefault(false);
    m_statusLabel = BackupPageWidgets::helpLabel(
        this, QString(), QStringLiteral("calendarStatusLabel"), QRect(480, 2160, 8160, 615));

    connect(m_chooseFolderButton, &QPushButton::clicked, this, &CalendarFilesPage::chooseFolder);
    connect(m_folderEdit, &QLineEdit::returnPressed, this, &CalendarFilesPage::takeFolder);
    auto* keys = new KeyNavigator(this, {}, KeyNavigator::Ends::PassOn);
    keys->setEnter({m_chooseFolderButton}, KeyNavigator::press());
}

void CalendarFilesPage::refresh()
{
    if (!m_folderEdit->hasFocus())
        m_folderEdit->setText(CalendarFolder::configured());
}

void CalendarFilesPage::chooseFolder()
{
    if (BackupPageWidgets::chooseFolderInto(m_folderEdit, QStringLiteral("Folder for the providers' calendar files")))
        takeFolder();
}

void CalendarFilesPage::takeFolder()
{
    m_folderEdit->setFocus();
    if (m_folderEdit->text().trimmed().isEmpty()) {
        CalendarFolder::choose(QString());
        m_statusLabel->setText(QStringLiteral("No calendar files are kept."));
        refresh();
        return;
    }
    QString folder;
    Result done = BackupRestore::folderFromText(m_folderEdit->text(), folder);
    if (done.ok() && !QDir().mkpath(folder))
        done = Result::failed(QStringLiteral("The folder %1 cannot be made.").arg(folder));
    if (done.ok())
        done = CalendarFolder(m_db, folder).rewrite();
    if (!done.ok()) {
        m_folderEdit->selectAll();
        Dialogs::message(this, done.message, Dialogs::Ok, Dialogs::Ok, Dialogs::Icon::Warning);
        return;
    }
    CalendarFolder::choose(folder);
    m_statusLabel->setText(QStringLiteral("The calendar files are kept in %1.").arg(folder));
    refresh();
}
