#pragma once

#include <QString>

// What an operation that can fail came to: Ok, or the reason it did not, in
// words for the person at the desk. Busy means another copy of the program
// held the database for longer than the retry policy waits; Failed is anything
// else. Every function that can fail returns one, and it is never dropped
// unread.
struct [[nodiscard]] Result
{
    enum Code { Ok, Busy, Failed };
    Code code = Ok;
    QString message;

    bool ok() const { return code == Ok; }
    static Result success() { return {}; }
    static Result busy(const QString& why) { return {Busy, why}; }
    static Result failed(const QString& why) { return {Failed, why}; }
};
