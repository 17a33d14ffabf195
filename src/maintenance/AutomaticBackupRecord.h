#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// What the automatic back-ups keep between starts, in autobackup.ini in the
// data folder: the back-up folder chosen in the back-up window, when and where
// the last back-up was made, and a failure not yet reported. The data folder
// is where every start looks first and can always write: the back-up folder
// may be a USB stick that is not there, and a failure must be kept precisely
// then. Desks that share a db.mdb in a shared folder share this file with it.
class AutomaticBackupRecord
{
public:
    static inline const QString FileName = QStringLiteral("autobackup.ini");

    // In the data folder of DataFolder::path().
    AutomaticBackupRecord();

    // The folder the back-ups go into: the one chosen, else the default.
    QString folder() const;
    bool folderChosen() const;
    // An empty folder goes back to the default.
    void setFolder(const QString& folder);

    QDateTime lastMadeAt() const;
    QString lastMadePath() const;
    void noteMade(const QDateTime& at, const QString& path);

    // A failure not yet reported, in words ready to show; empty when none.
    QString unreportedFailure() const;
    void noteFailed(const QDate& day, const QString& folder, const QString& reason);
    void markFailureReported();

private:
    QString m_file;
};
