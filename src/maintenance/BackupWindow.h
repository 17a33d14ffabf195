#pragma once

#include "ui/WindowHost.h"

#include <QList>
#include <QWidget>

class AutomaticBackupPage;
class CalendarFilesPage;
class Database;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

// The back-up window: copies the database file into a folder the
// user names (a USB stick, a network folder) and copies it back from there.
// Both operations close the other windows first, so that none of them holds
// the file or an unsaved day while it is copied.
class BackupWindow : public QWidget
{
    Q_OBJECT
public:
    BackupWindow(Database& db, WindowHost& host, QWidget* parent = nullptr);

    void backUp();
    void restore();
    void leave();

    // Says, once, that the last automatic back-up failed: at start-up.
    static void reportFailedAutomaticBackup(QWidget* parent);

protected:
    void changeEvent(QEvent* event) override;

private:
    void buildControls(QWidget* page);
    void buildKeyNavigation();
    void showBackupFolder();
    void showRestoreFolder();
    void showFolderIn(QLabel* label, const QString& folder);
    void showHistorySize();
    void chooseFolder(QLineEdit* box, const QString& title);
    // The full path the box names, or false after saying why it names none.
    bool folderOf(QLineEdit* box, QString& folder);
    bool closeWindows(const QList<Window>& windows);
    void showLastBackup();
    void restoreFrom(const QString& folder);

    Database& m_db;
    WindowHost& m_host;

    QLineEdit* m_backupFolderEdit = nullptr;
    QPushButton* m_chooseBackupFolderButton = nullptr;
    QPushButton* m_backupButton = nullptr;
    QLineEdit* m_restoreFolderEdit = nullptr;
    QPushButton* m_chooseRestoreFolderButton = nullptr;
    QPushButton* m_restoreButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QLabel* m_backupHelpLabel = nullptr;
    QLabel* m_backingUpLabel = nullptr;
    QLabel* m_backupFolderLabel = nullptr;
    QLabel* m_backupDoneLabel = nullptr;
    QLabel* m_restoreHelpLabel = nullptr;
    QLabel* m_restoringLabel = nullptr;
    QLabel* m_restoreDoneLabel = nullptr;
    QLabel* m_historyLabel = nullptr;

    QTabWidget* m_pages = nullptr;
    AutomaticBackupPage* m_automaticPage = nullptr;
    CalendarFilesPage* m_calendarPage = nullptr;
    QLabel* m_lastBackupLabel = nullptr;
};
