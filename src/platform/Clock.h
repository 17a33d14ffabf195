#pragma once

#include <QDate>
#include <QDateTime>

// Today's date for the whole program. Tests fix it so that "today" is the
// same on every run.
namespace Clock {
QDate today();
// The moment now; noon UTC of the fixed day while today is fixed, so that
// what a test writes with it is the same on every run.
QDateTime now();
void setFixedToday(const QDate& date);
void clearFixedToday();
} // namespace Clock
