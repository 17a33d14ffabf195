#include "core/Settings.h"

QString Settings::defaultNames()
{
    return QStringLiteral(" Practitioner A - Practitioner B - Practitioner C - Practitioner D");
}

Settings Settings::defaults()
{
    Settings s;
    s.location = QStringLiteral("Office");
    s.open = QStringLiteral("08:00 AM");
    s.close = QStringLiteral("05:00 PM");
    s.slotMinutes = 30;
    s.providerCount = 4;
    s.names = defaultNames();
    return s;
}
