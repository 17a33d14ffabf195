#pragma once

#include <QWidget>

class Database;
class QLabel;
class QLineEdit;
class QPushButton;

// The back-up window's page of the providers' calendar files: the folder, at
// this desk, in which the appointment window keeps one iCalendar file per
// provider current, for calendar programs and phones that subscribe to it.
class CalendarFilesPage : public QWidget
{
    Q_OBJECT
public:
    explicit CalendarFilesPage(Database& db, QWidget* parent = nullptr);

    // Shows the folder chosen now.
    void refresh();

private:
    void chooseFolder();
    // Keeps the folder in the box (none when it is empty) and writes the
    // files there at once, so that a fault shows while the user is here.
    void takeFolder();

    Database& m_db;
    QLineEdit* m_folderEdit = nullptr;
    QPushButton* m_chooseFolderButton = nullptr;
    QLabel* m_statusLabel = nullptr;
};
