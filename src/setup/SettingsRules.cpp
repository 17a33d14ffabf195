#include "setup/SettingsRules.h"

#include "core/DayLayout.h"

#include <QRegularExpression>
#include <algorithm>
#include <limits>

namespace SettingsRules {

namespace {
QString twoDigits(const QString& text)
{
    return QStringLiteral("%1").arg(leadingNumber(text), 2, 10, QLatin1Char('0'));
}

// A box holds a number when, after blanks and a sign, a digit follows.
bool holdsNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[-+]?\\d"));
    return number.match(text).hasMatch();
}

bool inRange(const QString& text, int low, int high)
{
    const int n = leadingNumber(text);
    return n >= low && n <= high;
}
} // namespace

QString composeTimeText(const QString& hour, const QString& minutes, const QString& ampm)
{
    return twoDigits(hour) + QLatin1Char(':') + twoDigits(minutes) + QLatin1Char(' ') + ampm;
}

TimeParts splitTimeText(const QString& stored)
{
    static const QRegularExpression wellFormed(QStringLiteral("^(\\d{1,2}):(\\d{1,2})\\s*([AaPp][Mm])?$"));
    const QRegularExpressionMatch m = wellFormed.match(stored);
    if (m.hasMatch())
        return {m.captured(1), m.captured(2), m.captured(3).toUpper()};
    return {stored.mid(0, 2), stored.mid(3, 2), stored.mid(6, 2)};
}

QString composeNames(const QStringList& namesAsTyped)
{
    QString out;
    for (const QString& name : namesAsTyped)
        out += QLatin1Char(' ') + name + QStringLiteral(" - ");
    return out;
}

int leadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    constexpr qint64 cap = qint64(std::numeric_limits<int>::max()) + 1;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = std::min(cap, value * 10 + (c.unicode() - '0'));
    }
    if (negative)
        return int(std::max(-value, qint64(std::numeric_limits<int>::min())));
    return int(std::min(value, qint64(std::numeric_limits<int>::max())));
}

Field check(const SetupInput& in)
{
    if (!holdsNumber(in.hourOpen) || !inRange(in.hourOpen, 0, 12))
        return Field::HourOpen;
    if (!holdsNumber(in.hourClose) || !inRange(in.hourClose, 0, 12))
        return Field::HourClose;
    if (!holdsNumber(in.minOpen) || !inRange(in.minOpen, 0, 59))
        return Field::MinOpen;
    if (!holdsNumber(in.minClose) || !inRange(in.minClose, 0, 59))
        return Field::MinClose;
    const std::optional<int> first
        = DayLayoutRules::parseTime(composeTimeText(in.hourOpen, in.minOpen, correctAmPm(in.ampmOpen, true)));
    const std::optional<int> last
        = DayLayoutRules::parseTime(composeTimeText(in.hourClose, in.minClose, correctAmPm(in.ampmClose, false)));
    if (!first || !last || *last < *first)
        return Field::HourClose;
    if (!inRange(in.slot, MinSlot, MaxSlot))
        return Field::Slot;
    if (!countAcceptable(leadingNumber(in.count)))
        return Field::Count;
    return Field::None;
}

QString refusalText(const SetupInput& in)
{
    switch (check(in)) {
    case Field::None:
        break;
    case Field::HourOpen:
        return QStringLiteral("The hour of the first appointment must be a number from 0 to 12.");
    case Field::HourClose:
        if (holdsNumber(in.hourClose) && inRange(in.hourClose, 0, 12))
            return QStringLiteral("The last appointment cannot be earlier than the first.");
        return QStringLiteral("The hour of the last appointment must be a number from 0 to 12.");
    case Field::MinOpen:
        return QStringLiteral("The minutes of the first appointment must be a number from 0 to 59.");
    case Field::MinClose:
        return QStringLiteral("The minutes of the last appointment must be a number from 0 to 59.");
    case Field::Slot:
        return QStringLiteral("The time for each appointment must be from %1 to %2 minutes.").arg(MinSlot).arg(MaxSlot);
    case Field::Count:
        return QStringLiteral("The number of service providers must be from %1 to %2.").arg(MinCount).arg(MaxCount);
    }
    return QString();
}

QString correctAmPm(const QString& text, bool isOpen)
{
    // Typed letters arrive in upper case; a pasted "pm" means the same.
    const QString half = text.trimmed().toUpper();
    if (half == QLatin1String("AM") || half == QLatin1String("PM"))
        return half;
    return isOpen ? QStringLiteral("AM") : QStringLiteral("PM");
}

bool nameAcceptable(const QString& name)
{
    return !name.contains(QLatin1Char('-'));
}

bool countAcceptable(int count)
{
    return count >= MinCount && count <= MaxCount;
}

} // namespace SettingsRules
