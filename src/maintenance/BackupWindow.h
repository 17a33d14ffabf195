#pragma once

#include "shell/Windows.h"

#include <QList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// The back-up window (frmBackup): copies the database file into a folder the
// user names (a USB stick, a network folder) and copies it back from there.
// Both operations close the other windows first, so that none of them holds
// the file or an unsaved day while it is copied.
class BackupWindow : public QWidget
{
    Q_OBJECT
public:
    explicit BackupWindow(QWidget* parent = nullptr);

    void cmdBackup_Click();
    void CmdRestore_Click();
    void CmdExit_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void txtBackup_Change();
    void TxtRestore_Change();
    // Runs step until it gives no reason or the user declines the retry
    // prompt; false when declined.
    template<class Step> bool withRetry(Step step);
    bool closeWindows(const QList<Window>& windows);

    QLineEdit* m_txtBackup = nullptr;
    QPushButton* m_cmdBackup = nullptr;
    QLineEdit* m_txtRestore = nullptr; // TxtRestore
    QPushButton* m_cmdRestore = nullptr; // CmdRestore
    QPushButton* m_cmdExit = nullptr; // CmdExit
    QLabel* m_label1 = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_lblBackup = nullptr;
    QLabel* m_label3 = nullptr;
    QLabel* m_label4 = nullptr;
    QLabel* m_lblRestore = nullptr;
    QLabel* m_label7 = nullptr;
};
