#include "appointments/DayListPrint.h"

#include "appointments/DaySheet.h"
#include "platform/PrintTarget.h"

#include <algorithm>

namespace DayListPrint {
namespace {
using P = PrintTarget;
using Line = QList<P::Item>;

constexpr int ListPoints = 9;
constexpr int HeadingPoints = 14;
constexpr int ColumnHeadingPoints = 12;
constexpr int TopMarginLines = 8;
// Below the last line, inside the printable area.
constexpr int BottomMarginTwips = 720;
// Blanks before the time of a slot, between the time and the entry, and
// before the texts of the two rows without a time. The right margin is as
// wide as the indent of the times.
constexpr int TimeIndent = 14;
constexpr int EntryGap = 7;
constexpr int NoteIndent = 30;

QString blanks(int count)
{
    return QString(count, QLatin1Char(' '));
}

// The measures of one printout on one target.
struct Layout
{
    const PrintTarget& target;
    int pageHeight = 0;
    int rightEdge = 0;
    int listLine = 0;
    int headerHeight = 0;

    explicit Layout(const PrintTarget& t)
        : target(t)
        , pageHeight(t.pageSize().height())
        , rightEdge(t.pageSize().width() - listWidth(blanks(TimeIndent)))
        , listLine(t.lineHeight(ListPoints, true))
        , headerHeight(TopMarginLines * listLine + 2 * t.lineHeight(HeadingPoints, true)
              + t.lineHeight(ColumnHeadingPoints, true))
    {
    }

    int listWidth(const QString& text) const { return target.textWidth(text, ListPoints, true); }
    int bodyHeight() const { return pageHeight - BottomMarginTwips - headerHeight; }
};

// Breaks text into lines that fit width: after a word where it can, inside
// a word only where the word alone is wider than a line. The blanks at a
// break are dropped. An empty text is one empty line.
QStringList wrapped(QString rest, int width, const Layout& layout)
{
    QStringList lines;
    while (layout.listWidth(rest) > width) {
        // The longest head that fits, at least one character.
        int low = 1;
        int high = int(rest.size()) - 1;
        while (low < high) {
            const int mid = (low + high + 1) / 2;
            if (layout.listWidth(rest.left(mid)) <= width)
                low = mid;
            else
                high = mid - 1;
        }
        if (low > 1 && rest[low - 1].isHighSurrogate())
            --low;
        const qsizetype blank = rest.lastIndexOf(QLatin1Char(' '), low);
        QString head = rest.left(blank > 0 ? blank : low);
        rest.remove(0, head.size());
        while (head.endsWith(QLatin1Char(' ')))
            head.chop(1);
        while (rest.startsWith(QLatin1Char(' ')))
            rest.remove(0, 1);
        lines.append(head);
    }
    if (!rest.isEmpty() || lines.isEmpty())
        lines.append(rest);
    return lines;
}

// One row of a list: the empty line that goes before it, then the text
// lines of its entry, the later ones starting where the entry starts.
QList<Line> rowLines(const Line& lead, const QString& entry, const Layout& layout)
{
    QString leadText;
    for (const P::Item& item : lead)
        leadText += item.kind == P::Item::Blanks ? blanks(item.count) : item.text;
    const int entryLeft = layout.listWidth(leadText);
    const QStringList pieces = wrapped(entry, layout.rightEdge - entryLeft, layout);
    QList<Line> lines {Line(), lead + Line {P::text(pieces.first())}};
    for (qsizetype n = 1; n < pieces.size(); ++n)
        lines.append({P::column(entryLeft), P::text(pieces[n])});
    return lines;
}

// A provider's list cut into pages: a row moves whole onto the next page
// when it does not fit, unless it would not fit on a page of its own.
QList<QList<Line>> pagesOf(const DaySheet& sheet, int provider, const Layout& layout)
{
    QList<QList<Line>> rows;
    const int lastRow = sheet.rowCount();
    rows.append(rowLines({P::blanks(NoteIndent)}, sheet.cell(1, provider), layout));
    for (int r = 2; r <= lastRow - 1; ++r) {
        rows.append(rowLines({P::blanks(TimeIndent), P::text(sheet.timeTexts.value(r - 2)), P::blanks(EntryGap)},
            sheet.cell(r, provider), layout));
    }
    rows.append(rowLines({P::blanks(NoteIndent)}, sheet.cell(lastRow, provider), layout));

    const int room = layout.bodyHeight();
    QList<QList<Line>> pages(1);
    int used = 0;
    const auto breakPage = [&] {
        pages.append(QList<Line>());
        used = 0;
    };
    for (const QList<Line>& row : rows) {
        const int height = int(row.size()) * layout.listLine;
        if (used > 0 && used + height > room && height <= room)
            breakPage();
        for (const Line& line : row) {
            if (used > 0 && used + layout.listLine > room)
                breakPage();
            pages.last().append(line);
            used += layout.listLine;
        }
    }
    return pages;
}

// The heading of every page; a list of several pages numbers them.
void printHeading(PrintTarget& t, const DaySheet& sheet, int provider, int page, int pageCount, const Layout& layout)
{
    t.setFontSize(ListPoints);
    t.setBold(true);
    for (int n = 0; n < TopMarginLines; ++n)
        t.printLine();
    t.setFontSize(HeadingPoints);
    t.setBold(true);
    const QString heading
        = QStringLiteral("Appointment Schedule:   ") + sheet.weekday + QStringLiteral(",  ") + sheet.date;
    Line line {P::blanks(9), P::text(heading)};
    Line below;
    if (pageCount > 1) {
        // At the right margin: beside the heading where it fits, else under it.
        const QString number = QStringLiteral("Page %1 of %2").arg(page).arg(pageCount);
        const int width = t.textWidth(number, HeadingPoints, true);
        const int headingEnd = t.textWidth(blanks(9) + heading + blanks(3), HeadingPoints, true);
        Line& numbered = headingEnd + width <= layout.rightEdge ? line : below;
        numbered += {P::column(layout.rightEdge - width), P::text(number)};
    }
    t.printLine(line);
    t.printLine(below);
    t.setFontSize(ColumnHeadingPoints);
    t.setBold(true);
    t.printLine(
        {P::blanks(10), P::text(QStringLiteral("Time")), P::blanks(5), P::text(sheet.providerNames[provider - 1])});
    t.setFontSize(ListPoints);
    t.setBold(true);
}
} // namespace

bool print(PrintTarget& t, const DaySheet& sheet)
{
    const Layout layout(t);
    bool firstPage = true;
    for (int i = 1; i <= sheet.providerCount(); ++i) {
        const QList<QList<Line>> pages = pagesOf(sheet, i, layout);
        for (int page = 1; page <= pages.size(); ++page) {
            if (!firstPage)
                t.newPage();
            firstPage = false;
            printHeading(t, sheet, i, page, int(pages.size()), layout);
            for (const Line& line : pages[page - 1]) {
                if (!t.ok())
                    return false;
                t.printLine(line);
            }
        }
        if (!t.ok())
            return false;
    }
    t.endDocument();
    return t.ok();
}

} // namespace DayListPrint
