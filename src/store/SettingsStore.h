#pragma once

#include "store/Settings.h"
#include "store/StoreStatus.h"

class Database;

class SettingsStore
{
public:
    explicit SettingsStore(Database& db)
        : m_db(db)
    {
    }

    StoreStatus read(Settings& out);
    // Writes location, open, close, timeslot, listno and names.
    StoreStatus writeLayout(const Settings& s);
    StoreStatus writeFixedMemo(const QString& text);
    // Stores mine as the fixed memo of a pad that was showing base. Another
    // copy's change since then is kept too, as PageText::mergeMemo keeps it;
    // stored receives what the file holds afterwards.
    StoreStatus saveFixedMemo(const QString& base, const QString& mine, QString& stored);
    // The fixed memo as stored, read once without waiting (Busy at once while
    // another copy holds the file).
    StoreStatus readFixedMemoOnce(QString& out);

private:
    Database& m_db;
};
