#include "shell/WindowCatalog.h"

#include "appointments/ApptWindow.h"
#include "maintenance/BackupWindow.h"
#include "order/OrderWindow.h"
#include "setup/SetupWindow.h"
#include "shell/MenuWindow.h"
#include "shell/ReadmeWindow.h"
#include "shell/SplashWindow.h"
#include "shell/Windows.h"

void registerProgramWindows()
{
    Windows::registerWindow(QStringLiteral("frmSplash"), [] { return new SplashWindow; });
    Windows::registerWindow(QStringLiteral("frmMenu"), [] { return new MenuWindow; });
    Windows::registerWindow(QStringLiteral("frmReadme"), [] { return new ReadmeWindow; });
    Windows::registerWindow(QStringLiteral("frmAppt"), [] { return new ApptWindow; });
    Windows::registerWindow(QStringLiteral("frmBackup"), [] { return new BackupWindow; });
    Windows::registerWindow(QStringLiteral("frmOrder"), [] { return new OrderWindow; });
    Windows::registerWindow(QStringLiteral("frmSetup"), [] { return new SetupWindow; });
}
