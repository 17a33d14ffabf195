#pragma once

#include "platform/Dialogs.h"

#include <QApplication>
#include <QLocale>

// The application of a benchmark that shows windows: the offscreen platform
// unless another is asked for, one locale for every figure, and no dialog
// waiting for an answer nobody gives (a failed save, say).
class BenchWindowsApp
{
public:
    BenchWindowsApp(int& argc, char** argv)
        : m_offscreen(chooseOffscreen())
        , m_app(argc, argv)
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Dialogs::setTestMode(true);
    }

private:
    static bool chooseOffscreen()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return true;
    }

    bool m_offscreen;
    QApplication m_app;
};
