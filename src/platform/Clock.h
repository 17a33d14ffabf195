#pragma once

#include <QDate>
#include <QDateTime>

// Today's date and the time for the whole program. Tests fix them so that
// "today" and "now" are the same on every run.
namespace Clock {
QDate today();
// The moment now: the fixed moment if one is set, else noon UTC of the fixed
// day while today is fixed, so that what a test writes with it is the same on
// every run.
QDateTime now();
void setFixedToday(const QDate& date);
// Fixes now() at moment and today() at its date.
void setFixedNow(const QDateTime& moment);
void clearFixedToday();
} // namespace Clock
