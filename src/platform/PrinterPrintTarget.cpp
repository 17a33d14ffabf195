#include "platform/PrinterPrintTarget.h"

#include <QPrinterInfo>

PrinterPrintTarget::PrinterPrintTarget(const QPrinterInfo& printer, const QString& title)
    : m_ownPrinter(std::make_unique<QPrinter>(printer, QPrinter::HighResolution))
    , m_printer(m_ownPrinter.get())
{
    m_printer->setDocName(title);
    if (!m_printer->isValid()) {
        fail(QStringLiteral("The printer %1 is not available").arg(printer.printerName()));
        return;
    }
    begin(m_printer, QStringLiteral("The printer %1 cannot be used").arg(printer.printerName()));
}

PrinterPrintTarget::PrinterPrintTarget(QPrinter* printer)
    : m_printer(printer)
{
    begin(m_printer, QStringLiteral("The printer %1 cannot be used").arg(printer->printerName()));
}

PrinterPrintTarget::~PrinterPrintTarget()
{
    abandon();
}

bool PrinterPrintTarget::finish()
{
    if (m_printer->printerState() == QPrinter::Error) {
        fail(QStringLiteral("The printer %1 reported an error").arg(m_printer->printerName()));
        return false;
    }
    return true;
}
