#pragma once

#include <QString>

// The one tbl_Setup record.
struct Settings
{
    QString location;
    QString open; // time text, "08:00 AM"
    QString close; // time text, "05:00 PM"
    int slotMinutes = 30;
    int providerCount = 4;
    QString names;
    QString fixedMemo;
    QString readme;
    QString licence;

    // The defaults that Reset puts into the setup window and a new file gets.
    static Settings defaults();
    static QString defaultNames();
};
