#include "appointments/CalendarExport.h"

#include "Version.h"
#include "core/DayPlacement.h"
#include "core/PageText.h"
#include "platform/Clock.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QSaveFile>
#include <libical/ical.h>
#include <memory>

namespace CalendarExport {
namespace {
constexpr int MinutesPerDay = 24 * 60;

using Component = std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)>;

// Stored text may hold control characters, which an iCalendar text cannot;
// each becomes a blank, except a line break, which libical escapes. The
// blanks around the pieces of a names text are left off, as on screen.
QByteArray calendarText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\n'))
            c = QLatin1Char(' ');
    }
    return text.trimmed().toUtf8();
}

icaltimetype dateTime(const QDate& date, const QTime& time, icaltimezone* zone)
{
    icaltimetype t = icaltime_null_time();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    t.hour = time.hour();
    t.minute = time.minute();
    t.zone = zone;
    return t;
}

icaltimetype dateOnly(const QDate& date)
{
    icaltimetype t = icaltime_null_date();
    t.year = date.year();
    t.month = date.month();
    t.day = date.day();
    return t;
}

// libical's definition of zone (from the system's time-zone data), or null
// for UTC under any of its names and for a zone libical does not know: the
// times are then written in UTC, the same moments without a VTIMEZONE.
icaltimezone* definitionOf(const QTimeZone& zone)
{
    if (!zone.hasDaylightTime() && zone.standardTimeOffset(QDateTime::currentDateTimeUtc()) == 0)
        return nullptr;
    const QByteArray id = zone.id();
    icaltimezone* found = id.isEmpty() ? nullptr : icaltimezone_get_builtin_timezone(id.constData());
    return found == icaltimezone_get_utc_timezone() ? nullptr : found;
}

// The start of a slot minutes after the day's midnight (a slot past midnight
// falls on the next date).
icaltimetype slotStart(const QDate& day, int minutes, const QTimeZone& zone, icaltimezone* definition)
{
    const QDate date = day.addDays(minutes / MinutesPerDay);
    const QTime time(minutes % MinutesPerDay / 60, minutes % 60);
    if (definition)
        return dateTime(date, time, definition);
    const QDateTime utc = QDateTime(date, time, zone).toUTC();
    return dateTime(utc.date(), utc.time(), icaltimezone_get_utc_timezone());
}

// Made of what names the slot to the person at the desk, never of its row
// on the page: a day shown with another slot length or more providers keeps
// the UIDs of the slots it still has.
QByteArray slotUid(const QDate& day, int minutes, int column)
{
    return QStringLiteral("%1T%2%3-%4@ledgerly")
        .arg(day.toString(QStringLiteral("yyyyMMdd")))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'))
        .arg(column)
        .toUtf8();
}

void addText(icalcomponent* event, icalproperty* (*make)(const char*), const QString& text)
{
    if (!text.trimmed().isEmpty())
        icalcomponent_add_property(event, make(calendarText(text).constData()));
}

icalcomponent* newEvent(const QByteArray& uid, const icaltimetype& stamp)
{
    icalcomponent* event = icalcomponent_new_vevent();
    icalcomponent_add_property(event, icalproperty_new_uid(uid.constData()));
    icalcomponent_add_property(event, icalproperty_new_dtstamp(stamp));
    return event;
}

// What a calendar program calls the calendar: the chosen provider's name,
// or the practice's location for every provider's slots.
QString calendarName(const ProviderChoice& choice, const Settings& current)
{
    if (choice.column != 0)
        return DayLayout::fromSettings(current).providerName(choice.column);
    return choice.everyProvider() ? current.location : choice.name.trimmed();
}

bool providerOnDay(const DayLayout& layout, const ProviderChoice& choice)
{
    for (int c = 1; c <= layout.pageColumns(); ++c) {
        if (choice.matches(c, layout.providerName(c)))
            return true;
    }
    return false;
}
} // namespace

ProviderChoice ProviderChoice::fromText(const QString& text)
{
    bool number = false;
    const int column = text.trimmed().toInt(&number);
    if (number && column >= 1 && column <= 8)
        return {column, QString()};
    return {0, text};
}

bool ProviderChoice::matches(int providerColumn, const QString& providerName) const
{
    if (column != 0)
        return providerColumn == column;
    return everyProvider() || providerName.trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0;
}

