#include "maintenance/AutomaticBackupRecord.h"

#include "maintenance/AutomaticBackups.h"
#include "platform/DataFolder.h"

#include <QLocale>
#include <QSettings>

namespace {
const QString FolderKey = QStringLiteral("folder");
const QString MadeAtKey = QStringLiteral("lastMadeAt");
const QString MadePathKey = QStringLiteral("lastMadePath");
const QString FailureKey = QStringLiteral("failure");
} // namespace

AutomaticBackupRecord::AutomaticBackupRecord()
    : m_file(DataFolder::path() + QLatin1Char('/') + FileName)
{
}

QString AutomaticBackupRecord::folder() const
{
    const QString chosen = QSettings(m_file, QSettings::IniFormat).value(FolderKey).toString();
    return chosen.isEmpty() ? AutomaticBackups::defaultFolder() : chosen;
}

bool AutomaticBackupRecord::folderChosen() const
{
    return !QSettings(m_file, QSettings::IniFormat).value(FolderKey).toString().isEmpty();
}

void AutomaticBackupRecord::setFolder(const QString& folder)
{
    QSettings s(m_file, QSettings::IniFormat);
    if (folder.isEmpty() || folder == AutomaticBackups::defaultFolder())
        s.remove(FolderKey);
    else
        s.setValue(FolderKey, folder);
}

QDateTime AutomaticBackupRecord::lastMadeAt() const
{
    return QDateTime::fromString(QSettings(m_file, QSettings::IniFormat).value(MadeAtKey).toString(), Qt::ISODate);
}

QString AutomaticBackupRecord::lastMadePath() const
{
    return QSettings(m_file, QSettings::IniFormat).value(MadePathKey).toString();
}

void AutomaticBackupRecord::noteMade(const QDateTime& at, const QString& path)
{
    QSettings s(m_file, QSettings::IniFormat);
    s.setValue(MadeAtKey, at.toString(Qt::ISODate)); // readable, as the rest of the file
    s.setValue(MadePathKey, path);
}

QString AutomaticBackupRecord::unreportedFailure() const
{
    return QSettings(m_file, QSettings::IniFormat).value(FailureKey).toString();
}

void AutomaticBackupRecord::noteFailed(const QDate& day, const QString& folder, const QString& reason)
{
    QSettings(m_file, QSettings::IniFormat)
        .setValue(FailureKey,
            QStringLiteral("The automatic back-up of %1 could not be made in the folder %2:\n%3")
                .arg(QLocale().toString(day, QLocale::LongFormat), folder,
                    reason.endsWith(QLatin1Char('.')) ? reason : reason + QLatin1Char('.')));
}

void AutomaticBackupRecord::markFailureReported()
{
    QSettings(m_file, QSettings::IniFormat).remove(FailureKey);
}
