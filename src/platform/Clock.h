#pragma once

#include <QDate>
#include <QDateTime>

// Today's date and the time for the whole program. Tests fix them so that
// "today" and "now" are the same on every run.
namespace Clock {
QDate today();
void setFixedToday(const QDate& date);
void clearFixedToday();
// With a fixed moment, now() is that moment (and today() its date).
QDateTime now();
void setFixedNow(const QDateTime& moment);
} // namespace Clock
