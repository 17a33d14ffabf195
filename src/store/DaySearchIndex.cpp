#include "store/DaySearchIndex.h"

#include "core/PageText.h"
#include "core/TextFolding.h"
#include "store/Database.h"
#include "store/SqlDialect.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace DaySearchIndex {
namespace {

// No position lists (detail=none) and no copy of the texts (content=''):
// the index only narrows the days, the search itself then reads their pages;
// a cell's entry is taken out with the text it was made from, which the
// stored page gives. Case is folded before it is stored. One entry per cell
// with text, its rowid the day record's id and the cell's key.
const QString FileTable = QStringLiteral("CREATE VIRTUAL TABLE day_search USING fts5(folded_cell, tokenize='trigram "
                                         "case_sensitive 1', content='', detail=none, columnsize=0)");

// A cell's row and column in the low bits of its key; the cells beyond the
// last row or column share the key of the last, their texts joined by tabs
// in one row of the index (a folded text without separators lies in it
// exactly when it lies in one of them).
constexpr int ColumnBits = 8;
constexpr int CellBits = 12 + ColumnBits;
constexpr qint64 LastColumn = (qint64(1) << ColumnBits) - 1;
constexpr qint64 LastRow = (qint64(1) << (CellBits - ColumnBits)) - 1;
constexpr qint64 CellMask = (qint64(1) << CellBits) - 1;
static_assert(63 - CellBits == 43, "LastDayId leaves the bits of a cell's key free");

struct Cell
{
    qint64 key = 0;
    QStringView text;
};

// The cells of a page that hold text, by key.
QList<Cell> cellsOf(QStringView page)
{
    QList<Cell> out;
    qint64 row = 0;
    qint64 column = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= page.size(); ++i) {
        const bool end = i == page.size();
        if (!end && page[i] != PageText::CellSeparator && page[i] != PageText::RowSeparator)
            continue;
        if (i > start)
            out.append(
                {(std::min(row, LastRow) << ColumnBits) | std::min(column, LastColumn), page.mid(start, i - start)});
        if (end)
            break;
        if (page[i] == PageText::CellSeparator) {
            ++column;
        } else {
            ++row;
            column = 0;
        }
        start = i + 1;
    }
    std::stable_sort(out.begin(), out.end(), [](const Cell& a, const Cell& b) { return a.key < b.key; });
    return out;
}

// The cells of one key from cells[at] on: where they end.
qsizetype keyEnd(const QList<Cell>& cells, qsizetype at)
{
    qsizetype end = at;
    while (end < cells.size() && cells[end].key == cells[at].key)
        ++end;
    return end;
}

// What the index holds for the cells [from, to) of one key.
QString foldedCells(const QList<Cell>& cells, qsizetype from, qsizetype to)
{
    QString out;
    for (qsizetype i = from; i < to; ++i) {
        if (i > from)
            out.append(PageText::CellSeparator);
        TextFolding::appendFolded(out, cells[i].text);
    }
    return out;
}

bool sameTexts(
    const QList<Cell>& a, qsizetype aFrom, qsizetype aTo, const QList<Cell>& b, qsizetype bFrom, qsizetype bTo)
{
    if (aTo - aFrom != bTo - bFrom)
        return false;
    for (qsizetype i = 0; i < aTo - aFrom; ++i) {
        if (a[aFrom + i].text != b[bFrom + i].text)
            return false;
    }
    return true;
}

bool isServer(QSqlDatabase& db)
{
    return SqlDialect::isServer(db);
}

QString insertCell(QSqlDatabase& db)
{
    return isServer(db)
        ? QStringLiteral("INSERT INTO day_search (day_id, cell_row, cell_column, folded_cell) VALUES (?, ?, ?, ?)")
        : QStringLiteral("INSERT INTO day_search (rowid, folded_cell) VALUES (?, ?)");
}

QVariantList cellValues(QSqlDatabase& db, qint64 dayId, qint64 key, const QString& folded)
{
    if (isServer(db))
        return {dayId, key >> ColumnBits, key & LastColumn, folded};
    return {(dayId << CellBits) | key, folded};
}

Result exec(QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q(db);
    return Database::exec(q, sql, values);
}

// The entry of a cell whose text was folded.
Result removeCell(QSqlDatabase& db, qint64 dayId, qint64 key, const QString& folded)
{
    if (isServer(db))
        return exec(db, QStringLiteral("DELETE FROM day_search WHERE day_id = ? AND cell_row = ? AND cell_column = ?"),
            {dayId, key >> ColumnBits, key & LastColumn});
    return exec(db, QStringLiteral("INSERT INTO day_search (day_search, rowid, folded_cell) VALUES ('delete', ?, ?)"),
        {(dayId << CellBits) | key, folded});
}

