#include "store/DaySearchIndex.h"

#include "core/PageText.h"
#include "core/TextFolding.h"
#include "store/Database.h"
#include "store/SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace DaySearchIndex {
namespace {

// No position lists (detail=none): the index only narrows the days, the
// search itself then reads their pages. Case is folded before it is stored.
const QString FileTable = QStringLiteral("CREATE VIRTUAL TABLE day_search USING fts5(folded_page, tokenize='trigram "
                                         "case_sensitive 1', detail=none, columnsize=0)");

QString keyColumn(QSqlDatabase& db)
{
    return SqlDialect::isServer(db) ? QStringLiteral("id") : QStringLiteral("rowid");
}

Result exec(QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    QSqlQuery q(db);
    return Database::exec(q, sql, values);
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

// For the file's index: FTS5 finds the pages that hold all of the text's
// trigrams, and GLOB keeps those that hold it whole (case matters: both are
// folded).
QString globPattern(const QString& folded)
{
    QString escaped;
    for (QChar c : folded) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('['))
            escaped += QLatin1Char('[') + c + QLatin1Char(']');
        else
            escaped += c;
    }
    return QLatin1Char('*') + escaped + QLatin1Char('*');
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
        {QStringLiteral("table"), QStringLiteral("day_search_content"),
            QStringLiteral("CREATE TABLE 'day_search_content'(id INTEGER PRIMARY KEY, c0)")},
        {QStringLiteral("table"), QStringLiteral("day_search_config"),
            QStringLiteral("CREATE TABLE 'day_search_config'(k PRIMARY KEY, v) WITHOUT ROWID")},
    };
    return all;
}

QString serverTable()
{
    return QStringLiteral("CREATE TABLE day_search (id BIGINT PRIMARY KEY, folded_page TEXT NOT NULL)");
}

QString serverTrigramIndex()
{
    return QStringLiteral("ix_day_search_folded_page");
}

QString serverTrigramIndexTail()
{
    return QStringLiteral("USING gin (folded_page gin_trgm_ops)");
}

Result create(QSqlDatabase& db, const std::function<void(qint64, qint64)>& progress)
{
    const bool server = SqlDialect::isServer(db);
    Result r = exec(db, server ? serverTable() : FileTable);
    if (!r.ok())
        return r;
    if (server)
        tryTrigramIndex(db);
    return rebuild(db, progress);
}

Result rebuild(QSqlDatabase& db, const std::function<void(qint64, qint64)>& progress)
{
    Result r = exec(db, QStringLiteral("DELETE FROM day_search"));
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
    if (!insert.prepare(QStringLiteral("INSERT INTO day_search (%1, folded_page) VALUES (?, ?)").arg(keyColumn(db))))
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
            if (!PageText::isBlank(page)) {
                insert.addBindValue(id);
                insert.addBindValue(TextFolding::foldedPage(page));
                if (!insert.exec())
                    return Database::statusOf(insert.lastError());
            }
        }
        after = pages.last().first;
        done += pages.size();
        if (progress)
            progress(done, total);
    }
}

Result update(QSqlDatabase& db, qint64 dayId, const QString& pageText)
{
    Result r = remove(db, dayId);
    if (!r.ok() || PageText::isBlank(pageText))
        return r;
    return exec(db, QStringLiteral("INSERT INTO day_search (%1, folded_page) VALUES (?, ?)").arg(keyColumn(db)),
        {dayId, TextFolding::foldedPage(pageText)});
}

Result remove(QSqlDatabase& db, qint64 dayId)
{
    return exec(db, QStringLiteral("DELETE FROM day_search WHERE %1 = ?").arg(keyColumn(db)), {dayId});
}

Result daysHolding(QSqlDatabase& db, const QString& folded, bool whole, QList<DayKey>& out, bool& narrowed)
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
    if (!narrowed)
        r = Database::exec(q, QStringLiteral("SELECT id, CalDate FROM tbl_Appt"));
    else if (SqlDialect::isServer(db))
        r = Database::exec(q,
            QStringLiteral("SELECT a.id, a.CalDate FROM day_search s JOIN tbl_Appt a ON a.id = s.id "
                           "WHERE s.folded_page LIKE ? ESCAPE '\\'"),
            {likePattern(folded)});
    else if (whole)
        r = Database::exec(q,
            QStringLiteral("SELECT a.id, a.CalDate FROM day_search s JOIN tbl_Appt a ON a.id = s.rowid "
                           "WHERE s.folded_page GLOB ?"),
            {globPattern(folded)});
    else
        r = Database::exec(q,
            QStringLiteral("SELECT a.id, a.CalDate FROM day_search s JOIN tbl_Appt a ON a.id = s.rowid "
                           "WHERE day_search MATCH ?"),
            {trigramQuery(characters)});
    if (!r.ok())
        return r;
    while (q.next())
        out.append({q.value(0).toLongLong(), q.value(1).toString()});
    if (q.lastError().isValid())
        return Database::statusOf(q.lastError());
    return r;
}

} // namespace DaySearchIndex
