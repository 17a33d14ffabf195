#include "store/DayStore.h"

#include "core/DayMerge.h"
#include "core/DayPlacement.h"
#include "core/PageText.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"
#include "store/DaySearchIndex.h"
#include "store/SqlDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace {

const QString DateFormat = QStringLiteral("yyyy-MM-dd");

QString dateKey(const QDate& date)
{
    return date.toString(DateFormat);
}

const QString RecordColumns
    = QStringLiteral("id, CalDate, Clinic, Data, Memo, location, open, Close, timeslot, Listno, Names, Version");

// One row selected with RecordColumns; its page left out when another form
// of it was selected.
DayRecord recordFrom(const QSqlQuery& q, bool withPage = true)
{
    DayRecord r;
    r.id = q.value(0).toLongLong();
    r.calDate = QDate::fromString(q.value(1).toString(), DateFormat);
    r.closed = q.value(2).toInt() != 0;
    if (withPage)
        r.pageText = q.value(3).toString();
    r.memo = q.value(4).toString();
    r.location = q.value(5).toString();
    r.open = q.value(6).toString();
    r.close = q.value(7).toString();
    r.slotMinutes = q.value(8).toInt();
    r.providerCount = q.value(9).toInt();
    r.names = q.value(10).toString();
    r.version = q.value(11).toLongLong();
    return r;
}

// Always through the unique index on CalDate.
Result findIn(QSqlDatabase& db, const QDate& date, std::optional<DayRecord>& out)
{
    out.reset();
    QSqlQuery q(db);
    Result s = Database::exec(
        q, QStringLiteral("SELECT %1 FROM tbl_Appt WHERE CalDate = ?").arg(RecordColumns), {dateKey(date)});
    if (!s.ok())
        return s;
    if (q.next())
        out = recordFrom(q);
    q.finish();
    return Result::success();
}

QVariant text(const QString& s)
{
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

// What a save of a day makes of the record stored (nullopt: none).
struct SaveResult
{
    DayRecord row; // the content merged, with the copied settings of its layout
    bool merged = false; // another copy had changed the day since it was read
    bool deleted = false; // the day was open and wholly empty
    bool writes = false; // the database does not hold that yet
};

bool sameRow(const DayRecord& a, const DayRecord& b)
{
    return a.pageText == b.pageText && a.memo == b.memo && a.closed == b.closed && a.location == b.location
        && a.open == b.open && a.close == b.close && a.slotMinutes == b.slotMinutes
        && a.providerCount == b.providerCount && a.names == b.names;
}

SaveResult resultOfSave(const DayRecord& baseAsRead, const DayRecord& editedAsShown,
    const std::optional<DayRecord>& storedAsRead, DayStore::SaveMode mode)
{
    // Another desk may show the day in another layout (it opened it under
    // other settings): the three versions are compared and merged in one
    // layout, rows matched by time.
    DayRecord base = baseAsRead;
    DayRecord edited = editedAsShown;
    std::optional<DayRecord> stored = storedAsRead;
    if (stored)
        DayPlacement::alignLayouts(base, edited, *stored);

    SaveResult out;
    // Another copy may have saved the day since base was read, or deleted
    // it because it was empty then.
    out.merged = !DayMerge::unchangedSince(base, stored);
    const DayMerge::Content merged = DayMerge::merge(base, DayMerge::contentOf(edited), stored);
    // The copied settings always describe the layout the text is in.
    out.row = edited;
    out.row.calDate = base.calDate;
    out.row.version = std::max<qint64>(base.version, 0);
    out.row.pageText = merged.pageText;
    out.row.memo = merged.memo;
    out.row.closed = merged.closed;
    out.deleted = mode == DayStore::SaveMode::DeleteWhenEmpty && !merged.closed && merged.memo.isEmpty()
        && PageText::isBlank(merged.pageText);
    // Compared with the record as stored, not as this desk read it: a day
    // another desk changed while this one only looked at it is theirs as it
    // stands.
    out.writes = out.deleted ? storedAsRead.has_value() : !storedAsRead || !sameRow(out.row, *storedAsRead);
    return out;
}

// Every record a query of RecordColumns gives, in its order.
Result readRecords(QSqlDatabase& db, const QString& sql, QList<DayRecord>& out)
{
    out.clear();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    Result r = Database::exec(q, sql);
    if (!r.ok())
        return r;
    while (q.next())
        out.append(recordFrom(q));
    // A step that failed half-way ends the loop like the last row does.
    if (q.lastError().isValid())
        return Database::statusOf(q.lastError());
    return r;
}

} // namespace

Result DayStore::find(const QDate& date, std::optional<DayRecord>& out)
{
    return m_db.read([&](QSqlDatabase& db) { return findIn(db, date, out); });
}

Result DayStore::findOnce(const QDate& date, std::optional<DayRecord>& out)
{
    return m_db.readOnce([&](QSqlDatabase& db) { return findIn(db, date, out); });
}

