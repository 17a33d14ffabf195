#include "appointments/DaySheetReader.h"

#include "core/DayPlacement.h"
#include "core/PageText.h"
#include "platform/Clock.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

namespace DaySheetReader {

Result read(Database& db, const QDate& date, DaySheet& out)
{
    Settings settings;
    Result st = SettingsStore(db).read(settings);
    if (!st.ok())
        return st;
    std::optional<DayRecord> record;
    st = DayStore(db).find(date, record);
    if (!st.ok())
        return st;

    const DayPlacement::Placement placed = DayPlacement::place(date, Clock::today(), record, settings);
    const DayLayout& layout = placed.layout;
    DaySheet sheet = DaySheet::forDay(date);
    for (int c = 1; c <= layout.lastCol; ++c)
        sheet.providerNames.append(layout.providerName(c));
    sheet.timeTexts = layout.timeTexts;
    sheet.cells = PageText::fit(placed.pageText, layout.pageRows(), layout.pageColumns());
    out = sheet;
    return Result::success();
}

} // namespace DaySheetReader
