#include "appointments/DayListPrint.h"

#include "appointments/DaySheet.h"
#include "platform/PrintTarget.h"

namespace DayListPrint {

bool print(PrintTarget& t, const DaySheet& sheet)
{
    using P = PrintTarget;
    const int lastRow = sheet.rowCount();
    for (int i = 1; i <= sheet.providerCount(); ++i) {
        if (i > 1)
            t.newPage();
        // The top margin, in whatever font is in force.
        for (int n = 0; n < 8; ++n)
            t.printLine();
        t.setFontSize(14);
        t.setBold(true);
        t.printLine({P::blanks(9),
            P::text(QStringLiteral("Appointment Schedule:   ") + sheet.weekday + QStringLiteral(",  ") + sheet.date)});
        t.printLine();
        t.setFontSize(12);
        t.setBold(true);
        t.printLine(
            {P::blanks(10), P::text(QStringLiteral("Time")), P::blanks(5), P::text(sheet.providerNames[i - 1])});
        t.setFontSize(9);
        t.setBold(true);
        t.printLine();
        t.printLine({P::blanks(30), P::text(sheet.cell(1, i))});
        for (int r = 2; r <= lastRow - 1; ++r) {
            if (!t.ok())
                return false;
            t.printLine();
            t.printLine(
                {P::blanks(14), P::text(sheet.timeTexts.value(r - 2)), P::blanks(7), P::text(sheet.cell(r, i))});
        }
        t.printLine();
        t.printLine({P::blanks(30), P::text(sheet.cell(lastRow, i))});
        if (!t.ok())
            return false;
    }
    t.endDocument();
    return t.ok();
}

} // namespace DayListPrint
