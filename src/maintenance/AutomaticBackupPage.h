#pragma once

#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;

// The back-up window's page of the back-ups the program makes by itself: the
// folder they go into (kept for every start in the AutomaticBackupRecord),
// the list of those kept, and the way to restore one of them, which the
// window does as any restore.
class AutomaticBackupPage : public QWidget
{
    Q_OBJECT
public:
    explicit AutomaticBackupPage(QWidget* parent = nullptr);

    // Shows the folder and the back-ups as they are now.
    void refresh();

signals:
    // The folder of the back-up chosen to be restored.
    void restoreRequested(const QString& folder);

private:
    void chooseFolder();
    void takeFolder();
    void requestRestore();

    QLineEdit* m_folderEdit = nullptr;
    QPushButton* m_chooseFolderButton = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_restoreButton = nullptr;
};
