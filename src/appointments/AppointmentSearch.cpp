#include "appointments/AppointmentSearch.h"

#include "appointments/DaySheet.h"
#include "core/DayPlacement.h"
#include "core/PageText.h"
#include "core/TextFolding.h"
#include "platform/Clock.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QStringMatcher>
#include <algorithm>

namespace {

constexpr QChar DaySeparator = QChar(10);

} // namespace

AppointmentSearch::AppointmentSearch(
    const QList<DayRecord>& days, const Settings& current, const QDate& today, const QSet<qint64>& cut)
    : m_today(today)
{
    // Listing order: today and later by date, then the past, latest first.
    QList<const DayRecord*> order;
    order.reserve(days.size());
    qsizetype size = 0;
    for (const DayRecord& d : days) {
        if (d.calDate.isValid() && !PageText::isBlank(d.pageText)) {
            order.append(&d);
            size += d.pageText.size() + 1;
        }
    }
    std::stable_sort(order.begin(), order.end(), [&](const DayRecord* a, const DayRecord* b) {
        const bool aUpcoming = a->calDate >= today;
        const bool bUpcoming = b->calDate >= today;
        if (aUpcoming != bUpcoming)
            return aUpcoming;
        return aUpcoming ? a->calDate < b->calDate : a->calDate > b->calDate;
    });

    m_folded.reserve(size);
    m_days.reserve(order.size());
    const DayLayout currentLayout = DayLayout::fromSettings(current);
    for (const DayRecord* rec : std::as_const(order)) {
        Day day;
        day.date = rec->calDate;
        day.pageText = rec->pageText;
        day.upcoming = rec->calDate >= today;
        // Nearly every day is stored in the layout it is shown in; the others
        // are placed as the window places them.
        const DayLayout& target = day.upcoming ? currentLayout : copiedLayout(*rec);
        // A cut page has the shape of the whole.
        if (!target.damaged && DayPlacement::isLaidOutIn(rec->pageText, target)) {
            day.sheet = sheetFor(target);
        } else if (cut.contains(rec->id)) {
            m_wholePagesNeeded.append(rec->id);
            continue;
        } else {
            const DayPlacement::Placement placed = DayPlacement::place(rec->calDate, today, *rec, current);
            day.pageText = placed.pageText;
            day.sheet = sheetFor(placed.layout);
        }
        day.start = m_folded.size();
        appendPage(day.pageText, m_sheets[day.sheet]);
        day.end = m_folded.size();
        m_folded.append(DaySeparator);
        m_days.append(day);
    }
}

const DayLayout& AppointmentSearch::copiedLayout(const DayRecord& record)
{
    const QString key = QStringList {record.open, record.close, QString::number(record.slotMinutes),
        QString::number(record.providerCount), record.names}
                            .join(QChar(0x1F));
    auto found = m_copiedLayouts.find(key);
    if (found == m_copiedLayouts.end())
        found = m_copiedLayouts.insert(key, DayLayout::fromRecord(record));
    return found.value();
}

int AppointmentSearch::sheetFor(const DayLayout& layout)
{
    const QString key = QStringList {layout.timeTexts.join(QChar(0x1E)),
        layout.providerNames.mid(0, layout.columnCount).join(QChar(0x1E)), QString::number(layout.lastCol)}
                            .join(QChar(0x1F));
    const auto found = m_sheetKeys.constFind(key);
    if (found != m_sheetKeys.cend())
        return found.value();

    Sheet sheet;
    sheet.times = layout.timeTexts;
    for (int c = 1; c <= layout.lastCol; ++c)
        sheet.providers.append(layout.providerName(c).trimmed());
    sheet.rows = layout.pageRows();
    sheet.columns = layout.pageColumns();
    m_sheets.append(sheet);
    const int index = int(m_sheets.size()) - 1;
    m_sheetKeys.insert(key, index);
    return index;
}

