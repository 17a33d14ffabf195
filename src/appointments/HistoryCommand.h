#pragma once

#include <QStringList>

// `ledgerly history YYYY-MM-DD`: prints every stored change of a day, newest
// first, one line each as the history panel shows it, without opening a
// window.
namespace HistoryCommand {
inline constexpr char Name[] = "history";

// arguments: what follows the command, the date. Reads the database in the
// data folder and never creates or changes one; 0 when the history was read
// (also when it is empty), else a message on stderr and a non-zero code.
int run(const QStringList& arguments);
} // namespace HistoryCommand
