#pragma once

#include <QString>

// What a store operation came to. Busy means another copy of the program held
// the file for longer than the retry policy waits; Failed is anything else.
struct StoreStatus
{
    enum Code { Ok, Busy, Failed };
    Code code = Ok;
    QString message;

    bool ok() const { return code == Ok; }
    static StoreStatus success() { return {}; }
    static StoreStatus busy(const QString& why) { return {Busy, why}; }
    static StoreStatus failed(const QString& why) { return {Failed, why}; }
};
