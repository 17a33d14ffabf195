#include "shell/Windows.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <map>
#include <vector>

namespace {
std::map<Window, Windows::Factory>& factories()
{
    static std::map<Window, Windows::Factory> f;
    return f;
}

std::map<Window, QPointer<QWidget>>& openWindows()
{
    static std::map<Window, QPointer<QWidget>> w;
    return w;
}

std::function<void()>& quitHandler()
{
    static std::function<void()> h;
    return h;
}

bool g_exitAfterBackup = false;

class RegistryHost : public WindowHost
{
public:
    bool open(Window window) override { return Windows::open(window) != nullptr; }
    bool close(Window window) override { return Windows::close(window); }
    bool endProgram() override { return Windows::endProgram(); }
    bool exitAfterBackup() const override { return Windows::exitAfterBackup(); }
};
} // namespace

namespace Windows {

void registerWindow(Window window, Factory factory)
{
    factories().insert_or_assign(window, std::move(factory));
}

void unregisterAll()
{
    factories().clear();
}

QString defaultObjectName(Window window)
{
    switch (window) {
    case Window::Splash:
        return QStringLiteral("splashWindow");
    case Window::Menu:
        return QStringLiteral("mainMenu");
    case Window::Appointments:
        return QStringLiteral("appointmentWindow");
    case Window::Setup:
        return QStringLiteral("setupWindow");
    case Window::Backup:
        return QStringLiteral("backupWindow");
    case Window::Order:
        return QStringLiteral("orderWindow");
    case Window::Readme:
        return QStringLiteral("readmeWindow");
    }
    return QString();
}

QWidget* find(Window window)
{
    auto it = openWindows().find(window);
    if (it == openWindows().end())
        return nullptr;
    // A closed window loses WA_DeleteOnClose as Qt schedules its deletion; it
    // is gone for the program even while the deletion is still pending.
    if (it->second.isNull() || !it->second->testAttribute(Qt::WA_DeleteOnClose)) {
        openWindows().erase(it);
        return nullptr;
    }
    return it->second.data();
}

bool isOpen(Window window)
{
    return find(window) != nullptr;
}

QWidget* load(Window window)
{
    if (QWidget* w = find(window))
        return w;
    auto it = factories().find(window);
    if (it == factories().end())
        return nullptr;
    QWidget* w = it->second();
    if (!w)
        return nullptr;
    w->setAttribute(Qt::WA_DeleteOnClose);
    if (w->objectName().isEmpty())
        w->setObjectName(defaultObjectName(window));
    openWindows().insert_or_assign(window, w);
    return w;
}

QWidget* open(Window window)
{
    QWidget* w = load(window);
    if (!w)
        return nullptr;
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

bool close(Window window)
{
    QWidget* w = find(window);
    if (!w)
        return true;
    // close() runs the window's close handling and, when it is accepted,
    // schedules the deletion: windows often close themselves from one of
    // their own event handlers, where deleting them at once is not safe.
    if (!w->close())
        return false;
    openWindows().erase(window);
    return true;
}

void discardAll()
{
    std::vector<Window> windows;
    for (const auto& [window, widget] : openWindows())
        windows.push_back(window);
    for (Window window : windows) {
        if (QWidget* w = find(window)) {
            w->setAttribute(Qt::WA_DeleteOnClose, false);
            w->hide();
            w->deleteLater();
        }
    }
    openWindows().clear();
}

bool endProgram()
{
    // The appointment window first: it saves the shown day as it closes, and
    // a save that failed and was not retried keeps the program running.
    if (!close(Window::Appointments))
        return false;
    discardAll();
    if (quitHandler())
        quitHandler()();
    else
        QApplication::quit();
    return true;
}

void setQuitHandler(std::function<void()> handler)
{
    quitHandler() = std::move(handler);
}

bool exitAfterBackup()
{
    return g_exitAfterBackup;
}

void setExitAfterBackup(bool on)
{
    g_exitAfterBackup = on;
}

WindowHost& host()
{
    static RegistryHost registry;
    return registry;
}

} // namespace Windows
