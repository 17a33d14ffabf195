#include "core/DayPlacement.h"

#include "core/PageText.h"
#include "core/Settings.h"

#include <algorithm>

namespace DayPlacement {
namespace {

struct Shape
{
    int rows = 1;
    int columns = 1;
};

Shape shapeOf(const QString& text)
{
    Shape s;
    int cells = 1;
    for (QChar c : text) {
        if (c == PageText::CellSeparator) {
            ++cells;
        } else if (c == PageText::RowSeparator) {
            s.columns = std::max(s.columns, cells);
            cells = 1;
            ++s.rows;
        }
    }
    s.columns = std::max(s.columns, cells);
    return s;
}

bool hasShape(const DayLayout& layout, const Shape& shape)
{
    return layout.pageRows() == shape.rows && layout.pageColumns() == shape.columns;
}

QString fitted(const QString& text, const DayLayout& layout)
{
    return PageText::join(PageText::fit(text, layout.pageRows(), layout.pageColumns()));
}

} // namespace

int rowFor(int row, const DayLayout& from, const DayLayout& to)
{
    if (row == 1)
        return 1;
    if (row == from.lastRow)
        return to.lastRow;
    if (row < 2 || row > from.lastRow)
        return 0;
    const qsizetype found = to.timeMinutes.indexOf(from.timeMinutes[row - 2]);
    return found < 0 ? 0 : int(found) + 2;
}

bool isLaidOutIn(const QString& text, const DayLayout& layout)
{
    return hasShape(layout, shapeOf(text));
}

DayLayout storedLayout(const DayRecord& record, const DayLayout& alternative)
{
    const DayLayout copies = DayLayout::fromRecord(record);
    const Shape shape = shapeOf(record.pageText);
    if (record.pageText.isEmpty() || hasShape(copies, shape))
        return copies;
    if (hasShape(alternative, shape))
        return alternative;
    return copies.lengthened(shape.rows, shape.columns);
}

DayLayout layoutOf(const DayRecord& record)
{
    const DayLayout copies = DayLayout::fromRecord(record);
    return storedLayout(record, copies);
}

std::optional<QString> movePage(const QString& text, const DayLayout& from, const DayLayout& to)
{
    if (from == to && hasShape(to, shapeOf(text)))
        return text;
    const PageText::Cells source = PageText::split(text);
    PageText::Cells out = PageText::fit(QString(), to.pageRows(), to.pageColumns());
    for (int r = 0; r < source.size(); ++r) {
        const QStringList& cells = source[r];
        for (int c = 0; c < cells.size(); ++c) {
            if (cells[c].isEmpty())
                continue;
            const int row = rowFor(r + 1, from, to);
            if (row == 0 || c + 1 > to.pageColumns())
                return std::nullopt;
            out[row - 1][c] = cells[c];
        }
    }
    return PageText::join(out);
}

Placement place(const QDate& date, const QDate& today, const std::optional<DayRecord>& record, const Settings& current)
{
    const DayLayout currentLayout = DayLayout::fromSettings(current);
    Placement p;
    if (!record) {
        p.layout = currentLayout;
        p.pageText = currentLayout.emptyPageText;
        return p;
    }
    const DayLayout target = date < today ? DayLayout::fromRecord(*record) : currentLayout;
    const QString& text = record->pageText;
    if (PageText::isBlank(text)) {
        // Nothing to keep: a page never written keeps having no text.
        p.layout = target;
        p.pageText = text.isEmpty() ? text : target.emptyPageText;
    } else {
        const DayLayout stored = storedLayout(*record, currentLayout);
        std::optional<QString> moved;
        if (!target.damaged)
            moved = movePage(text, stored, target);
        if (moved) {
            p.layout = target;
            p.pageText = *moved;
        } else {
            p.layout = stored;
            p.pageText = fitted(text, stored);
        }
    }
    p.fromRecord = !(p.layout == currentLayout);
    return p;
}

void alignLayouts(DayRecord& base, DayRecord& edited, DayRecord& stored)
{
    // Nearly every save: both sides copied the same settings and hold pages
    // of one shape, so they share a layout and nothing needs moving.
    if (stored.open == edited.open && stored.close == edited.close && stored.slotMinutes == edited.slotMinutes
        && stored.providerCount == edited.providerCount && stored.names == edited.names) {
        const Shape mine = shapeOf(edited.pageText);
        const Shape theirs = shapeOf(stored.pageText);
        if (mine.rows == theirs.rows && mine.columns == theirs.columns)
            return;
    }
    const DayLayout ours = layoutOf(edited);
    const DayRecord theirs = inLayout(stored, ours);
    if (layoutOf(theirs) == ours) {
        stored = theirs;
        return;
    }
    const DayLayout their = layoutOf(stored);
    const DayRecord baseMoved = inLayout(base, their);
    const DayRecord editedMoved = inLayout(edited, their);
    if (layoutOf(baseMoved) == their && layoutOf(editedMoved) == their) {
        base = baseMoved;
        edited = editedMoved;
    }
}

int daysKeepingTheirLayout(const QList<DayRecord>& days, const QDate& today, const Settings& current)
{
    int kept = 0;
    for (const DayRecord& day : days) {
        if (day.calDate >= today && !PageText::isBlank(day.pageText)
            && place(day.calDate, today, day, current).fromRecord)
            ++kept;
    }
    return kept;
}

void describeLayout(DayRecord& record, const DayLayout& layout)
{
    record.open = layout.openTime;
    record.close = layout.closeTime;
    record.slotMinutes = layout.slotMinutes;
    record.providerCount = layout.providerCount;
    record.names = layout.namesText;
}

DayRecord inLayout(const DayRecord& record, const DayLayout& layout)
{
    const DayLayout stored = storedLayout(record, layout);
    if (stored == layout)
        return record;
    DayRecord out = record;
    if (!record.pageText.isEmpty()) {
        const std::optional<QString> moved = movePage(record.pageText, stored, layout);
        if (!moved)
            return record;
        out.pageText = *moved;
    }
    describeLayout(out, layout);
    return out;
}

} // namespace DayPlacement
