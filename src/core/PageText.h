#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The stored form of a day page: cells joined by tab (9), rows by carriage
// return (13), nothing after the last cell or row.
namespace PageText {
inline constexpr QChar CellSeparator = QChar(9);
inline constexpr QChar RowSeparator = QChar(13);

using Cells = QList<QStringList>; // rows of cells

Cells split(const QString& text);
QString join(const Cells& rows);

// The text of a page of rows x columns with every cell empty.
QString empty(int rows, int columns);

// The same page with every cell emptied (the separators stay).
QString cleared(const QString& text);

// A cell of a page by its row and column, each counted from 1.
struct CellAt
{
    int row = 0;
    int column = 0;
};

// The page stored as utf8 with the text of cells alone (given in page
// order), every other cell empty: rows and cells stay where they were.
// nullopt when a cell kept is not plain UTF-8 (a byte-order mark, a
// non-character, a broken sequence): such text is read whole, as SQLite
// decodes it.
std::optional<QString> keptCells(QByteArrayView utf8, const QList<CellAt>& cells);

// True when no cell holds any text (only separators).
bool isBlank(const QString& text);

// Places text by position into a page of rows x columns: rows or cells beyond
// it are dropped, cells it does not reach are empty.
Cells fit(const QString& text, int rows, int columns);

// A cell can never hold a tab or a line break; they become blanks.
QString cleanCell(QString text);

// Three-way merge by position. A cell changed on one side only takes that
// side; changed differently on both keeps both, mine first, joined by " / ".
// The result has the larger extent of mine and theirs.
QString merge(const QString& base, const QString& mine, const QString& theirs, bool* conflicted = nullptr);

// The same for a memo: both texts on two lines when both changed.
QString mergeMemo(const QString& base, const QString& mine, const QString& theirs);
} // namespace PageText
