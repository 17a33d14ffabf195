#pragma once

#include <QWidget>
#include <array>

class QPushButton;
class QRadioButton;
class WindowHost;

// The main menu: every other window is reached from here, and the way out of
// the program (with the offer of a back-up) starts here.
class MenuWindow : public QWidget
{
    Q_OBJECT
public:
    static const QString ExitTitle;
    static const QString ExitTextByKeyboard;
    static const QString ExitTextByMouse;

    explicit MenuWindow(WindowHost& host, QWidget* parent = nullptr);

    // The entries act on Enter (13) or Space (32) typed on them, or on any
    // mouse button pressed on them; other keys do nothing.
    void appointmentsEntryKey(int keyAscii);
    void backupEntryKey(int keyAscii);
    void setupEntryKey(int keyAscii);
    void orderEntryKey(int keyAscii);
    void exitEntryKey(int keyAscii);
    void appointmentsEntryPressed();
    void backupEntryPressed();
    void setupEntryPressed();
    void orderEntryPressed();
    void exitEntryPressed();
    void showReadme();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    enum class Chosen { ByKeyboard, ByMouse };

    struct Entry
    {
        QRadioButton* button = nullptr;
        void (MenuWindow::*keyPress)(int) = nullptr;
        void (MenuWindow::*mouseDown)() = nullptr;
    };

    void buildControls();
    void showAppointments();
    void showSetup();
    void showBackup();
    void showOrder();
    void exitPrompt(Chosen how);

    WindowHost& m_host;
    std::array<Entry, 5> m_entries {}; // in tab order
    QPushButton* m_readmeButton = nullptr;
};
