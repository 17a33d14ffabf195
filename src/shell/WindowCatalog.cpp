#include "shell/WindowCatalog.h"

#include "appointments/ApptWindow.h"
#include "maintenance/BackupWindow.h"
#include "order/OrderWindow.h"
#include "setup/SetupWindow.h"
#include "shell/MenuWindow.h"
#include "shell/ReadmeWindow.h"
#include "shell/SplashWindow.h"
#include "shell/Windows.h"

void registerProgramWindows(Database& db)
{
    Windows::registerWindow(Window::Splash, [] {
        auto* splash = new SplashWindow(Windows::host());
        // The menu loads with the splash, before it is shown, and stays hidden.
        Windows::load(Window::Menu);
        return splash;
    });
    Windows::registerWindow(Window::Menu, [] { return new MenuWindow(Windows::host()); });
    Windows::registerWindow(Window::Readme, [&db] { return new ReadmeWindow(db, Windows::host()); });
    Windows::registerWindow(Window::Appointments, [&db] { return new ApptWindow(db, Windows::host()); });
    Windows::registerWindow(Window::Backup, [&db] { return new BackupWindow(db, Windows::host()); });
    Windows::registerWindow(Window::Order, [&db] { return new OrderWindow(db, Windows::host()); });
    Windows::registerWindow(Window::Setup, [&db] { return new SetupWindow(db, Windows::host()); });
}
