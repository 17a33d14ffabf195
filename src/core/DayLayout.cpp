#include "core/DayLayout.h"

#include "core/DayRecord.h"
#include "core/PageText.h"
#include "core/Settings.h"

#include <QLocale>
#include <QRegularExpression>

namespace DayLayoutRules {

QStringList splitNames(const QString& namesText)
{
    QStringList out {QString()};
    if (namesText.isEmpty())
        return out;
    qsizetype start = 0;
    for (;;) {
        const qsizetype dash = namesText.indexOf(QLatin1Char('-'), start);
        if (dash < 0) {
            out.append(namesText.mid(start));
            break;
        }
        out.append(namesText.mid(start, dash - start));
        start = dash + 1;
    }
    return out;
}

int providerColumnWidth(int columnCount)
{
    switch (columnCount) {
    case 2:
        return 7500;
    case 3:
        return 3700;
    case 4:
        return 2500;
    default:
        return 1880;
    }
}

std::optional<int> parseTime(const QString& text)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{1,2})\\s*:\\s*(\\d{1,2})\\s*([AaPp])?\\.?\\s*([Mm])?\\.?\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int hour = m.captured(1).toInt();
    const int minute = m.captured(2).toInt();
    if (minute > 59)
        return std::nullopt;
    const QString half = m.captured(3).toUpper();
    if (half.isEmpty()) {
        if (hour > 23)
            return std::nullopt;
        return hour * 60 + minute;
    }
    if (hour > 12)
        return std::nullopt;
    const int h = (hour % 12) + (half == QLatin1String("P") ? 12 : 0);
    return h * 60 + minute;
}

QString formatSlotTime(int minutes)
{
    const int m = ((minutes % 1440) + 1440) % 1440;
    const int h24 = m / 60;
    int h12 = h24 % 12;
    if (h12 == 0)
        h12 = 12;
    const QLocale locale;
    QString am = locale.amText();
    QString pm = locale.pmText();
    if (am.isEmpty())
        am = QStringLiteral("AM");
    if (pm.isEmpty())
        pm = QStringLiteral("PM");
    return QStringLiteral("%1:%2 %3")
        .arg(h12, 2, 10, QLatin1Char('0'))
        .arg(m % 60, 2, 10, QLatin1Char('0'))
        .arg(h24 < 12 ? am : pm);
}

QList<int> slotTimes(int firstMinutes, int lastMinutes, int slotMinutes)
{
    QList<int> out;
    if (slotMinutes <= 0)
        return out;
    int t = firstMinutes;
    out.append(t);
    while (t <= lastMinutes) {
        t += slotMinutes;
        out.append(t);
    }
    return out;
}

} // namespace DayLayoutRules

using namespace DayLayoutRules;

QString DayLayout::providerName(int column) const
{
    // Pieces beyond the provider count (the one after a trailing separator)
    // name no column.
    if (column >= 1 && column <= providerCount && column < providerNames.size())
        return providerNames[column];
    return QString();
}

bool DayLayout::operator==(const DayLayout& o) const
{
    return providerNames.mid(0, columnCount) == o.providerNames.mid(0, o.columnCount) && columnCount == o.columnCount
        && timeTexts == o.timeTexts;
}

DayLayout DayLayout::build(
    const QString& open, const QString& close, int slotMinutes, int providerCount, const QString& names)
{
    const Settings defaults = Settings::defaults();
    DayLayout l;
    std::optional<int> first = parseTime(open);
    std::optional<int> last = parseTime(close);
    l.damaged = !first || !last || *last < *first || slotMinutes < 10 || slotMinutes > 240 || providerCount < 1
        || providerCount > 8;
    if (!first || !last) {
        first = parseTime(defaults.open);
        last = parseTime(defaults.close);
        l.openTime = defaults.open;
        l.closeTime = defaults.close;
    } else {
        l.openTime = open;
        l.closeTime = close;
    }
    l.slotMinutes = (slotMinutes >= 10 && slotMinutes <= 240) ? slotMinutes : defaults.slotMinutes;
    l.providerCount = (providerCount >= 1 && providerCount <= 8) ? providerCount : defaults.providerCount;
    l.columnCount = l.providerCount + 1;
    l.namesText = names;
    l.providerNames = splitNames(names);

    l.columnWidths.append(TimeColumnWidth);
    for (int c = 1; c < l.columnCount; ++c)
        l.columnWidths.append(providerColumnWidth(l.columnCount));
    l.lastCol = l.columnCount - 1;

    l.timeMinutes = slotTimes(*first, *last, l.slotMinutes);
    for (int t : std::as_const(l.timeMinutes))
        l.timeTexts.append(formatSlotTime(t));
    // Row 0 header, row 1 blank, the time rows, then one blank row.
    l.lastRow = int(l.timeTexts.size()) + 2;
    l.emptyPageText = PageText::empty(l.pageRows(), l.pageColumns());
    return l;
}

DayLayout DayLayout::fromSettings(const Settings& s)
{
    return build(s.open, s.close, s.slotMinutes, s.providerCount, s.names);
}

DayLayout DayLayout::fromRecord(const DayRecord& r)
{
    return build(r.open, r.close, r.slotMinutes, r.providerCount, r.names);
}

DayLayout DayLayout::lengthened(int pageRows, int pageColumns) const
{
    DayLayout l = *this;
    if (pageColumns > l.lastCol) {
        l.providerCount = pageColumns;
        l.columnCount = pageColumns + 1;
        l.lastCol = pageColumns;
        l.columnWidths = {TimeColumnWidth};
        for (int c = 1; c < l.columnCount; ++c)
            l.columnWidths.append(providerColumnWidth(l.columnCount));
    }
    if (pageRows > l.lastRow) {
        // Rows 2 .. pageRows - 1 hold times; the last page row stays blank.
        while (l.timeMinutes.size() < pageRows - 2) {
            l.timeMinutes.append(l.timeMinutes.last() + l.slotMinutes);
            l.timeTexts.append(formatSlotTime(l.timeMinutes.last()));
        }
        l.lastRow = pageRows;
        // The last time but one is the last appointment time that gives
        // these rows again.
        if (l.timeMinutes.size() >= 2)
            l.closeTime = formatSlotTime(l.timeMinutes[l.timeMinutes.size() - 2]);
    }
    l.emptyPageText = PageText::empty(l.pageRows(), l.pageColumns());
    return l;
}
