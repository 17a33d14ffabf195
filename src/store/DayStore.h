#pragma once

#include "core/DayRecord.h"
#include "core/Result.h"
#include "core/Settings.h"
#include "store/DaySearchIndex.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <optional>

class Database;
class QSqlDatabase;

// Find, create, save and delete of day records. CalDate is unique and
// indexed; every save runs in one transaction that re-reads the stored record
// and merges another copy's changes instead of overwriting them.
class DayStore
{
public:
    explicit DayStore(Database& db)
        : m_db(db)
    {
    }

    // The record of date, if there is one.
    Result find(const QDate& date, std::optional<DayRecord>& out);
    // The same without waiting: Busy at once while another copy holds the
    // file (for the window's poll of what other copies saved).
    Result findOnce(const QDate& date, std::optional<DayRecord>& out);

    // Finds the record of date or creates it (insert-or-ignore, then find, in
    // one transaction) with copies of the current settings' six layout fields
    // and newPageText as its page. created tells whether this call made it.
    Result open(const QDate& date, const Settings& current, DayRecord& out, bool& created,
        const QString& newPageText = QString());

    struct SaveOutcome
    {
        Result status;
        bool deleted = false; // the day was open and wholly empty
        bool merged = false; // another copy had changed it since it was read
        DayRecord stored; // what the database now holds (when not deleted)
    };

    enum class SaveMode {
        DeleteWhenEmpty, // leaving the day: an empty open day keeps no record
        KeepEmpty, // while the day is shown: always stored, never deleted
    };

    // Stores edited.pageText / memo / clinic for the day read as base. When the
    // stored record no longer holds what base held, merges cell by cell against
    // base: a side that alone changed a cell wins; two different changes keep
    // both texts joined by " / " (memo: on two lines). With DeleteWhenEmpty an
    // open day whose merged page is blank and whose memo is empty is deleted;
    // with KeepEmpty the record is kept in any case (made again if another
    // copy deleted it). A save that would store what the database holds
    // already writes nothing: no version moves.
    // The copied settings of edited are stored with it: they describe the
    // layout its page is in. Another desk's save in another layout is merged
    // by time (DayPlacement::alignLayouts).
    SaveOutcome save(const DayRecord& base, const DayRecord& edited, SaveMode mode = SaveMode::DeleteWhenEmpty);

    // Every day record in date order, memos left empty: what a search over all
    // the pages needs, read in one statement.
    Result readAll(QList<DayRecord>& out);
    // The same on a connection already open (inside a transaction of the
    // caller's).
    static Result readAllOn(QSqlDatabase& db, QList<DayRecord>& out);
    // The day records from first to last (both included), in date order.
    Result readBetween(const QDate& first, const QDate& last, QList<DayRecord>& out);

    // The days whose page can hold folded, through the search index
    // (DaySearchIndex::daysHolding).
    Result daysHolding(const QString& folded, QList<DaySearchIndex::DayKey>& out, bool& narrowed,
        const std::optional<DaySearchIndex::IdRange>& ids = std::nullopt);
    // The first count days in the order finding lists them (today and later
    // by date, then the past, latest first), their cells unnamed.
    Result listedFirst(const QDate& today, int count, QList<DaySearchIndex::DayKey>& out);
    // The records of ids that are still stored, in no particular order.
    Result read(const QList<qint64>& ids, QList<DayRecord>& out);
    // The same for the ids of cells, each page holding the text of the cells
    // named for it alone (PageText::keptCells), so that only they are
    // decoded; cut lists the records read so. A page that cannot be cut is
    // read whole.
    Result readCells(const QHash<qint64, QList<PageText::CellAt>>& cells, QList<DayRecord>& out, QSet<qint64>& cut);

    // Number of day records (for tests, benchmarks and the back-up window).
    Result count(qint64& out);

private:
    Database& m_db;
};
