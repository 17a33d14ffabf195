#include "core/CalendarMath.h"

#include <Qt>

namespace CalendarMath {

int firstLabelIndex(QDate anyDayOfMonth)
{
    // Qt counts Monday 1 .. Sunday 7, which is exactly the label of the 1st.
    return QDate(anyDayOfMonth.year(), anyDayOfMonth.month(), 1).dayOfWeek();
}

std::optional<CalendarPage> fill(QDate d)
{
    if (!d.isValid() || d < MinDate)
        return std::nullopt;
    const QDate first(d.year(), d.month(), 1);
    const int firstLabel = firstLabelIndex(first);
    CalendarPage page;
    for (int i = 0; i < LabelCount; ++i)
        page.dates[i] = first.addDays(i - firstLabel);
    page.selIndex = firstLabel + d.day() - 1;
    return page;
}

void scroll(Dates& dates, int k)
{
    if (k == 0)
        return;
    // Forwards the old last date lands k labels earlier; backwards the old
    // first date lands |k| labels later. The rest is refilled from there.
    const QDate anchor = k > 0 ? dates[LabelCount - 1] : dates[0];
    const int at = k > 0 ? LabelCount - 1 - k : -k;
    for (int i = 0; i < LabelCount; ++i)
        dates[i] = anchor.addDays(i - at);
}

std::optional<Key> keyFor(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Right:
        return Key::Right;
    case Qt::Key_Left:
        return Key::Left;
    case Qt::Key_Down:
        return Key::Down;
    case Qt::Key_Up:
        return Key::Up;
    case Qt::Key_PageDown:
        return Key::PageDown;
    case Qt::Key_PageUp:
        return Key::PageUp;
    default:
        return std::nullopt;
    }
}

Move moveSelection(Key key, const Dates& dates, int index)
{
    Move m;
    m.dates = dates;
    m.selIndex = index;
    if (index < 0 || index >= LabelCount)
        return m;

    const QDate current = dates[index];
    const bool forward = key == Key::Right || key == Key::Down || key == Key::PageDown;
    if (forward && current > ForwardLimit)
        return m;
    if (!forward && current < MinDate)
        return m;

    auto step = [&m](int to) {
        m.paintedWhite.append(m.selIndex);
        m.selIndex = to;
    };

    switch (key) {
    case Key::Right:
        if (index == LabelCount - 1) {
            step(LabelCount - RowLength);
            scroll(m.dates, RowLength);
        } else {
            step(index + 1);
        }
        break;
    case Key::Left:
        if (index == 0) {
            step(RowLength - 1);
            scroll(m.dates, -RowLength);
        } else {
            step(index - 1);
        }
        break;
    case Key::Down:
        if (index >= LabelCount - RowLength)
            scroll(m.dates, RowLength);
        else
            step(index + RowLength);
        break;
    case Key::Up:
        if (index < RowLength)
            scroll(m.dates, -RowLength);
        else
            step(index - RowLength);
        break;
    case Key::PageDown:
        scroll(m.dates, 4 * RowLength);
        break;
    case Key::PageUp:
        // Three weeks back, not four.
        scroll(m.dates, -3 * RowLength);
        break;
    }
    m.paintedGrey = m.selIndex;
    m.changed = true;
    return m;
}

QDate composeDate(int year, int month, int day)
{
    if (month < 1 || month > 12)
        return QDate();
    return QDate(year, month, 1).addDays(day - 1);
}

int monthListIndex(QDate d)
{
    return d.isValid() ? d.month() - 1 : -1;
}

int yearListIndex(QDate d)
{
    if (!d.isValid() || d.year() < FirstListYear || d.year() > LastListYear)
        return -1;
    return d.year() - FirstListYear;
}

QDate composeFromLists(int day, int monthIndex, int yearIndex)
{
    if (monthIndex < 0 || monthIndex > 11 || yearIndex < 0 || yearIndex > LastListYear - FirstListYear)
        return QDate();
    return composeDate(FirstListYear + yearIndex, monthIndex + 1, day);
}

} // namespace CalendarMath
