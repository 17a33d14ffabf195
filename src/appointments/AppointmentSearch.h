#pragma once

#include "core/DayLayout.h"
#include "core/DayRecord.h"
#include "core/Result.h"
#include "core/Settings.h"
#include "store/DaySearchIndex.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

class Database;
class DayStore;

// Finds a client's appointments over every stored day. Built once from the
// day records, it keeps a folded copy of every page (case and accents taken
// out) laid out by each day's own layout, exactly as the appointment window
// shows that day; finding is then one scan of that copy. A built search is
// never changed, so it may be asked from any thread.
class AppointmentSearch
{
public:
    struct Match
    {
        QDate date;
        int row = 0; // grid row: 1 is the blank row above the first time
        int column = 0; // grid column, the provider's number
        QString time; // empty on the two rows without a time
        QString provider; // the provider's name, trimmed
        QString text; // the cell as stored
        bool upcoming = false; // today or later

        bool operator==(const Match& other) const = default;
    };

    struct Matches
    {
        QList<Match> matches;
        bool more = false; // there are matches beyond the limit
    };

    // A list of more lines is slow to fill and no use to read: the find panel
    // asks for this many.
    static constexpr qsizetype ShownLimit = 500;

    // Finds nothing.
    AppointmentSearch() = default;
    // days in any order. Days before today are laid out from their own copied
    // settings, today and later from current. The pages of the days of cut
    // (by id) hold only the cells that can hold what will be found, the rest
    // emptied (DayStore::readCells): such a day is searched when it is shown
    // in the layout its page is stored in, and otherwise listed in
    // wholePagesNeeded (placing it elsewhere needs all of its text).
    AppointmentSearch(
        const QList<DayRecord>& days, const Settings& current, const QDate& today, const QSet<qint64>& cut = {});

    const QList<qint64>& wholePagesNeeded() const { return m_wholePagesNeeded; }

    // Every cell whose folded text holds the folded text, upcoming ones first
    // (today on, by date and time), then past ones, latest first; one match
    // per cell. Blank text finds nothing. With a limit of 0 or more, the
    // search stops after that many matches.
    Matches find(const QString& text, qsizetype limit = -1) const;

    QDate today() const { return m_today; }
    qsizetype dayCount() const { return m_days.size(); }

    // What a search is built from: every day record and the current settings.
    static Result readDays(Database& db, QList<DayRecord>& days, Settings& current);
    // Finds as find() does over every stored day, for today, reading only
    // the days the database's search index says can hold the text, a few
    // at a time in listing order, until limit matches are found. With a
    // limit and NearestDaysFirst, a text too short for the index is looked
    // for in the days listed first alone: more is then set when other days
    // are left (isShortText tells such a text), and EveryDay looks further.
    // shownDay, when given, stands in for its stored record (the page on
    // screen may hold edits not yet saved).
    enum class Reach { NearestDaysFirst, EveryDay };
    static Result findIn(Database& db, const QString& text, Matches& out, qsizetype limit = -1,
        const std::optional<DayRecord>& shownDay = std::nullopt, Reach reach = Reach::NearestDaysFirst);
    static bool isShortText(const QString& text);

    // TextFolding::fold: "Müller", "MULLER" and "muller" are one text.
    static QString fold(QStringView text);

    // One line per match, as the find panel lists it and `ledgerly find`
    // prints it: weekday, short date, time, provider, the cell's text.
    static QString resultLine(const Match& match);
    static QString noneFoundText();

private:
    struct Sheet
    {
        QStringList times; // grid rows 2 .. lastRow - 1
        QStringList providers; // grid columns 1 .. lastCol, trimmed
        int rows = 0;
        int columns = 0;
    };
    struct Day
    {
        QDate date;
        QString pageText; // as the day is shown
        int sheet = 0;
        bool upcoming = false;
        qsizetype start = 0; // its folded page in m_folded
        qsizetype end = 0;
    };

    struct Hit
    {
        int row = 0;
        int column = 0;
    };

    // Finds as findIn() does in the days of keys (and shownDay), which it
    // lists in order, adding to out until limit matches are listed.
    static Result searchInOrder(DayStore& store, QList<DaySearchIndex::DayKey> keys, const Settings& current,
        const QString& text, const std::optional<DayRecord>& shownDay, qsizetype limit, Matches& out);
    // Whether the day stored as a (yyyy-MM-dd) is listed before day b.
    static bool listedBefore(const QString& a, const QDate& b, const QDate& today);

    int sheetFor(const DayLayout& layout);
    const DayLayout& copiedLayout(const DayRecord& record);
    void appendPage(const QString& data, const Sheet& sheet);
    void addMatches(const Day& day, QList<Hit>& hits, Matches& out, qsizetype limit) const;
    static QString cellText(const QString& data, int row, int column);

    QList<Sheet> m_sheets; // the distinct layouts among the days
    QHash<QString, int> m_sheetKeys; // what each was built from
    QHash<QString, DayLayout> m_copiedLayouts; // by the copied settings that give them
    QList<Day> m_days; // in the order results are listed
    // Every day's folded page: cells joined by tab, rows by carriage return,
    // days by line feed. A folded query holds none of these, so a hit always
    // lies inside one cell.
    QString m_folded;
    QDate m_today;
    QList<qint64> m_wholePagesNeeded;
};