void AppointmentSearch::appendPage(const QString& data, const Sheet& sheet)
{
    // The stored text placed by position, as the window loads it: rows and
    // cells beyond the page are left out. The separators stay, so a position
    // in the folded page still tells its row and column.
    int row = 1;
    int column = 1;
    qsizetype cellStart = 0;
    const qsizetype n = data.size();
    for (qsizetype i = 0; i <= n; ++i) {
        const QChar c = i < n ? data.at(i) : PageText::RowSeparator;
        if (c != PageText::CellSeparator && c != PageText::RowSeparator)
            continue;
        if (row <= sheet.rows && column <= sheet.columns)
            TextFolding::appendFolded(m_folded, QStringView(data).mid(cellStart, i - cellStart));
        if (i == n)
            break;
        if (c == PageText::CellSeparator) {
            ++column;
            if (row <= sheet.rows && column <= sheet.columns)
                m_folded.append(PageText::CellSeparator);
        } else {
            ++row;
            column = 1;
            if (row > sheet.rows)
                break;
            m_folded.append(PageText::RowSeparator);
        }
        cellStart = i + 1;
    }
}

AppointmentSearch::Matches AppointmentSearch::find(const QString& text, qsizetype limit) const
{
    Matches out;
    QString query;
    TextFolding::appendFolded(query, PageText::cleanCell(text));
    query = query.trimmed();
    if (query.isEmpty() || m_days.isEmpty())
        return out;

    const QStringMatcher matcher(query, Qt::CaseSensitive);
    const QChar* s = m_folded.constData();
    qsizetype from = 0;
    qsizetype dayIndex = 0;
    qsizetype hitDay = -1;
    QList<Hit> hits;
    // The row and column of position walk in the day being read.
    qsizetype walk = 0;
    int row = 1;
    int column = 1;
    for (;;) {
        const qsizetype at = matcher.indexIn(m_folded, from);
        if (at < 0)
            break;
        while (m_days[dayIndex].end < at)
            ++dayIndex;
        const Day& day = m_days[dayIndex];
        if (dayIndex != hitDay) {
            if (hitDay >= 0)
                addMatches(m_days[hitDay], hits, out, limit);
            if (limit >= 0 && out.matches.size() >= limit) {
                // Listing order is scanning order: the rest comes later.
                out.more = true;
                break;
            }
            hitDay = dayIndex;
            walk = day.start;
            row = 1;
            column = 1;
        }
        for (; walk < at; ++walk) {
            if (s[walk] == PageText::CellSeparator) {
                ++column;
            } else if (s[walk] == PageText::RowSeparator) {
                ++row;
                column = 1;
            }
        }
        hits.append(Hit {row, column});
        // One match per cell: go on after this one.
        qsizetype next = at + query.size();
        while (next < day.end && s[next] != PageText::CellSeparator && s[next] != PageText::RowSeparator)
            ++next;
        walk = next;
        from = next;
    }
    if (hitDay >= 0)
        addMatches(m_days[hitDay], hits, out, limit);
    return out;
}

void AppointmentSearch::addMatches(const Day& day, QList<Hit>& hits, Matches& out, qsizetype limit) const
{
    if (!day.upcoming) {
        // Latest first: the day's rows from the bottom up.
        std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.row > b.row; });
    }
    const Sheet& sheet = m_sheets[day.sheet];
    for (const Hit& hit : std::as_const(hits)) {
        if (limit >= 0 && out.matches.size() >= limit) {
            out.more = true;
            break;
        }
        Match m;
        m.date = day.date;
        m.row = hit.row;
        m.column = hit.column;
        if (hit.row >= 2 && hit.row - 2 < sheet.times.size())
            m.time = sheet.times[hit.row - 2];
        m.provider = sheet.providers.value(hit.column - 1);
        m.text = cellText(day.pageText, hit.row, hit.column);
        m.upcoming = day.upcoming;
        out.matches.append(m);
    }
    hits.clear();
}

