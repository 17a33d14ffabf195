#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QStringList>

// `ledgerly export-ics [--provider NAME|NUMBER] [--from DATE] [--to DATE]
// [--out FILE]`: writes the booked slots of a range of days as an iCalendar
// file that calendar programs and phones import or subscribe to.
namespace ExportIcsCommand {
inline constexpr char Name[] = "export-ics";

// --provider, --from, --to and --out, for the program's parser.
QList<QCommandLineOption> options();

// arguments: what follows the command (nothing); the options are read from
// parser. Only reads the database; 0 on success, else a message on stderr
// and a non-zero code.
int run(const QStringList& arguments, const QCommandLineParser& parser);
} // namespace ExportIcsCommand
