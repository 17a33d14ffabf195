#pragma once

#include <QDate>
#include <QList>
#include <array>
#include <optional>

// Date arithmetic of the month calendar: 42 day labels in six rows of seven,
// Sunday first. Pure functions; the window paints what they return.
namespace CalendarMath {
inline constexpr int LabelCount = 42;
inline constexpr int RowLength = 7;

// The calendar fills nothing before this date; backward keys stop once the
// selection is earlier than it.
inline const QDate MinDate(1998, 1, 1);
// Forward keys stop once the selection is later than this date.
inline const QDate ForwardLimit(2039, 1, 1);
// The year list holds exactly these years.
inline constexpr int FirstListYear = 1997;
inline constexpr int LastListYear = 2038;

using Dates = std::array<QDate, LabelCount>;

// Label of the 1st of the month: Monday 1 .. Saturday 6, Sunday 7, so the
// first row always shows at least one day of the month before.
int firstLabelIndex(QDate anyDayOfMonth);

struct CalendarPage
{
    Dates dates;
    int selIndex = 0;
};

// The six weeks around d's month with d selected; nullopt for an invalid date
// or one before MinDate (the calendar then keeps what it shows).
std::optional<CalendarPage> fill(QDate d);

// Every label shows the date k days after the one it showed. The result is
// always 42 consecutive dates, anchored on the edge label the move leaves.
void scroll(Dates& dates, int k);

enum class Key { Right, Left, Down, Up, PageDown, PageUp };

// The calendar key for a Qt key code; nullopt for keys the calendar ignores.
std::optional<Key> keyFor(int qtKey);

struct Move
{
    Dates dates;
    int selIndex = 0;
    QList<int> paintedWhite; // labels to paint white, in order
    int paintedGrey = -1; // label to paint light grey last; -1 when nothing moved
    bool changed = false; // false when a limit (or a bad index) stopped the key
    QDate selectedDate() const { return selIndex >= 0 && selIndex < LabelCount ? dates[selIndex] : QDate(); }
};

// One key on the calendar: moves the selection, scrolling by weeks at the
// edges. The limits are tested on the selected date before the move.
Move moveSelection(Key key, const Dates& dates, int index);

// The date of year, month and day with calendar carry: day 31 of February is
// 3 March (2 March in a leap year). Invalid for a month outside 1..12.
QDate composeDate(int year, int month, int day);

// List positions for a date. The year list ends at 2038, but the forward keys
// can select days of January 2039: for a year the list does not hold the
// index is -1, so the list shows no item rather than a wrong year. The month
// list always follows the date.
int monthListIndex(QDate d);
int yearListIndex(QDate d);

// The date that a commit of the month and year lists asks for, from the
// selected label's day number and the two list indices; invalid when either
// list shows no item, so the calendar stays as it is.
QDate composeFromLists(int day, int monthIndex, int yearIndex);
} // namespace CalendarMath
