#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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
