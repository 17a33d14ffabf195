#include "platform/Clock.h"

namespace {
QDate g_fixed;
QDateTime g_fixedNow;
} // namespace

namespace Clock {
QDate today()
{
    return g_fixed.isValid() ? g_fixed : QDate::currentDate();
}

void setFixedToday(const QDate& date)
{
    g_fixed = date;
    g_fixedNow = QDateTime();
}

void clearFixedToday()
{
    g_fixed = QDate();
    g_fixedNow = QDateTime();
}

QDateTime now()
{
    if (g_fixedNow.isValid())
        return g_fixedNow;
    return g_fixed.isValid() ? QDateTime(g_fixed, QTime(12, 0), Qt::UTC) : QDateTime::currentDateTime();
}

void setFixedNow(const QDateTime& moment)
{
    g_fixedNow = moment;
    g_fixed = moment.date();
}
} // namespace Clock
