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
    Windows::registerWindow(Window::Splash, [] { return new SplashWindow; });
    Windows::registerWindow(Window::Menu, [] { return new MenuWindow; });
    Windows::registerWindow(Window::Readme, [] { return new ReadmeWindow; });
    Windows::registerWindow(Window::Appointments, [] { return new ApptWindow(*Database::current(), Windows::host()); });
    Windows::registerWindow(Window::Backup, [] { return new BackupWindow; });
    Windows::registerWindow(Window::Order, [] { return new OrderWindow; });
    Windows::registerWindow(Window::Setup, [] { return new SetupWindow; });
}
