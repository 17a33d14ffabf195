#include "platform/PrintJob.h"

#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/PdfPrintTarget.h"
#include "platform/PrinterPrintTarget.h"

#include <QDir>
#include <QPrinterInfo>
#include <memory>

namespace {
bool g_printerDisabled = false;
PrintJob::Printer g_printer;
} // namespace

namespace PrintJob {

bool hasPrinter()
{
    return g_printer || (!g_printerDisabled && !QPrinterInfo::defaultPrinter().isNull());
}

void setPrinterDisabled(bool disabled)
{
    g_printerDisabled = disabled;
}

void setPrinter(const Printer& printer)
{
    g_printer = printer;
}

Outcome run(const QString& title, const QString& pdfFileName, const Job& job, const QString& pdfPath)
{
    Outcome out;
    std::unique_ptr<PrintTarget> target;
    if (pdfPath.isEmpty() && hasPrinter()) {
        target = g_printer ? g_printer(title)
                           : std::make_unique<PrinterPrintTarget>(QPrinterInfo::defaultPrinter(), title);
    } else {
        out.pdfPath = pdfPath.isEmpty() ? QDir(DataFolder::path()).filePath(pdfFileName) : pdfPath;
        target = std::make_unique<PdfPrintTarget>(out.pdfPath, title);
    }
    out.ok = target->ok() && job(*target) && target->ok();
    if (!out.ok)
        out.message = target->errorString();
    return out;
}

QString writtenMessage(const QString& pdfPath)
{
    return QStringLiteral("No printer is set up, so the printout was written to %1")
        .arg(QDir::toNativeSeparators(pdfPath));
}

bool runInteractive(QWidget* parent, const QString& title, const QString& pdfFileName,
    const std::function<bool()>& prepare, const Job& job)
{
    bool prepared = true;
    QString pdfPath;
    const bool printed = Dialogs::retryUntilDone(parent, [&] {
        prepared = !prepare || prepare();
        // An abandoned preparation ends the printout without a question.
        if (!prepared)
            return Result::success();
        const Outcome outcome = run(title, pdfFileName, job);
        if (!outcome.ok)
            return Result::failed(outcome.message);
        pdfPath = outcome.pdfPath;
        return Result::success();
    });
    if (!printed || !prepared)
        return false;
    if (!pdfPath.isEmpty())
        Dialogs::inform(parent, writtenMessage(pdfPath));
    return true;
}

} // namespace PrintJob
