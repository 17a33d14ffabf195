#include "appointments/DaySheet.h"

#include <QLocale>

QString DaySheet::cell(int row, int column) const
{
    if (row < 1 || row > cells.size())
        return QString();
    const QStringList& r = cells[row - 1];
    if (column < 1 || column > r.size())
        return QString();
    return r[column - 1];
}

QString DaySheet::weekdayHeading(const QDate& date)
{
    return QLocale().toString(date, QStringLiteral("dddd"));
}

QString DaySheet::dateHeading(const QDate& date)
{
    return QLocale().toString(date, QLocale::ShortFormat);
}

DaySheet DaySheet::forDay(const QDate& date)
{
    DaySheet sheet;
    sheet.day = date;
    sheet.weekday = weekdayHeading(date);
    sheet.date = dateHeading(date);
    return sheet;
}

QString DaySheet::pdfFileName(const QDate& date)
{
    return QStringLiteral("appointments-%1.pdf").arg(date.toString(Qt::ISODate));
}
