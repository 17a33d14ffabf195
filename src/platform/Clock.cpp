#include "platform/Clock.h"

namespace {
QDate g_fixed;
}

namespace Clock {
QDate today()
{
    return g_fixed.isValid() ? g_fixed : QDate::currentDate();
}

void setFixedToday(const QDate& date)
{
    g_fixed = date;
}

void clearFixedToday()
{
    g_fixed = QDate();
}
} // namespace Clock
