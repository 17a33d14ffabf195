#pragma once

#include <QWidget>
#include <functional>

// Stand-ins for the set-up, back-up and order windows until the real ones
// exist: a caption and one button that leaves the window the way the real
// window's Exit does.
class PlaceholderWindow : public QWidget
{
    Q_OBJECT
public:
    PlaceholderWindow(const QString& name, const QString& caption, const QString& buttonText,
        std::function<void()> onButton, QWidget* parent = nullptr);

private:
    std::function<void()> m_onButton;
};

// Registers frmBackup, frmOrder and frmSetup as placeholders.
void registerPlaceholderWindows();
