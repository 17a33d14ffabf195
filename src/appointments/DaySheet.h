#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// A day page as it is printed: the two headings and the grid's texts, with no
// tie to the window it came from.
struct DaySheet
{
    QDate day;
    QString weekday; // "Wednesday"
    QString date; // the short date
    QStringList providerNames; // one per provider column, left to right
    QStringList timeTexts; // time column of rows 2 .. last - 1
    // The page cells: rows 1 .. last, each with one text per provider.
    QList<QStringList> cells;

    int providerCount() const { return int(providerNames.size()); }
    int rowCount() const { return int(cells.size()); }
    // Cell of page row r (1 .. rowCount()) and provider column c (1 .. n);
    // empty outside the page.
    QString cell(int row, int column) const;

    // Headings and day of the printout, the page left empty.
    static DaySheet forDay(const QDate& date);
    // The file a printout of the day goes to when there is no printer.
    static QString pdfFileName(const QDate& date);

    // The weekday and short-date headings of a date as the window shows them.
    static QString weekdayHeading(const QDate& date);
    static QString dateHeading(const QDate& date);
};
