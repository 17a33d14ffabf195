#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct DayRecord;
struct Settings;

// The grid layout of one day page: provider columns and time rows, computed
// from the six layout settings (the current ones, or a day record's copies).
struct DayLayout
{
    QString openTime;
    QString closeTime;
    int slotMinutes = 30;
    int providerCount = 4;
    int columnCount = 5; // providers + 1
    QString namesText;
    QStringList providerNames; // index 0 is empty; 1..n the pieces of namesText

    QList<int> columnWidths; // twips, column 0 first
    QStringList timeTexts; // column 0 of rows 2 .. lastRow - 1
    QList<int> timeMinutes; // the same times in minutes from the first day's midnight
    int lastRow = 0; // rows are 0 .. lastRow
    int lastCol = 0; // columns are 0 .. lastCol
    QString emptyPageText;
    // Built with a fallback for a value that cannot be used (an unreadable
    // time, a slot length or provider count out of range) or with the last
    // time before the first: never a layout to cut a stored page down to.
    bool damaged = false;

    int pageRows() const { return lastRow; } // rows 1 .. lastRow
    int pageColumns() const { return lastCol; } // columns 1 .. lastCol
    int rowCount() const { return lastRow + 1; }
    // Provider name for grid column c (1-based); empty when the names text has
    // no piece for it or the column is not a provider column.
    QString providerName(int column) const;

    bool operator==(const DayLayout& other) const;

    // Builds the layout. A time text that cannot be read, a slot length
    // outside 10..240 or a provider count outside 1..8 falls back to the
    // defaults, so a damaged record never crashes or loops.
    static DayLayout build(
        const QString& open, const QString& close, int slotMinutes, int providerCount, const QString& names);
    static DayLayout fromSettings(const Settings& s);
    static DayLayout fromRecord(const DayRecord& r);

    // The same layout with more time rows (continuing in steps of the slot
    // length) and more provider columns where a page of pageRows x
    // pageColumns needs them; never fewer.
    DayLayout lengthened(int pageRows, int pageColumns) const;
};

namespace DayLayoutRules {
// Pieces of a names text split at "-", untrimmed; element 0 is empty.
QStringList splitNames(const QString& namesText);

// Provider column width in twips for a grid of columnCount columns.
int providerColumnWidth(int columnCount);
inline constexpr int TimeColumnWidth = 1100;

// Minutes from midnight of a time text such as "08:00 AM", "08:00AM",
// "8:00 am" or "17:30"; nullopt when it cannot be read.
std::optional<int> parseTime(const QString& text);

// "hh:mm AM" on the 12-hour clock; minutes past midnight wrap to the next day.
QString formatSlotTime(int minutes);

// The slot times: the first time, then one more for every slot time not later
// than the last time, so the list ends with the first time past it.
QList<int> slotTimes(int firstMinutes, int lastMinutes, int slotMinutes);
} // namespace DayLayoutRules