Result DayStore::open(
    const QDate& date, const Settings& current, DayRecord& out, bool& created, const QString& newPageText)
{
    created = false;
    std::optional<DayRecord> found;
    Result s = find(date, found);
    if (!s.ok())
        return s;
    if (found) {
        out = *found;
        return s;
    }
    // Another copy may create the same day at the same moment: the unique
    // index lets only one insert through, and both then find that record.
    return m_db.write([&](QSqlDatabase& db) {
        created = false;
        QSqlQuery q(db);
        Result r = Database::exec(q,
            SqlDialect::insertIgnoringDuplicate(QStringLiteral("tbl_Appt"),
                {QStringLiteral("CalDate"), QStringLiteral("Clinic"), QStringLiteral("Data"),
                    QStringLiteral("location"), QStringLiteral("open"), QStringLiteral("Close"),
                    QStringLiteral("timeslot"), QStringLiteral("Listno"), QStringLiteral("Names"),
                    QStringLiteral("Version")},
                QStringLiteral("CalDate")),
            {dateKey(date), 0, newPageText.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : newPageText,
                text(current.location), text(current.open), text(current.close), current.slotMinutes,
                current.providerCount, text(current.names), 1});
        if (!r.ok())
            return r;
        created = q.numRowsAffected() == 1;
        q.finish();
        std::optional<DayRecord> again;
        r = findIn(db, date, again);
        if (!r.ok())
            return r;
        if (!again)
            return Result::failed(QStringLiteral("the record of %1 could not be created").arg(dateKey(date)));
        out = *again;
        // Made here, its page goes into the search index with it.
        return created ? DaySearchIndex::update(db, again->id, QString(), again->pageText) : r;
    });
}

DayStore::SaveOutcome DayStore::save(const DayRecord& baseAsRead, const DayRecord& editedAsShown, SaveMode mode)
{
    // Looking at a day changes nothing: when the database already holds what
    // the save would store, no write transaction is begun, so that no version
    // moves and no other desk is woken to read the day again.
    SaveOutcome out;
    std::optional<DayRecord> found;
    out.status = find(baseAsRead.calDate, found);
    if (!out.status.ok())
        return out;
    const SaveResult looked = resultOfSave(baseAsRead, editedAsShown, found, mode);
    if (!looked.writes) {
        out.merged = looked.merged;
        out.deleted = looked.deleted;
        if (found && !looked.deleted)
            out.stored = *found;
        return out;
    }
    out.status = m_db.write([&](QSqlDatabase& db) {
        out = SaveOutcome();
        std::optional<DayRecord> stored;
        Result r = findIn(db, baseAsRead.calDate, stored);
        if (!r.ok())
            return r;
        const qint64 storedId = stored ? stored->id : 0;
        // Nearly always the record looked at a moment ago: its merge stands.
        const bool asLooked = stored && found
            ? stored->id == found->id && stored->version == found->version && sameRow(*stored, *found)
            : stored.has_value() == found.has_value();
        const SaveResult result = asLooked ? looked : resultOfSave(baseAsRead, editedAsShown, stored, mode);
        const DayRecord& row = result.row;
        out.merged = result.merged;
        const std::optional<QString> storedPage = stored ? std::optional(stored->pageText) : std::nullopt;
        QSqlQuery q(db);
        if (result.deleted) {
            out.deleted = true;
            if (!stored)
                return Result::success();
            r = Database::exec(q, QStringLiteral("DELETE FROM tbl_Appt WHERE id = ?"), {storedId});
            if (r.ok())
                r = ChangeHistory::write(db, ChangeHistory::dayChanges(stored, std::nullopt));
            return r.ok() ? DaySearchIndex::update(db, storedId, stored->pageText, QString()) : r;
        }
        if (!result.writes) {
            out.stored = *stored; // another copy stored the same meanwhile
            return r;
        }
        if (stored) {
            r = Database::exec(q,
                QStringLiteral("UPDATE tbl_Appt SET Data = ?, Memo = ?, Clinic = ?, location = ?, open = ?, Close = ?, "
                               "timeslot = ?, Listno = ?, Names = ?, Version = Version + 1 WHERE id = ?"),
                {text(row.pageText), text(row.memo), row.closed ? 1 : 0, text(row.location), text(row.open),
                    text(row.close), row.slotMinutes, row.providerCount, text(row.names), storedId});
        } else {
            r = Database::exec(q,
                QStringLiteral("INSERT INTO tbl_Appt (CalDate, Clinic, Data, Memo, location, open, Close, timeslot, "
                               "Listno, Names, Version) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {dateKey(row.calDate), row.closed ? 1 : 0, text(row.pageText), text(row.memo), text(row.location),
                    text(row.open), text(row.close), row.slotMinutes, row.providerCount, text(row.names),
                    row.version + 1});
        }
        if (!r.ok())
            return r;
        q.finish();
        std::optional<DayRecord> now;
        r = findIn(db, row.calDate, now);
        if (!r.ok())
            return r;
        if (now)
            out.stored = *now;
        // What was stored against what was stored before, whatever the merge
        // made of this desk's edit.
        r = ChangeHistory::write(db, ChangeHistory::dayChanges(stored, now));
        if (!r.ok())
            return r;
        // The search index follows the page in the same transaction.
        if (now && storedPage != now->pageText)
            r = DaySearchIndex::update(db, now->id, storedPage.value_or(QString()), now->pageText);
        return r;
    });
    if (!out.status.ok()) {
        // Nothing of the failed attempt was committed.
        const Result status = out.status;
        out = SaveOutcome();
        out.status = status;
    }
    return out;
}

