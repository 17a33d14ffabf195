#pragma once

#include "core/Result.h"

#include <QString>

class RetryPolicy;
struct sqlite3;

// Copies of a whole database file that stay consistent while other copies of
// the program write it, and the write lock a restore holds while it puts
// another file in its place. When another copy holds the file for longer than
// the retry policy waits, the failure is Busy.
namespace DatabaseFileCopy {

// How the source is opened: the live file for writing, so that the copy's
// read transaction can roll back what a writer that died left; a back-up
// medium, which may be read-only, for reading only.
enum class Source { ReadOnly, ReadWrite };

// Copies the database at source into target, an existing empty file. The
// bytes are copied while a read transaction keeps other copies of the program
// from writing the source.
Result copy(const QString& source, Source access, const QString& target, RetryPolicy& policy);

// The write lock of a database file, held from take() until release() or the
// end of the lock: no other copy of the program is then half-way through a
// write to the file, or starts one.
class WriteLock
{
public:
    WriteLock();
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    // Busy when another copy holds the file for longer than policy waits. A
    // file too damaged to lock is no failure: replacing it is what a restore
    // is for, so it goes on without the lock.
    Result take(const QString& path, RetryPolicy& policy);
    void release();

private:
    sqlite3* m_db = nullptr;
};

} // namespace DatabaseFileCopy