Calendar build(const QList<DayRecord>& days, const Settings& current, const QDate& today, const Request& request)
{
    Calendar out;
    const Component calendar(icalcomponent_new_vcalendar(), &icalcomponent_free);
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(
        calendar.get(), icalproperty_new_prodid("-//Ledgerly//Ledgerly " LEDGERLY_VERSION "//EN"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_calscale("GREGORIAN"));
    if (const QString name = calendarName(request.provider, current); !name.trimmed().isEmpty()) {
        icalproperty* property = icalproperty_new_x(calendarText(name).constData());
        icalproperty_set_x_name(property, "X-WR-CALNAME");
        icalcomponent_add_property(calendar.get(), property);
    }

    icaltimezone* definition = definitionOf(request.zone);
    if (definition) {
        // The zone's rules from the day before the first exported one on;
        // its history before then would only make the file longer.
        icalcomponent* zone = icalcomponent_new_clone(icaltimezone_get_component(definition));
        icaltimetype from = dateTime(request.first.addDays(-1), QTime(0, 0), icaltimezone_get_utc_timezone());
        icaltimezone_truncate_vtimezone(zone, from, icaltime_null_time(), 0);
        icalcomponent_add_component(calendar.get(), zone);
    }
    const icaltimetype stamp
        = icaltime_from_timet_with_zone(time_t(request.stamp.toSecsSinceEpoch()), 0, icaltimezone_get_utc_timezone());

    out.providerKnown
        = request.provider.everyProvider() || providerOnDay(DayLayout::fromSettings(current), request.provider);
    for (const DayRecord& record : days) {
        if (record.calDate < request.first || record.calDate > request.last)
            continue;
        const DayPlacement::Placement placed = DayPlacement::place(record.calDate, today, record, current);
        const DayLayout& layout = placed.layout;
        out.providerKnown = out.providerKnown || providerOnDay(layout, request.provider);
        if (record.closed) {
            icalcomponent* event = newEvent(
                QStringLiteral("%1-closed@ledgerly").arg(record.calDate.toString(QStringLiteral("yyyyMMdd"))).toUtf8(),
                stamp);
            icalcomponent_set_dtstart(event, dateOnly(record.calDate));
            icalcomponent_set_dtend(event, dateOnly(record.calDate.addDays(1)));
            icalcomponent_set_summary(event, "Closed");
            addText(event, icalproperty_new_location, record.location);
            icalcomponent_add_component(calendar.get(), event);
            ++out.events;
            continue;
        }
        const PageText::Cells cells = PageText::fit(placed.pageText, layout.pageRows(), layout.pageColumns());
        // Rows 2 .. lastRow - 1 have a time; the blank first and last rows none.
        for (int row = 2; row < layout.lastRow; ++row) {
            const int minutes = layout.timeMinutes[row - 2];
            for (int column = 1; column <= layout.pageColumns(); ++column) {
                const QString& text = cells[row - 1][column - 1];
                const QString provider = layout.providerName(column);
                if (text.trimmed().isEmpty() || !request.provider.matches(column, provider))
                    continue;
                icalcomponent* event = newEvent(slotUid(record.calDate, minutes, column), stamp);
                icalcomponent_set_dtstart(event, slotStart(record.calDate, minutes, request.zone, definition));
                icalcomponent_set_duration(event, icaldurationtype_from_int(layout.slotMinutes * 60));
                icalcomponent_set_summary(event, calendarText(text).constData());
                addText(event, icalproperty_new_description, provider);
                addText(event, icalproperty_new_location, record.location);
                icalcomponent_add_component(calendar.get(), event);
                ++out.events;
            }
        }
    }
    char* text = icalcomponent_as_ical_string_r(calendar.get());
    out.text = QByteArray(text);
    icalmemory_free_buffer(text);
    return out;
}

Result read(Database& db, const Request& request, Calendar& out)
{
    Settings settings;
    Result st = SettingsStore(db).read(settings);
    if (!st.ok())
        return st;
    QList<DayRecord> days;
    st = DayStore(db).readBetween(request.first, request.last, days);
    if (!st.ok())
        return st;
    out = build(days, settings, Clock::today(), request);
    return Result::success();
}

Result write(const QByteArray& text, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return Result::failed(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    return Result::success();
}

} // namespace CalendarExport
