#pragma once

#include "store/Settings.h"
#include "store/StoreStatus.h"

class Database;

class SettingsStore {
public:
    explicit SettingsStore(Database& db) : m_db(db) {}

    StoreStatus read(Settings& out);
    // Writes location, open, close, timeslot, listno and names.
    StoreStatus writeLayout(const Settings& s);
    StoreStatus writeFixedMemo(const QString& text);

private:
    Database& m_db;
};
