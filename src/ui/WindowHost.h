#pragma once

// Every window of the program.
enum class Window { Splash, Menu, Appointments, Setup, Backup, Order, Readme };

// What a window may ask of the program's window registry: the one way a
// window opens, closes or ends others. The shell implements it; a window
// receives it in its constructor and never names the shell.
class WindowHost
{
public:
    virtual ~WindowHost() = default;
    // Shows the window, raising it when open. False when it could not open
    // (the appointment window could not read its day).
    virtual bool open(Window window) = 0;
    // Closes the window when open. False when it refused to close (a save it
    // could not make).
    virtual bool close(Window window) = 0;
    // Ends the program: closes every window and quits. False when the
    // appointment window could not save its day and stays open.
    virtual bool endProgram() = 0;
    // True when the user accepted a back-up on the way out of the program.
    virtual bool exitAfterBackup() const = 0;
    virtual void setExitAfterBackup(bool on) = 0;
};
