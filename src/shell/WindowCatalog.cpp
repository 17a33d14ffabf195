#include "shell/WindowCatalog.h"

#include "appointments/ApptWindow.h"
#include "setup/SetupWindow.h"
#include "shell/Windows.h"

void registerProgramWindows()
{
    Windows::registerWindow(QStringLiteral("frmAppt"), [] { return new ApptWindow; });
    Windows::registerWindow(QStringLiteral("frmSetup"), [] { return new SetupWindow; });
}