Result DayStore::readAll(QList<DayRecord>& out)
{
    return m_db.read([&](QSqlDatabase& db) { return readAllOn(db, out); });
}

Result DayStore::readAllOn(QSqlDatabase& db, QList<DayRecord>& out)
{
    return readRecords(db, QStringLiteral("SELECT %1 FROM tbl_Appt ORDER BY CalDate").arg(RecordColumns), out);
}

Result DayStore::readBetween(const QDate& first, const QDate& last, QList<DayRecord>& out)
{
    return m_db.read([&](QSqlDatabase& db) {
        return readRecords(db,
            QStringLiteral("SELECT %1 FROM tbl_Appt WHERE CalDate BETWEEN '%2' AND '%3' ORDER BY CalDate")
                .arg(RecordColumns, dateKey(first), dateKey(last)),
            out);
    });
}

Result DayStore::daysHolding(const QString& folded, QList<DaySearchIndex::DayKey>& out, bool& narrowed,
    const std::optional<DaySearchIndex::IdRange>& ids)
{
    return m_db.read([&](QSqlDatabase& db) { return DaySearchIndex::daysHolding(db, folded, out, narrowed, ids); });
}

Result DayStore::listedFirst(const QDate& today, int count, QList<DaySearchIndex::DayKey>& out)
{
    return m_db.read([&](QSqlDatabase& db) {
        out.clear();
        for (const QString& sql : {QStringLiteral("SELECT id, CalDate FROM tbl_Appt WHERE CalDate >= ? ORDER BY "
                                                  "CalDate LIMIT ?"),
                 QStringLiteral("SELECT id, CalDate FROM tbl_Appt WHERE CalDate < ? ORDER BY CalDate DESC LIMIT ?")}) {
            QSqlQuery q(db);
            Result r = Database::exec(q, sql, {dateKey(today), count - out.size()});
            if (!r.ok())
                return r;
            while (q.next())
                out.append({q.value(0).toLongLong(), q.value(1).toString(), std::nullopt});
            if (q.lastError().isValid())
                return Database::statusOf(q.lastError());
        }
        return Result::success();
    });
}

Result DayStore::read(const QList<qint64>& ids, QList<DayRecord>& out)
{
    out.clear();
    if (ids.isEmpty())
        return Result::success();
    QStringList numbers;
    for (qint64 id : ids)
        numbers.append(QString::number(id));
    return m_db.read([&](QSqlDatabase& db) {
        return readRecords(db,
            QStringLiteral("SELECT %1 FROM tbl_Appt WHERE id IN (%2)")
                .arg(RecordColumns, numbers.join(QLatin1Char(','))),
            out);
    });
}

Result DayStore::readCells(
    const QHash<qint64, QList<PageText::CellAt>>& cells, QList<DayRecord>& out, QSet<qint64>& cut)
{
    out.clear();
    cut.clear();
    if (cells.isEmpty())
        return Result::success();
    QStringList numbers;
    for (auto it = cells.cbegin(); it != cells.cend(); ++it)
        numbers.append(QString::number(it.key()));
    QList<qint64> whole;
    Result r = m_db.read([&](QSqlDatabase& db) {
        out.clear();
        cut.clear();
        whole.clear();
        // The page as its UTF-8 bytes, which are cut before any is decoded.
        QString columns = RecordColumns;
        columns.replace(QStringLiteral(" Data,"),
            SqlDialect::isServer(db) ? QStringLiteral(" convert_to(Data, 'UTF8'),")
                                     : QStringLiteral(" CAST(Data AS BLOB),"));
        QSqlQuery q(db);
        q.setForwardOnly(true);
        Result read = Database::exec(
            q, QStringLiteral("SELECT %1 FROM tbl_Appt WHERE id IN (%2)").arg(columns, numbers.join(QLatin1Char(','))));
        if (!read.ok())
            return read;
        while (q.next()) {
            DayRecord record = recordFrom(q, false);
            const QByteArray page = q.value(3).toByteArray();
            std::optional<QString> kept = PageText::keptCells(page, cells.value(record.id));
            if (!kept) {
                whole.append(record.id);
                continue;
            }
            record.pageText = *kept;
            cut.insert(record.id);
            out.append(record);
        }
        if (q.lastError().isValid())
            return Database::statusOf(q.lastError());
        return read;
    });
    if (!r.ok() || whole.isEmpty())
        return r;
    QList<DayRecord> wholeRecords;
    r = read(whole, wholeRecords);
    out.append(wholeRecords);
    return r;
}

Result DayStore::count(qint64& out)
{
    return m_db.read([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        Result r = Database::exec(q, QStringLiteral("SELECT COUNT(*) FROM tbl_Appt"));
        if (!r.ok())
            return r;
        out = q.next() ? q.value(0).toLongLong() : 0;
        return r;
    });
}
