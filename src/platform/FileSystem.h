#pragma once

#include "core/Result.h"

#include <QString>
#include <functional>

// The few file operations whose failure must leave a file either old or new,
// never half-written: flushing to the medium and replacing one file by another
// in a single step. Each fails with the reason, in words for the person at
// the desk.
namespace FileSystem {
// Creates a new, empty file with a unique name in folder and sets path to it.
// The name tells which machine and process made it, so that one left behind
// by a process that was killed can be told from one still being written.
Result createTemporary(const QString& folder, QString& path);
// Removes the temporary files (and their journals) that processes which no
// longer run left in folder: those of this machine whose process is gone, and
// any other older than a day. Returns how many it removed.
int removeAbandonedTemporaries(const QString& folder);
// Writes the file's data through to the medium (fsync).
Result flush(const QString& path);
// Makes a rename or a new file in the folder durable (fsync of the folder).
Result flushFolder(const QString& folder);
// Puts from in place of to in one step (rename(2)); an existing to is
// replaced, and a reader sees either the old file or the new one.
Result replace(const QString& from, const QString& to);

// Gives the file existing a second name, newPath, on the same medium (a hard
// link): the data stays where it is whatever later happens to existing's name.
Result link(const QString& existing, const QString& newPath);

// Ok when folder is a folder this process can enter, else why not ("The
// folder ... cannot be found", "... cannot be entered: ...").
Result checkFolder(const QString& folder);

// The reason a file operation failed, in words for the person at the desk:
// what was being done (e.g. "Cannot write the copy in /media/stick") and why
// ("the disk is full", "the folder cannot be written", ...).
QString describeFailure(const QString& what, int error);

// Test seam: when set, asked before each operation ("create", "flush",
// "flushFolder", "replace", "link") with the path it acts on (the folder of a
// create, the new name of a replace or link); an answer that is not Ok fails
// that operation with it.
using FailureHook = std::function<Result(const QString& operation, const QString& path)>;
void setFailureHook(FailureHook hook);
} // namespace FileSystem
