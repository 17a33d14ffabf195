#pragma once

#include "platform/PainterPrintTarget.h"

#include <QPrinter>

class QPrinterInfo;

// Prints on a printer of the system (through CUPS on Linux).
class PrinterPrintTarget : public PainterPrintTarget
{
public:
    PrinterPrintTarget(const QPrinterInfo& printer, const QString& title);
    ~PrinterPrintTarget() override;

protected:
    bool finish() override;

private:
    QPrinter m_printer;
};
