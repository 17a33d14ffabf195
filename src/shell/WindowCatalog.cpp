#include "shell/WindowCatalog.h"

#include "appointments/ApptWindow.h"
#include "maintenance/BackupWindow.h"
#include "order/OrderWindow.h"
#include "setup/SetupWindow.h"
#include "shell/Windows.h"

void registerProgramWindows()
{
    Windows::registerWindow(QStringLiteral("frmAppt"), [] { return new ApptWindow; });
    Windows::registerWindow(QStringLiteral("frmBackup"), [] { return new BackupWindow; });
    Windows::registerWindow(QStringLiteral("frmOrder"), [] { return new OrderWindow; });
    Windows::registerWindow(QStringLiteral("frmSetup"), [] { return new SetupWindow; });
}
