#pragma once

#include <QWidget>

class QFrame;

// The first window: names the program and its maker, loads the main menu
// hidden behind it and makes way for the menu at a key press or a click.
class SplashWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* parent = nullptr);

    QFrame* panel() const { return m_panel; }

    // Shows the main menu and closes the splash.
    void dismiss();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildControls();

    QFrame* m_panel = nullptr;
    bool m_pressOnPanel = false;
};
