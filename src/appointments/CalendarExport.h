#pragma once

#include "core/DayRecord.h"
#include "core/Result.h"
#include "core/Settings.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QTimeZone>

class Database;

// The booked slots of a range of days as an iCalendar file (RFC 5545), built
// and written by libical, for the providers' own calendar programs and phones.
// Each day is laid out as the appointment window shows it (DayPlacement), so
// a slot's time and length are that day's own.
namespace CalendarExport {

// The provider columns an export holds: one by its number, or those of a
// name on each day (the names may move between columns from day to day), or
// every provider.
struct ProviderChoice
{
    int column = 0; // 1 .. 8, or 0
    QString name; // when column is 0; empty: every provider

    // "2" is the second provider; any other text a name, matched without
    // regard to case or surrounding blanks.
    static ProviderChoice fromText(const QString& text);
    bool everyProvider() const { return column == 0 && name.trimmed().isEmpty(); }
    bool matches(int providerColumn, const QString& providerName) const;
};

struct Request
{
    QDate first; // the first and last day exported, both included
    QDate last;
    ProviderChoice provider;
    QTimeZone zone = QTimeZone::systemTimeZone(); // where the slot times are
    QDateTime stamp; // when the calendar was made (DTSTAMP)
};

struct Calendar
{
    QByteArray text; // the iCalendar file, UTF-8 with CRLF line ends
    int events = 0;
    // False when the chosen provider names no column on any exported day nor
    // in the current settings (a misspelt name rather than a free provider).
    bool providerKnown = true;
};

// One event per booked slot of days (those outside the request's range are
// left out): it starts at the slot's time in the request's zone (with that
// zone's VTIMEZONE) and lasts the day's slot length; its summary is the slot's
// text, its description the provider's name and its location the day's.
// A closed day is one all-day event "Closed" instead. The UID is made of the
// date, the provider column and the slot's time, so exporting again after an
// edit or a change of slot length updates the same events.
Calendar build(const QList<DayRecord>& days, const Settings& current, const QDate& today, const Request& request);

// The same from the day records and settings in db (only reads).
Result read(Database& db, const Request& request, Calendar& out);

// Writes text into path in one step: a reader sees the old file or the new
// one, never a part.
Result write(const QByteArray& text, const QString& path);

} // namespace CalendarExport
