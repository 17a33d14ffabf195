#include "shell/WindowCatalog.h"

#include "appointments/ApptWindow.h"
#include "shell/Windows.h"

void registerProgramWindows()
{
    Windows::registerWindow(QStringLiteral("frmAppt"), [] { return new ApptWindow; });
}
