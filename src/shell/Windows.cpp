#include "shell/Windows.h"

#include <QApplication>
#include <QHash>
#include <QPointer>
#include <QWidget>

namespace {
QHash<QString, Windows::Factory>& factories()
{
    static QHash<QString, Windows::Factory> f;
    return f;
}

QHash<QString, QPointer<QWidget>>& openWindows()
{
    static QHash<QString, QPointer<QWidget>> w;
    return w;
}

std::function<void()>& quitHandler()
{
    static std::function<void()> h;
    return h;
}

bool g_exitAfterBackup = false;
} // namespace

namespace Windows {

void registerWindow(const QString& name, Factory factory)
{
    factories().insert(name, std::move(factory));
}

void unregisterAll()
{
    factories().clear();
}

QWidget* find(const QString& name)
{
    auto it = openWindows().find(name);
    if (it == openWindows().end())
        return nullptr;
    // A closed window loses WA_DeleteOnClose as Qt schedules its deletion; it
    // is gone for the program even while the deletion is still pending.
    if (it->isNull() || !(*it)->testAttribute(Qt::WA_DeleteOnClose)) {
        openWindows().erase(it);
        return nullptr;
    }
    return it->data();
}

bool isOpen(const QString& name)
{
    return find(name) != nullptr;
}

QWidget* load(const QString& name)
{
    if (QWidget* w = find(name))
        return w;
    auto it = factories().find(name);
    if (it == factories().end())
        return nullptr;
    QWidget* w = (*it)();
    if (!w)
        return nullptr;
    w->setAttribute(Qt::WA_DeleteOnClose);
    if (w->objectName().isEmpty())
        w->setObjectName(name);
    openWindows().insert(name, w);
    return w;
}

QWidget* open(const QString& name)
{
    QWidget* w = load(name);
    if (!w)
        return nullptr;
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

bool close(const QString& name)
{
    QWidget* w = find(name);
    if (!w)
        return true;
    // close() runs the window's close handling and, when it is accepted,
    // schedules the deletion: windows often close themselves from one of
    // their own event handlers, where deleting them at once is not safe.
    if (!w->close())
        return false;
    openWindows().remove(name);
    return true;
}

void discardAll()
{
    const QStringList names = openWindows().keys();
    for (const QString& name : names) {
        if (QWidget* w = find(name)) {
            w->setAttribute(Qt::WA_DeleteOnClose, false);
            w->hide();
            w->deleteLater();
        }
    }
    openWindows().clear();
}

bool endProgram()
{
    // The appointment window first: it saves the shown day as it closes, and
    // a save that failed and was not retried keeps the program running.
    if (!close(QStringLiteral("frmAppt")))
        return false;
    discardAll();
    if (quitHandler())
        quitHandler()();
    else
        QApplication::quit();
    return true;
}

void setQuitHandler(std::function<void()> handler)
{
    quitHandler() = std::move(handler);
}

bool exitAfterBackup()
{
    return g_exitAfterBackup;
}

void setExitAfterBackup(bool on)
{
    g_exitAfterBackup = on;
}

} // namespace Windows
