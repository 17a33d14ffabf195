#pragma once

#include "appointments/DaySheet.h"

class DayGrid;
class QWidget;

namespace DayListPrinting {
// What the grid shows for the day on the page, as the lists print it.
DaySheet sheetFromGrid(const DayGrid& grid, const QDate& shownDay);

// Prints the lists on the default printer, or into appointments-<day>.pdf in
// the data folder when there is none, with the retry prompt on failure.
bool printDayLists(QWidget* parent, const DaySheet& sheet);
// The same through the print dialog with its preview, where there is a
// printer; without one, as printDayLists.
bool previewDayLists(QWidget* parent, const DaySheet& sheet);
} // namespace DayListPrinting
