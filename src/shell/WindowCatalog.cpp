#include "shell/WindowCatalog.h"

#include "appointments/ApptWindow.h"
#include "maintenance/BackupWindow.h"
#include "shell/Windows.h"

void registerProgramWindows()
{
    Windows::registerWindow(QStringLiteral("frmAppt"), [] { return new ApptWindow; });
    Windows::registerWindow(QStringLiteral("frmBackup"), [] { return new BackupWindow; });
}
