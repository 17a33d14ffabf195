#pragma once

class Database;

// Registers every window of the program with the window registry; the
// windows work on db, which outlives them.
void registerProgramWindows(Database& db);
