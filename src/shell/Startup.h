#pragma once

#include "core/Result.h"

class Database;
class QString;

// The whole of main(): command line, data folder, database, first window.
int runLedgerly(int argc, char** argv);

// Opens the program's database for its windows. Bringing one of an earlier
// version up to date can take a while on a long history: a progress window
// shows meanwhile should it take more than a moment.
Result openDatabaseShowingProgress(Database& db, const QString& address);