// The trigram index needs the extension, which a server may lack or not let
// this user make: the table is then scanned, which finds the same days.
void tryTrigramIndex(QSqlDatabase& db)
{
    if (!exec(db, QStringLiteral("SAVEPOINT trigram_index")).ok())
        return;
    const bool made = exec(db, QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm")).ok()
        && exec(
            db, QStringLiteral("CREATE INDEX %1 ON day_search %2").arg(serverTrigramIndex(), serverTrigramIndexTail()))
               .ok();
    static_cast<void>(exec(db,
        made ? QStringLiteral("RELEASE SAVEPOINT trigram_index")
             : QStringLiteral("ROLLBACK TO SAVEPOINT trigram_index")));
}

QString likePattern(const QString& folded)
{
    QString escaped = folded;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    escaped.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

// Every trigram of a text, each once, as an FTS5 query that asks for them
// all: trigrams of characters, not of UTF-16 units.
QString trigramQuery(const QList<uint>& characters)
{
    QStringList terms;
    for (qsizetype i = 0; i + TrigramLength <= characters.size(); ++i) {
        QString trigram
            = QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData() + i), TrigramLength);
        trigram.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        trigram = QLatin1Char('"') + trigram + QLatin1Char('"');
        if (!terms.contains(trigram))
            terms.append(trigram);
    }
    return terms.join(QStringLiteral(" AND "));
}

} // namespace

const QList<FileObject>& fileObjects()
{
    static const QList<FileObject> all = {
        {QStringLiteral("table"), QStringLiteral("day_search"), FileTable},
        {QStringLiteral("table"), QStringLiteral("day_search_data"),
            QStringLiteral("CREATE TABLE 'day_search_data'(id INTEGER PRIMARY KEY, block BLOB)")},
        {QStringLiteral("table"), QStringLiteral("day_search_idx"),
            QStringLiteral("CREATE TABLE 'day_search_idx'(segid, term, pgno, PRIMARY KEY(segid, term)) WITHOUT ROWID")},
        {QStringLiteral("table"), QStringLiteral("day_search_config"),
            QStringLiteral("CREATE TABLE 'day_search_config'(k PRIMARY KEY, v) WITHOUT ROWID")},
    };
    return all;
}

QString serverTable()
{
    return QStringLiteral("CREATE TABLE day_search (day_id BIGINT NOT NULL, cell_row INTEGER NOT NULL, cell_column "
                          "INTEGER NOT NULL, folded_cell TEXT NOT NULL, PRIMARY KEY (day_id, cell_row, cell_column))");
}

QString serverFields()
{
    return QStringLiteral("day_id bigint NO, cell_row integer NO, cell_column integer NO, folded_cell text NO");
}

QString serverTrigramIndex()
{
    return QStringLiteral("ix_day_search_folded_cell");
}

QString serverTrigramIndexTail()
{
    return QStringLiteral("USING gin (folded_cell gin_trgm_ops)");
}

Result create(QSqlDatabase& db, const Progress& progress)
{
    const bool server = isServer(db);
    Result r = exec(db, server ? serverTable() : FileTable);
    if (!r.ok())
        return r;
    if (server)
        tryTrigramIndex(db);
    return rebuild(db, progress);
}

Result rebuild(QSqlDatabase& db, const Progress& progress)
{
    Result r = exec(db,
        isServer(db) ? QStringLiteral("DELETE FROM day_search")
                     : QStringLiteral("INSERT INTO day_search (day_search) VALUES ('delete-all')"));
    if (!r.ok())
        return r;
    qint64 total = 0;
    if (progress) {
        QSqlQuery count(db);
        r = Database::exec(count, QStringLiteral("SELECT COUNT(*) FROM tbl_Appt"));
        if (!r.ok())
            return r;
        total = count.next() ? count.value(0).toLongLong() : 0;
    }
    QSqlQuery insert(db);
    if (!insert.prepare(insertCell(db)))
        return Database::statusOf(insert.lastError());
    // A few days at a time: a server's connection answers one query at a
    // time, and a large history need not be held at once.
    qint64 done = 0;
    qint64 after = -1;
    for (;;) {
        QList<QPair<qint64, QString>> pages;
        QSqlQuery days(db);
        r = Database::exec(
            days, QStringLiteral("SELECT id, Data FROM tbl_Appt WHERE id > ? ORDER BY id LIMIT 200"), {after});
        if (!r.ok())
            return r;
        while (days.next())
            pages.append({days.value(0).toLongLong(), days.value(1).toString()});
        if (days.lastError().isValid())
            return Database::statusOf(days.lastError());
        if (pages.isEmpty())
            return Result::success();
        for (const auto& [id, page] : std::as_const(pages)) {
            const QList<Cell> cells = cellsOf(page);
            for (qsizetype at = 0; at < cells.size();) {
                const qsizetype end = keyEnd(cells, at);
                for (const QVariant& v : cellValues(db, id, cells[at].key, foldedCells(cells, at, end)))
                    insert.addBindValue(v);
                if (!insert.exec())
                    return Database::statusOf(insert.lastError());
                at = end;
            }
        }
        after = pages.last().first;
        done += pages.size();
        if (progress)
            progress(done, total);
    }
}