QString AppointmentSearch::cellText(const QString& data, int row, int column)
{
    qsizetype start = 0;
    for (int r = 1; r < row; ++r) {
        start = data.indexOf(PageText::RowSeparator, start);
        if (start < 0)
            return QString();
        ++start;
    }
    for (int c = 1; c < column; ++c) {
        const qsizetype tab = data.indexOf(PageText::CellSeparator, start);
        const qsizetype rowEnd = data.indexOf(PageText::RowSeparator, start);
        if (tab < 0 || (rowEnd >= 0 && rowEnd < tab))
            return QString();
        start = tab + 1;
    }
    qsizetype end = start;
    while (end < data.size() && data.at(end) != PageText::CellSeparator && data.at(end) != PageText::RowSeparator)
        ++end;
    return data.mid(start, end - start);
}

Result AppointmentSearch::readDays(Database& db, QList<DayRecord>& days, Settings& current)
{
    const Result st = SettingsStore(db).read(current);
    if (!st.ok())
        return st;
    return DayStore(db).readAll(days);
}

namespace {

// The days listed first, which the panel asks the index about on their own
// (when their records' ids lie within so many times as many of each other),
// and to which it keeps a text too short for the index.
constexpr int FirstDays = 256;
constexpr int FirstDaysSpread = 8;

} // namespace

bool AppointmentSearch::isShortText(const QString& text)
{
    return fold(PageText::cleanCell(text)).trimmed().toUcs4().size() < DaySearchIndex::TrigramLength;
}

Result AppointmentSearch::findIn(Database& db, const QString& text, Matches& out, qsizetype limit,
    const std::optional<DayRecord>& shownDay, Reach reach)
{
    out = Matches();
    const QString folded = fold(PageText::cleanCell(text)).trimmed();
    if (folded.isEmpty())
        return Result::success();
    Settings current;
    Result r = SettingsStore(db).read(current);
    if (!r.ok())
        return r;
    DayStore store(db);
    const QDate today = Clock::today();
    QList<DaySearchIndex::DayKey> keys;
    bool narrowed = false;
    // Only the first matches wanted: a text many days hold is found among the
    // days listed first, and the index is asked about those alone (days are
    // mostly made in date order, so their ids lie close together).
    QSet<qint64> firstIds;
    bool shownAmongFirst = false;
    const bool indexed = folded.toUcs4().size() >= DaySearchIndex::TrigramLength;
    if (limit >= 0 && !indexed && reach == Reach::NearestDaysFirst) {
        // Every day would be read for a text few days hold, while the next key
        // waits: the days listed first alone, and more when others are left.
        r = store.listedFirst(today, FirstDays + 1, keys);
        const bool left = keys.size() > FirstDays;
        keys.resize(std::min<qsizetype>(keys.size(), FirstDays));
        const bool withShown = shownDay && (!left || !listedBefore(keys.last().date, shownDay->calDate, today));
        if (r.ok())
            r = searchInOrder(store, keys, current, text, withShown ? shownDay : std::nullopt, limit, out);
        out.more = out.more || left;
        return r;
    }
    if (limit >= 0 && indexed) {
        QList<DaySearchIndex::DayKey> first;
        r = store.listedFirst(today, FirstDays, first);
        if (!r.ok())
            return r;
        const auto [low, high] = std::minmax_element(first.cbegin(), first.cend(),
            [](const DaySearchIndex::DayKey& a, const DaySearchIndex::DayKey& b) { return a.id < b.id; });
        if (!first.isEmpty() && high->id - low->id < qint64(FirstDays) * FirstDaysSpread) {
            r = store.daysHolding(folded, keys, narrowed, DaySearchIndex::IdRange {low->id, high->id});
            if (!r.ok())
                return r;
            for (const DaySearchIndex::DayKey& k : std::as_const(first))
                firstIds.insert(k.id);
            keys.removeIf([&](const DaySearchIndex::DayKey& k) { return !firstIds.contains(k.id); });
            // Every day stored is among them, or the shown day lies among them.
            const bool all = first.size() < FirstDays;
            shownAmongFirst = shownDay && (all || !listedBefore(first.last().date, shownDay->calDate, today));
            r = searchInOrder(store, keys, current, text, shownAmongFirst ? shownDay : std::nullopt, limit, out);
            if (!r.ok() || out.more || all)
                return r;
        }
    }
    r = store.daysHolding(folded, keys, narrowed);
    if (!r.ok())
        return r;
    keys.removeIf([&](const DaySearchIndex::DayKey& k) { return firstIds.contains(k.id); });
    return searchInOrder(store, keys, current, text, shownAmongFirst ? std::nullopt : shownDay, limit, out);
}

