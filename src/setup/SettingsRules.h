#pragma once

#include <QString>
#include <QStringList>

// The rules of the setup window without the window: how its boxes become the
// stored settings fields and which values it refuses.
namespace SettingsRules {

// "08:00 AM": hour, ":", minutes, a blank, the day half. Hour and minutes are
// always stored with two digits ("8" becomes "08"), because readers take the
// text apart by fixed positions. Call after check() has passed.
QString composeTimeText(const QString& hour, const QString& minutes, const QString& ampm);

struct TimeParts
{
    QString hour;
    QString minutes;
    QString ampm;
};

// The three boxes for a stored time text. "hh:mm AM" is taken apart by its
// fixed positions (1-2, 4-5, 7-8); a well-formed text of another shape
// ("8:00 AM", "05:00PM") is read by its parts so nothing lands shifted.
TimeParts splitTimeText(const QString& stored);

// The provider list as the setup window writes it: for each name one blank,
// the name as typed, then " - ". No names give the empty text.
QString composeNames(const QStringList& namesAsTyped);

// The leading whole number of a box text (leading blanks and a sign allowed);
// empty or non-numeric text is 0. Saturates instead of overflowing, so a huge
// number stays out of every range.
int leadingNumber(const QString& text);

struct SetupInput
{
    QString hourOpen;
    QString minOpen;
    QString hourClose;
    QString minClose;
    QString slot;
    QString count;
    QString ampmOpen; // as typed; corrected as correctAmPm() does
    QString ampmClose;
};

enum class Field { None, HourOpen, HourClose, MinOpen, MinClose, Slot, Count };

// The first box that fails, in the order the window checks them; None when
// all pass. An empty (or non-numeric) hour or minute box fails too: it would
// store ":00 AM", which no reader can take for a time. A last appointment
// earlier than the first fails at the last hour: it would leave every day
// one row long.
Field check(const SetupInput& input);
// Why check() refused the input, in one line for the person at the set-up;
// empty when it passes.
QString refusalText(const SetupInput& input);

inline constexpr int MinSlot = 10;
inline constexpr int MaxSlot = 240;
inline constexpr int MinCount = 1;
inline constexpr int MaxCount = 8;

// The AM/PM box made valid: anything but "AM" or "PM" (in any case, blanks
// around ignored) becomes "AM" for the first appointment and "PM" for the last.
QString correctAmPm(const QString& text, bool isOpen);

// A provider name may not hold "-": readers split the list at every hyphen,
// so it would become two providers and shift every later column.
bool nameAcceptable(const QString& name);

// The provider count the window accepts, also at Enter in the count box.
bool countAcceptable(int count);

} // namespace SettingsRules
