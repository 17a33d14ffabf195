#pragma once

#include "core/PageText.h"
#include "core/Progress.h"
#include "core/Result.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

class QSqlDatabase;

// The search index of the day pages, kept in the database itself: for every
// cell with text, its text folded for case and accents (TextFolding::fold),
// keyed by the day record's id and the cell's row and column. In a file
// an FTS5 table with the trigram tokenizer; on a server a table with a
// pg_trgm index when the server has that extension (else the same table,
// scanned). Every write of a day's page updates it in the same transaction;
// finding asks it which days can hold a text and reads only those.
namespace DaySearchIndex {

inline constexpr int TrigramLength = 3;
// In a file an entry's number holds its day record's id and the cell: a day
// record's id must lie in 1 .. LastDayId (the file check refuses others).
inline constexpr qint64 LastDayId = (qint64(1) << 43) - 1;

// Makes the index (and on a server the trigram index where it can), then
// fills it from every day record. progress, when given, hears of the days
// indexed so far out of all of them now and then.
Result create(QSqlDatabase& db, const Progress& progress = {});
// Empties the index and fills it again from every day record: after records
// were written without it (a restore, a back-up's new file).
Result rebuild(QSqlDatabase& db, const Progress& progress = {});

// The index entries of day record dayId whose page text was before (as the
// index holds it) and is now after: only the cells whose text changed are
// written. A deleted record's page is now empty.
Result update(QSqlDatabase& db, qint64 dayId, const QString& before, const QString& after);

// The ids of the day records whose folded page can hold folded (a folded
// text without separators): a superset of the days that hold it, each
// listed once, with the cells that can hold it. In a file the days with a
// cell that holds each of its trigrams, on a server those with a cell that
// holds it whole. narrowed is false when the index cannot tell (a text of
// fewer than TrigramLength characters, or a file of an earlier version
// opened only to read): then out lists every day record, cells unnamed.
struct DayKey
{
    qint64 id = 0;
    QString date; // as stored, yyyy-MM-dd
    // In page order; nullopt when the index cannot name them (not narrowed,
    // or a cell beyond its last row or column, which share one entry).
    std::optional<QList<PageText::CellAt>> cells;
};
// With ids, only the days whose record's id lies in ids.first .. ids.second
// (when narrowed): the index is then read for those alone.
using IdRange = std::pair<qint64, qint64>;
Result daysHolding(QSqlDatabase& db, const QString& folded, QList<DayKey>& out, bool& narrowed,
    const std::optional<IdRange>& ids = std::nullopt);

// What the index adds to a file's schema: each object's type, name and the
// SQL text SQLite keeps for it.
struct FileObject
{
    QString type;
    QString name;
    QString sql;
};
const QList<FileObject>& fileObjects();
// On a server: the table, its fields (name, type and nullability as the
// catalogue lists them) and the trigram index's name and
// definition (its tail, after the table's name).
QString serverTable();
QString serverFields();
QString serverTrigramIndex();
QString serverTrigramIndexTail();

} // namespace DaySearchIndex
