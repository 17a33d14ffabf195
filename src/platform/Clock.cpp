#include "platform/Clock.h"

namespace {
QDate g_fixed;
}

namespace Clock {
QDate today()
{
    return g_fixed.isValid() ? g_fixed : QDate::currentDate();
}

QDateTime now()
{
    return g_fixed.isValid() ? QDateTime(g_fixed, QTime(12, 0), Qt::UTC) : QDateTime::currentDateTimeUtc();
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
