#include "shell/WindowCatalog.h"

#include "appointments/ApptWindow.h"
#include "shell/MenuWindow.h"
#include "shell/Placeholders.h"
#include "shell/ReadmeWindow.h"
#include "shell/SplashWindow.h"
#include "shell/Windows.h"

void registerProgramWindows()
{
    Windows::registerWindow(QStringLiteral("frmSplash"), [] { return new SplashWindow; });
    Windows::registerWindow(QStringLiteral("frmMenu"), [] { return new MenuWindow; });
    Windows::registerWindow(QStringLiteral("frmReadme"), [] { return new ReadmeWindow; });
    Windows::registerWindow(QStringLiteral("frmAppt"), [] { return new ApptWindow; });
    registerPlaceholderWindows();
}
