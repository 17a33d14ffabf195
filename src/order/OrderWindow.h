#pragma once

#include "core/OrderRecord.h"

#include <QWidget>
#include <array>

class Database;
class QLineEdit;
class QPushButton;
class WindowHost;

// The order window: the practice's mailing details, kept in the one order
// record, and the printed mail order form. Typed letters become capitals,
// Enter moves on like Tab, and Up/Down walk the boxes.
class OrderWindow : public QWidget
{
    Q_OBJECT
public:
    OrderWindow(Database& db, WindowHost& host, QWidget* parent = nullptr);

    // Stores the eleven boxes in the order record; a failure asks to retry.
    // False when the user gave up.
    bool save();

    void clearForm();
    void discardChanges();
    void printForm();
    void leave();

    // What the boxes hold now.
    OrderRecord record() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildKeyNavigation();
    void loadRecord();
    void showRecord(const OrderRecord& r);
    bool typeCapital(QObject* watched, QKeyEvent* key);

    Database& m_db;
    WindowHost& m_host;
    std::array<QLineEdit*, 11> m_boxes {};
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_clearButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_printButton = nullptr;
    QPushButton* m_exitButton = nullptr;
};
