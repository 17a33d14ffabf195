#pragma once

#include <QDate>

// Today's date for the whole program. Tests fix it so that "today" is the
// same on every run.
namespace Clock {
QDate today();
void setFixedToday(const QDate& date);
void clearFixedToday();
} // namespace Clock
