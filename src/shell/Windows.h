#pragma once

#include "ui/WindowHost.h"

#include <QString>
#include <functional>

class QWidget;

// The program's windows. No window is modal; opening one that is already open
// raises it instead of making a second. The program lasts while any of its
// windows is open.
namespace Windows {
using Factory = std::function<QWidget*()>;

void registerWindow(Window window, Factory factory);
void unregisterAll();

// The object name a window is given when it does not set one itself.
QString defaultObjectName(Window window);

// Creates the window if it is not open, without showing it.
QWidget* load(Window window);
// Loads if needed, shows, raises and activates.
QWidget* open(Window window);
// The window when it is open, or nullptr.
QWidget* find(Window window);
bool isOpen(Window window);
// Closes the window; nothing happens when it is not open. The window's close
// handling runs, so the appointment window saves its day. The widget is
// deleted once control is back in the event loop (a window may close itself
// from its own handlers); it no longer counts as open from the moment it
// closed. Returns false when the window refused to close (a save it could not
// make).
bool close(Window window);
// Takes every window away at once without running any of its code: hidden
// now, deleted once control is back in the event loop.
void discardAll();
// Ends the program: closes every window (only what keeps data runs) and quits.
// False when the appointment window could not save its day and stays open.
bool endProgram();
// Tests replace the final quit so that the test program goes on.
void setQuitHandler(std::function<void()> handler);

// Set when the user accepted a back-up on the way out of the program.
bool exitAfterBackup();
void setExitAfterBackup(bool on);

// The registry as a window sees it: the functions above behind WindowHost.
WindowHost& host();
} // namespace Windows
