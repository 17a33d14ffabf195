#pragma once

#include "platform/PainterPrintTarget.h"

#include <QPrinter>
#include <memory>

class QPrinterInfo;

// Prints on a printer of the system (through CUPS on Linux).
class PrinterPrintTarget : public PainterPrintTarget
{
public:
    PrinterPrintTarget(const QPrinterInfo& printer, const QString& title);
    // Paints on a printer set up elsewhere (the print preview's), which
    // outlives the target.
    explicit PrinterPrintTarget(QPrinter* printer);
    ~PrinterPrintTarget() override;

protected:
    bool finish() override;

private:
    std::unique_ptr<QPrinter> m_ownPrinter;
    QPrinter* m_printer = nullptr;
};
