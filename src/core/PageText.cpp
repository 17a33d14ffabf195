#include "core/PageText.h"

#include <algorithm>
#include <cstring>

namespace PageText {

Cells split(const QString& text)
{
    Cells rows;
    const QStringList lines = text.split(RowSeparator);
    rows.reserve(lines.size());
    for (const QString& line : lines)
        rows.append(line.split(CellSeparator));
    return rows;
}

QString join(const Cells& rows)
{
    QString out;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (r > 0)
            out += RowSeparator;
        out += rows[r].join(CellSeparator);
    }
    return out;
}

QString empty(int rows, int columns)
{
    if (rows <= 0 || columns <= 0)
        return QString();
    QString row(columns - 1, CellSeparator);
    QString out;
    out.reserve(rows * columns);
    for (int r = 0; r < rows; ++r) {
        if (r > 0)
            out += RowSeparator;
        out += row;
    }
    return out;
}

QString cleared(const QString& text)
{
    QString out;
    for (QChar c : text) {
        if (c == CellSeparator || c == RowSeparator)
            out += c;
    }
    return out;
}

namespace {

// Decoded the same by Qt and by SQLite.
bool isPlainUtf8(QByteArrayView text)
{
    if (std::all_of(text.begin(), text.end(), [](char c) { return uchar(c) < 0x80; }))
        return true;
    return text.isValidUtf8() && !text.startsWith("\xEF\xBB\xBF") && !text.contains("\xEF\xBF\xBE")
        && !text.contains("\xEF\xBF\xBF");
}

} // namespace

std::optional<QString> keptCells(QByteArrayView utf8, const QList<CellAt>& cells)
{
    // Separators are single bytes in UTF-8: the page is cut as bytes, rows
    // without a cell kept are only counted, and only the cells kept are
    // decoded.
    constexpr char Cell = char(CellSeparator.unicode());
    constexpr char Row = char(RowSeparator.unicode());
    QString out;
    qsizetype next = 0; // the first of cells not yet passed
    const char* const end = utf8.data() + utf8.size();
    const auto endOf = [](const char* from, const char* to, char separator) {
        const void* found = std::memchr(from, separator, size_t(to - from));
        return found ? static_cast<const char*>(found) : to;
    };
    const char* rowStart = utf8.data();
    for (int row = 1;; ++row) {
        const char* const rowEnd = endOf(rowStart, end, Row);
        while (next < cells.size() && cells[next].row < row)
            ++next;
        if (next < cells.size() && cells[next].row == row) {
            const char* cellStart = rowStart;
            for (int column = 1;; ++column) {
                const char* const cellEnd = endOf(cellStart, rowEnd, Cell);
                while (next < cells.size() && cells[next].row == row && cells[next].column < column)
                    ++next;
                if (cellEnd > cellStart && next < cells.size() && cells[next].row == row
                    && cells[next].column == column) {
                    const QByteArrayView text(cellStart, cellEnd);
                    if (!isPlainUtf8(text))
                        return std::nullopt;
                    out.append(QString::fromUtf8(text));
                }
                if (cellEnd == rowEnd)
                    break;
                out.append(CellSeparator);
                cellStart = cellEnd + 1;
            }
        } else {
            out.resize(out.size() + std::count(rowStart, rowEnd, Cell), CellSeparator);
        }
        if (rowEnd == end)
            break;
        out.append(RowSeparator);
        rowStart = rowEnd + 1;
    }
    return out;
}

bool isBlank(const QString& text)
{
    for (QChar c : text) {
        if (c != CellSeparator && c != RowSeparator)
            return false;
    }
    return true;
}

Cells fit(const QString& text, int rows, int columns)
{
    const Cells source = split(text);
    Cells out;
    out.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        QStringList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c) {
            if (r < source.size() && c < source[r].size())
                row.append(source[r][c]);
            else
                row.append(QString());
        }
        out.append(row);
    }
    return out;
}

QString cleanCell(QString text)
{
    for (QChar& c : text) {
        if (c == CellSeparator || c == RowSeparator || c == QChar(10))
            c = QChar(' ');
    }
    return text;
}

namespace {
QString cellAt(const Cells& cells, qsizetype r, qsizetype c)
{
    if (r < cells.size() && c < cells[r].size())
        return cells[r][c];
    return QString();
}
} // namespace

QString merge(const QString& base, const QString& mine, const QString& theirs, bool* conflicted)
{
    if (conflicted)
        *conflicted = false;
    if (mine == theirs || theirs == base)
        return mine;
    if (mine == base)
        return theirs;

    const Cells b = split(base);
    const Cells m = split(mine);
    const Cells t = split(theirs);
    const qsizetype rows = std::max(m.size(), t.size());
    Cells out;
    out.reserve(rows);
    for (qsizetype r = 0; r < rows; ++r) {
        const qsizetype cols = std::max(r < m.size() ? m[r].size() : 0, r < t.size() ? t[r].size() : 0);
        QStringList row;
        row.reserve(cols);
        for (qsizetype c = 0; c < cols; ++c) {
            const QString bc = cellAt(b, r, c);
            const QString mc = cellAt(m, r, c);
            const QString tc = cellAt(t, r, c);
            if (mc == tc || tc == bc) {
                row.append(mc);
            } else if (mc == bc) {
                row.append(tc);
            } else if (mc.isEmpty() || tc.isEmpty()) {
                // One side cleared the cell, the other wrote something else:
                // keep the text, a booking is never dropped silently.
                row.append(mc.isEmpty() ? tc : mc);
                if (conflicted)
                    *conflicted = true;
            } else {
                row.append(mc + QStringLiteral(" / ") + tc);
                if (conflicted)
                    *conflicted = true;
            }
        }
        out.append(row);
    }
    return join(out);
}

QString mergeMemo(const QString& base, const QString& mine, const QString& theirs)
{
    if (mine == theirs || theirs == base)
        return mine;
    if (mine == base)
        return theirs;
    if (mine.isEmpty())
        return theirs;
    if (theirs.isEmpty())
        return mine;
    return mine + QLatin1Char('\n') + theirs;
}

} // namespace PageText
