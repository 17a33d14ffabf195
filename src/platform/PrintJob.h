#pragma once

#include <QString>
#include <functional>
#include <memory>

class PrintTarget;
class QWidget;

// Where a printout goes: the system's default printer, or, when none is set
// up, a PDF file in the data folder.
namespace PrintJob {
using Job = std::function<bool(PrintTarget&)>;

struct Outcome
{
    bool ok = false;
    QString message; // why it failed
    QString pdfPath; // the PDF written; empty when it went to a printer
};

bool hasPrinter();
// Tests keep every printout in PDF files, whatever the machine has.
void setPrinterDisabled(bool disabled);
// Tests give the machine a printer of their own: while set, it stands in for
// the default printer and makes the target of every printout sent to it.
using Printer = std::function<std::unique_ptr<PrintTarget>(const QString& title)>;
void setPrinter(const Printer& printer);

// The desktop's print dialog with a preview of a printout: it runs paint for
// the pages it shows and again for the printer's when the user prints from
// it. False when it was closed without printing.
using Preview = std::function<bool(const Job& paint)>;
// Tests answer the dialog: while set, it stands in for the desktop's.
void setPreview(const Preview& preview);

// Runs job once on the default printer, or into pdfFileName in the data
// folder when there is none. A non-empty pdfPath always writes that file.
Outcome run(const QString& title, const QString& pdfFileName, const Job& job, const QString& pdfPath = QString());

// The printout as a window runs it: prepare (may be empty; false abandons),
// then job; a failure asks "<reason>. Retry?" and Yes starts again with
// prepare. A PDF written instead of printing is announced. False when the
// printout was abandoned.
bool runInteractive(QWidget* parent, const QString& title, const QString& pdfFileName,
    const std::function<bool()>& prepare, const Job& job);

// The printout with the print dialog first, where there is a printer; a
// failure of the printer asks "<reason>. Retry?" and Yes opens the dialog
// again. Without a printer, as runInteractive. False when not printed.
bool runWithPreview(QWidget* parent, const QString& title, const QString& pdfFileName, const Job& job);

QString writtenMessage(const QString& pdfPath);
} // namespace PrintJob
