#pragma once

#include "core/Result.h"
#include "core/Settings.h"

class Database;

class SettingsStore
{
public:
    explicit SettingsStore(Database& db)
        : m_db(db)
    {
    }

    Result read(Settings& out);
    // Writes location, open, close, timeslot, listno and names.
    Result writeLayout(const Settings& s);
    Result writeFixedMemo(const QString& text);
    // Stores mine as the fixed memo of a pad that was showing base. Another
    // copy's change since then is kept too, as PageText::mergeMemo keeps it;
    // stored receives what the file holds afterwards.
    Result saveFixedMemo(const QString& base, const QString& mine, QString& stored);
    // The fixed memo as stored, read once without waiting (Busy at once while
    // another copy holds the file).
    Result readFixedMemoOnce(QString& out);

private:
    Database& m_db;
};
