#pragma once

#include <QCommandLineOption>
#include <QStringList>

// `ledgerly print-day [YYYY-MM-DD] [--pdf FILE]`: prints a day's appointment
// lists without opening a window.
namespace PrintDayCommand {
inline constexpr char Name[] = "print-day";

QCommandLineOption pdfOption();

// arguments: what follows the command. Opens the database in the data
// folder; 0 on success, else a message on stderr and a non-zero code.
int run(const QStringList& arguments, const QString& pdfPath);
} // namespace PrintDayCommand
