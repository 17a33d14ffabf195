#include "shell/Placeholders.h"

#include "shell/Windows.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

PlaceholderWindow::PlaceholderWindow(const QString& name, const QString& caption, const QString& buttonText,
    std::function<void()> onButton, QWidget* parent)
    : QWidget(parent)
    , m_onButton(std::move(onButton))
{
    setObjectName(name);
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral("This window is not available yet."), this);
    note->setAlignment(Qt::AlignCenter);
    layout->addWidget(note);
    auto* button = new QPushButton(buttonText, this);
    button->setObjectName(QStringLiteral("CmdExit"));
    layout->addWidget(button, 0, Qt::AlignCenter);
    connect(button, &QPushButton::clicked, this, [this] { m_onButton(); });
    button->setFocus();
    resize(360, 160);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void registerPlaceholderWindows()
{
    Windows::registerWindow(QStringLiteral("frmBackup"), [] {
        return new PlaceholderWindow(
            QStringLiteral("frmBackup"), QStringLiteral("Back-up /Restore Files"), QStringLiteral("Exit"), [] {
                if (!Windows::exitAfterBackup()) {
                    Windows::open(QStringLiteral("frmMenu"));
                    Windows::close(QStringLiteral("frmBackup"));
                    return;
                }
                Windows::close(QStringLiteral("frmBackup"));
                Windows::endProgram();
            });
    });
    Windows::registerWindow(QStringLiteral("frmOrder"), [] {
        return new PlaceholderWindow(
            QStringLiteral("frmOrder"), QStringLiteral("Order Form"), QStringLiteral("Exit"), [] {
                Windows::open(QStringLiteral("frmMenu"));
                Windows::close(QStringLiteral("frmOrder"));
            });
    });
    Windows::registerWindow(QStringLiteral("frmSetup"), [] {
        return new PlaceholderWindow(QStringLiteral("frmSetup"), QStringLiteral("Set-up"), QStringLiteral("Close"),
            [] { Windows::close(QStringLiteral("frmSetup")); });
    });
}
