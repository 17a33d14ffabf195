#pragma once

#include <QDate>
#include <QString>

// One tbl_Appt record: a day with content, plus the six layout settings copied
// from tbl_Setup when the record was created.
struct DayRecord
{
    qint64 id = 0;
    QDate calDate;
    bool closed = false;
    QString pageText;
    QString memo;
    QString location;
    QString open;
    QString close;
    int slotMinutes = 0;
    int providerCount = 0;
    QString names;
    // Bumped by every save; a save compares it to detect another copy's write.
    qint64 version = 0;
};
