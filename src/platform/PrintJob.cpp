#include "platform/PrintJob.h"

#include "platform/DataFolder.h"
#include "platform/Dialogs.h"
#include "platform/PdfPrintTarget.h"
#include "platform/PrinterPrintTarget.h"

#include <QDir>
#include <QPrintPreviewDialog>
#include <QPrinterInfo>
#include <memory>

namespace {
bool g_printerDisabled = false;
PrintJob::Printer g_printer;
PrintJob::Preview g_preview;

bool showPreview(QWidget* parent, const QString& title, const PrintJob::Job& paint)
{
    // A test never blocks on a real dialog: unanswered, it is closed.
    if (Dialogs::testMode())
        return false;
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    printer.setDocName(title);
    QPrintPreviewDialog dialog(&printer, parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* device) {
        PrinterPrintTarget target(device);
        paint(target);
    });
    return dialog.exec() == QDialog::Accepted;
}
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

void setPreview(const Preview& preview)
{
    g_preview = preview;
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

bool runWithPreview(QWidget* parent, const QString& title, const QString& pdfFileName, const Job& job)
{
    if (!hasPrinter())
        return runInteractive(parent, title, pdfFileName, {}, job);
    bool printed = false;
    const bool done = Dialogs::retryUntilDone(parent, [&] {
        // The dialog paints for its preview and for the printer; the last
        // painting is the printer's when the user printed.
        QString failure;
        const Job paint = [&](PrintTarget& target) {
            const bool ok = job(target) && target.ok();
            failure = ok ? QString() : target.errorString();
            return ok;
        };
        printed = g_preview ? g_preview(paint) : showPreview(parent, title, paint);
        return printed && !failure.isEmpty() ? Result::failed(failure) : Result::success();
    });
    return done && printed;
}

} // namespace PrintJob
