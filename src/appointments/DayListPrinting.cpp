#include "appointments/DayListPrinting.h"

#include "appointments/DayGrid.h"
#include "appointments/DayListPrint.h"
#include "platform/PrintJob.h"

namespace DayListPrinting {

DaySheet sheetFromGrid(const DayGrid& grid, const QDate& shownDay)
{
    DaySheet sheet = DaySheet::forDay(shownDay);
    const int lastRow = grid.rowCountGrid() - 1;
    const int lastCol = grid.columnCountGrid() - 1;
    for (int c = 1; c <= lastCol; ++c)
        sheet.providerNames.append(grid.cellText(0, c));
    for (int r = 2; r <= lastRow - 1; ++r)
        sheet.timeTexts.append(grid.cellText(r, 0));
    for (int r = 1; r <= lastRow; ++r) {
        QStringList row;
        for (int c = 1; c <= lastCol; ++c)
            row.append(grid.cellText(r, c));
        sheet.cells.append(row);
    }
    return sheet;
}

namespace {
QString titleOf(const DaySheet& sheet)
{
    return QStringLiteral("Appointments %1").arg(sheet.day.toString(Qt::ISODate));
}
} // namespace

bool printDayLists(QWidget* parent, const DaySheet& sheet)
{
    return PrintJob::runInteractive(parent, titleOf(sheet), DaySheet::pdfFileName(sheet.day), {},
        [&](PrintTarget& t) { return DayListPrint::print(t, sheet); });
}

bool previewDayLists(QWidget* parent, const DaySheet& sheet)
{
    return PrintJob::runWithPreview(parent, titleOf(sheet), DaySheet::pdfFileName(sheet.day),
        [&](PrintTarget& t) { return DayListPrint::print(t, sheet); });
}

} // namespace DayListPrinting
