#include "appointments/AppointmentSearch.h"

#include "appointments/DaySheet.h"
#include "core/DayPlacement.h"
#include "core/PageText.h"
#include "platform/Clock.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QStringMatcher>
#include <algorithm>

namespace {

constexpr QChar DaySeparator = QChar(10);

// Letters that canonical decomposition leaves whole, by their case-folded form.
QStringView spelledOut(char16_t c)
{
    switch (c) {
    case u'\u00DF': // sharp s
        return u"ss";
    case u'\u00E6': // ae
        return u"ae";
    case u'\u0153': // oe
        return u"oe";
    case u'\u00F8': // o with stroke
        return u"o";
    case u'\u0142': // l with stroke
        return u"l";
    case u'\u0111': // d with stroke
    case u'\u00F0': // eth
        return u"d";
    case u'\u00FE': // thorn
        return u"th";
    case u'\u0131': // dotless i
        return u"i";
    default:
        return {};
    }
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Control characters become blanks, so a folded cell never holds one of the
// separators of the folded pages.
void appendFolded(QString& out, QStringView text)
{
    if (text.isEmpty())
        return;
    if (isAscii(text)) {
        // Most names are plain ASCII: no need for the Unicode tables.
        const qsizetype at = out.size();
        out.resize(at + text.size());
        QChar* d = out.data() + at;
        for (QChar c : text) {
            char16_t u = c.unicode();
            if (u >= u'A' && u <= u'Z')
                u = char16_t(u + 32);
            else if (u < 0x20)
                u = u' ';
            *d++ = QChar(u);
        }
        return;
    }
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_D).toCaseFolded();
    for (QChar c : decomposed) {
        const QChar::Category cat = c.category();
        if (cat == QChar::Mark_NonSpacing || cat == QChar::Mark_Enclosing)
            continue;
        const QStringView spelled = spelledOut(c.unicode());
        if (!spelled.isEmpty())
            out.append(spelled);
        else if (c.unicode() < 0x20)
            out.append(QChar(u' '));
        else
            out.append(c);
    }
}

} // namespace

AppointmentSearch::AppointmentSearch(const QList<DayRecord>& days, const Settings& current, const QDate& today)
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
        if (!target.damaged && DayPlacement::isLaidOutIn(rec->pageText, target)) {
            day.sheet = sheetFor(target);
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
            appendFolded(m_folded, QStringView(data).mid(cellStart, i - cellStart));
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
    appendFolded(query, PageText::cleanCell(text));
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

Result AppointmentSearch::findIn(Database& db, const QString& text, Matches& out)
{
    QList<DayRecord> days;
    Settings current;
    const Result st = readDays(db, days, current);
    if (!st.ok())
        return st;
    out = AppointmentSearch(days, current, Clock::today()).find(text);
    return st;
}

QString AppointmentSearch::fold(QStringView text)
{
    QString out;
    appendFolded(out, text);
    return out;
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