Result update(QSqlDatabase& db, qint64 dayId, const QString& before, const QString& after)
{
    // Only the cells whose text changed: the rest of the index stays as it is.
    const QList<Cell> was = cellsOf(before);
    const QList<Cell> is = cellsOf(after);
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < was.size() || j < is.size()) {
        const qint64 key = j == is.size() || (i < was.size() && was[i].key < is[j].key) ? was[i].key : is[j].key;
        const qsizetype wasEnd = i < was.size() && was[i].key == key ? keyEnd(was, i) : i;
        const qsizetype isEnd = j < is.size() && is[j].key == key ? keyEnd(is, j) : j;
        if (!sameTexts(was, i, wasEnd, is, j, isEnd)) {
            const QString wasFolded = foldedCells(was, i, wasEnd);
            const QString folded = foldedCells(is, j, isEnd);
            if (folded != wasFolded) {
                Result r = wasEnd > i ? removeCell(db, dayId, key, wasFolded) : Result::success();
                if (r.ok() && isEnd > j)
                    r = exec(db, insertCell(db), cellValues(db, dayId, key, folded));
                if (!r.ok())
                    return r;
            }
        }
        i = wasEnd;
        j = isEnd;
    }
    return Result::success();
}

Result daysHolding(
    QSqlDatabase& db, const QString& folded, QList<DayKey>& out, bool& narrowed, const std::optional<IdRange>& ids)
{
    out.clear();
    const QList<uint> characters = folded.toUcs4();
    // A file of an earlier version opened only to read has no index yet.
    QSqlQuery exists(db);
    Result r = Database::exec(exists,
        SqlDialect::isServer(db) ? QStringLiteral("SELECT to_regclass('day_search') IS NOT NULL")
                                 : QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = 'day_search'"));
    if (!r.ok())
        return r;
    narrowed = exists.next() && exists.value(0).toBool() && characters.size() >= TrigramLength;
    exists.finish();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // Narrowed: one row per cell that can hold the text, with its day's id,
    // date and the cell's key.
    if (!narrowed)
        r = Database::exec(q, QStringLiteral("SELECT id, CalDate FROM tbl_Appt"));
    else if (isServer(db))
        r = Database::exec(q,
            QStringLiteral("SELECT a.id, a.CalDate, (s.cell_row::bigint << %1) | s.cell_column FROM day_search s "
                           "JOIN tbl_Appt a ON a.id = s.day_id WHERE s.folded_cell LIKE ? ESCAPE '\\' AND s.day_id "
                           "BETWEEN ? AND ?")
                .arg(ColumnBits),
            {likePattern(folded), ids ? ids->first : 0, ids ? ids->second : LastDayId});
    else
        r = Database::exec(q,
            QStringLiteral("SELECT tbl_Appt.id, tbl_Appt.CalDate, day_search.rowid & %1 FROM day_search JOIN tbl_Appt "
                           "ON tbl_Appt.id = day_search.rowid >> %2 WHERE day_search MATCH ? AND day_search.rowid "
                           "BETWEEN ? AND ?")
                .arg(CellMask)
                .arg(CellBits),
            {trigramQuery(characters), (ids ? ids->first : 0) << CellBits,
                ((ids ? ids->second : LastDayId) << CellBits) | CellMask});
    if (!r.ok())
        return r;
    QHash<qint64, qsizetype> listed;
    while (q.next()) {
        const qint64 id = q.value(0).toLongLong();
        if (!narrowed) {
            out.append({id, q.value(1).toString(), std::nullopt});
            continue;
        }
        auto at = listed.constFind(id);
        if (at == listed.cend()) {
            at = listed.insert(id, out.size());
            out.append({id, q.value(1).toString(), QList<PageText::CellAt>()});
        }
        std::optional<QList<PageText::CellAt>>& cells = out[at.value()].cells;
        const qint64 key = q.value(2).toLongLong();
        const qint64 row = key >> ColumnBits;
        const qint64 column = key & LastColumn;
        // The last row and column of the key hold every cell beyond them.
        if (row == LastRow || column == LastColumn)
            cells.reset();
        else if (cells)
            cells->append({int(row) + 1, int(column) + 1});
    }
    if (q.lastError().isValid())
        return Database::statusOf(q.lastError());
    for (DayKey& day : out) {
        if (day.cells) {
            std::sort(day.cells->begin(), day.cells->end(), [](const PageText::CellAt& a, const PageText::CellAt& b) {
                return a.row != b.row ? a.row < b.row : a.column < b.column;
            });
        }
    }
    return r;
}

} // namespace DaySearchIndex
