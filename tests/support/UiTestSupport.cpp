#include "platform/Dialogs.h"

#include <QCoreApplication>

namespace {
// No real dialog may block a window test: answers come from the queue.
void dialogsInTestMode()
{
    Dialogs::setTestMode(true);
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(dialogsInTestMode)
