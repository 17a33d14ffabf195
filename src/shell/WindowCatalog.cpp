#include "shell/WindowCatalog.h"

#include "appointments/ApptWindow.h"
#include "maintenance/BackupWindow.h"
#include "order/OrderWindow.h"
#include "setup/SetupWindow.h"
#include "shell/MenuWindow.h"
#include "shell/ReadmeWindow.h"
#include "shell/SplashWindow.h"
#include "shell/Windows.h"
#include "store/Database.h"

void registerProgramWindows()
{
    Windows::registerWindow(Window::Splash, [] {
        auto* splash = new SplashWindow(Windows::host());
        // The menu loads with the splash, before it is shown, and stays hidden.
        Windows::load(Window::Menu);
        return splash;
    });
    Windows::registerWindow(Window::Menu, [] { return new MenuWindow(Windows::host()); });
    Windows::registerWindow(Window::Readme, [] { return new ReadmeWindow(*Database::current(), Windows::host()); });
    Windows::registerWindow(Window::Appointments, [] { return new ApptWindow(*Database::current(), Windows::host()); });
    Windows::registerWindow(Window::Backup, [] { return new BackupWindow(*Database::current(), Windows::host()); });
    Windows::registerWindow(Window::Order, [] { return new OrderWindow(*Database::current(), Windows::host()); });
    Windows::registerWindow(Window::Setup, [] { return new SetupWindow(*Database::current(), Windows::host()); });
}