bool AppointmentSearch::listedBefore(const QString& a, const QDate& b, const QDate& today)
{
    const QString bKey = b.toString(Qt::ISODate);
    const QString todayKey = today.toString(Qt::ISODate);
    const bool aUpcoming = a >= todayKey;
    if (aUpcoming != (bKey >= todayKey))
        return aUpcoming;
    return aUpcoming ? a < bKey : a > bKey;
}

Result AppointmentSearch::searchInOrder(DayStore& store, QList<DaySearchIndex::DayKey> keys, const Settings& current,
    const QString& text, const std::optional<DayRecord>& shownDay, qsizetype limit, Matches& out)
{
    const QDate today = Clock::today();
    const QString shownKey = shownDay ? shownDay->calDate.toString(Qt::ISODate) : QString();
    if (shownDay) {
        keys.removeIf([&](const DaySearchIndex::DayKey& k) { return k.date == shownKey; });
        keys.append({0, shownKey, std::nullopt});
    }
    // Listing order, as the constructor orders the days of each batch.
    const QString todayKey = today.toString(Qt::ISODate);
    std::sort(keys.begin(), keys.end(), [&](const DaySearchIndex::DayKey& a, const DaySearchIndex::DayKey& b) {
        const bool aUpcoming = a.date >= todayKey;
        if (aUpcoming != (b.date >= todayKey))
            return aUpcoming;
        return aUpcoming ? a.date < b.date : a.date > b.date;
    });
    // Small batches first: the panel's limit is often reached in the first.
    Result r;
    qsizetype batch = 16;
    for (qsizetype at = 0; at < keys.size(); at += batch, batch = std::min<qsizetype>(batch * 2, 256)) {
        QList<qint64> ids;
        QHash<qint64, QList<PageText::CellAt>> cells;
        bool withShown = false;
        for (qsizetype i = at; i < std::min(keys.size(), at + batch); ++i) {
            if (shownDay && keys[i].id == 0 && keys[i].date == shownKey)
                withShown = true;
            else if (keys[i].cells)
                cells.insert(keys[i].id, *keys[i].cells);
            else
                ids.append(keys[i].id);
        }
        // Where the index names the cells, only they are read.
        QList<DayRecord> days;
        QSet<qint64> cut;
        r = store.readCells(cells, days, cut);
        QList<DayRecord> whole;
        if (r.ok())
            r = store.read(ids, whole);
        if (!r.ok())
            return r;
        days.append(whole);
        if (withShown)
            days.append(*shownDay);
        AppointmentSearch search(days, current, today, cut);
        if (!search.wholePagesNeeded().isEmpty()) {
            const QList<qint64> needed = search.wholePagesNeeded();
            r = store.read(needed, whole);
            if (!r.ok())
                return r;
            days.removeIf([&](const DayRecord& d) { return cut.contains(d.id) && needed.contains(d.id); });
            days.append(whole);
            search = AppointmentSearch(days, current, today);
        }
        const Matches found = search.find(text, limit < 0 ? -1 : limit - out.matches.size());
        out.matches.append(found.matches);
        if (found.more) {
            out.more = true;
            break;
        }
    }
    return r;
}

QString AppointmentSearch::fold(QStringView text)
{
    return TextFolding::fold(text);
}

QString AppointmentSearch::resultLine(const Match& match)
{
    // The two rows without a time keep the column where the time would be.
    const QString time = match.time.isEmpty() ? QString(8, QLatin1Char(' ')) : match.time;
    const QString provider
        = match.provider.isEmpty() ? QStringLiteral("Provider %1").arg(match.column) : match.provider;
    return QStringLiteral("%1 %2  %3  %4  %5")
        .arg(DaySheet::weekdayHeading(match.date), DaySheet::dateHeading(match.date), time, provider, match.text);
}

QString AppointmentSearch::noneFoundText()
{
    return QStringLiteral("No appointments found");
}
