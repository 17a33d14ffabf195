#pragma once

#include <QStringList>

// `ledgerly find TEXT`: prints the appointments whose text holds TEXT, one
// line each in the find panel's order and form, without opening a window.
namespace FindCommand {
inline constexpr char Name[] = "find";

// arguments: what follows the command, joined by blanks into the text to
// find. Reads the database in the data folder and never creates one; 0 when
// the search ran (also when it found nothing), else a message on stderr.
int run(const QStringList& arguments);
} // namespace FindCommand
