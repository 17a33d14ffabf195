#pragma once

#include "core/DayLayout.h"
#include "core/DayRecord.h"

#include <QDate>
#include <QString>
#include <optional>

struct Settings;

// Where a day's stored text goes on its page. A change of the practice's
// times, slot length or providers never drops or moves a booking: a page
// takes a new layout only when every text on it finds its own time and
// provider column there, and otherwise keeps the layout it was stored in.
// The window, printing and find all lay a day out through place().
namespace DayPlacement {

// The layout a record's page text was stored in: its copied settings when the
// text has their shape; else `alternative` when the text has that one's shape
// (a page stored under newer settings whose copies were never updated);
// else the copied settings lengthened and widened to hold all of the text.
DayLayout storedLayout(const DayRecord& record, const DayLayout& alternative);

// True when text is a whole page of layout: its rows and cells, no more, no
// fewer.
bool isLaidOutIn(const QString& text, const DayLayout& layout);

// The page row of layout `to` with the time of page row `row` of layout
// `from` (the blank first and last rows to themselves); 0 when it has none.
int rowFor(int row, const DayLayout& from, const DayLayout& to);

// A page text of layout `from` in layout `to`: rows matched by their time
// (the blank first and last rows to themselves), cells by provider column.
// nullopt when a non-empty cell would find no place.
std::optional<QString> movePage(const QString& text, const DayLayout& from, const DayLayout& to);

struct Placement
{
    DayLayout layout;
    QString pageText; // the record's text placed in layout
    bool fromRecord = false; // the layout is not the current settings' one
};

// The layout date is shown in, and its text placed there. A past day keeps
// its own copied layout; today and later days take the current settings'
// layout when all of their text finds its place there. A damaged layout is
// never used to cut a page: the text keeps a layout that holds all of it.
Placement place(const QDate& date, const QDate& today, const std::optional<DayRecord>& record, const Settings& current);

// How many booked days of today or later keep a layout other than the
// current settings' one, because their text would not all find its place.
int daysKeepingTheirLayout(const QList<DayRecord>& days, const QDate& today, const Settings& current);

// The record's six copied settings set to describe layout, so that a page
// stored in that layout and its copies agree.
void describeLayout(DayRecord& record, const DayLayout& layout);

// The record with its page text in layout and its copies describing it,
// when all of the text finds its place there; else the record unchanged.
DayRecord inLayout(const DayRecord& record, const DayLayout& layout);

// Brings the three versions of a day a save merges into one layout: the
// desk's own (base as read and edited, which share it), or the stored one's
// when the stored text has no place in the desk's layout.
void alignLayouts(DayRecord& base, DayRecord& edited, DayRecord& stored);

// The layout a record's own page (as a desk stores it, text and copies
// agreeing) is laid out in.
DayLayout layoutOf(const DayRecord& record);

} // namespace DayPlacement
