#pragma once

#include "platform/Dialogs.h"
#include "shell/Windows.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace ShellTest {
// Takes away every window a test left behind and lets Qt delete them, so that
// the next test starts with none and the database can go.
inline void discardWindows()
{
    Windows::discardAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Windows::setExitAfterBackup(false);
    Dialogs::resetRecord();
}

// The program's windows that are on screen, by object name.
inline QStringList visibleWindows()
{
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            names << w->objectName();
    }
    names.sort();
    return names;
}

inline int instancesOf(const QString& name)
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == name && w->testAttribute(Qt::WA_DeleteOnClose))
            ++n;
    }
    return n;
}
} // namespace ShellTest
