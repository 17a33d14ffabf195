#pragma once

#include <QWidget>

class QFrame;
class WindowHost;

// The first window: names the program and its maker and makes way for the
// main menu, loaded hidden behind it, at a key press or a click.
class SplashWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SplashWindow(WindowHost& host, QWidget* parent = nullptr);

    QFrame* panel() const { return m_panel; }

    // Shows the main menu and closes the splash.
    void dismiss();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildControls();

    WindowHost& m_host;
    QFrame* m_panel = nullptr;
    bool m_pressOnPanel = false;
};
