#include "store/ChangeHistory.h"

#include "core/DayLayout.h"
#include "core/PageText.h"
#include "platform/Clock.h"
#include "store/Database.h"
#include "store/DayStore.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>
#include <algorithm>
#include <pwd.h>
#include <unistd.h>

namespace ChangeHistory {
namespace {

const QString DateFormat = QStringLiteral("yyyy-MM-dd");

const QString KindNames[]
    = {QStringLiteral("slot"), QStringLiteral("memo"), QStringLiteral("closed"), QStringLiteral("fixed memo")};

QString kindName(ChangeEntry::Kind kind)
{
    return KindNames[static_cast<int>(kind)];
}

ChangeEntry::Kind kindNamed(const QString& name)
{
    const auto* found = std::find(std::begin(KindNames), std::end(KindNames), name);
    return found == std::end(KindNames) ? ChangeEntry::Kind::Slot
                                        : static_cast<ChangeEntry::Kind>(found - std::begin(KindNames));
}

QString closedText(bool closed)
{
    return closed ? QStringLiteral("closed") : QStringLiteral("open");
}

// Rows with a time are matched by it; the blank rows above and below by
// their place.
using CellKey = std::pair<int, int>;
constexpr int UntimedRow = 1 << 20;

// A slot of record's page as laid out there, its text as before.
ChangeEntry slotEntry(const DayRecord& record, const DayLayout& layout, int row, int column, const QString& text)
{
    ChangeEntry e = slotAt(layout, row, column);
    e.day = record.calDate;
    e.before = text;
    return e;
}

qsizetype widest(const PageText::Cells& cells)
{
    qsizetype columns = 0;
    for (const QStringList& row : cells)
        columns = std::max(columns, row.size());
    return columns;
}

// The non-empty slots of a record, by time (or row) and column.
QMap<CellKey, ChangeEntry> slotsOf(const std::optional<DayRecord>& record)
{
    QMap<CellKey, ChangeEntry> out;
    if (!record || PageText::isBlank(record->pageText))
        return out;
    const PageText::Cells cells = PageText::split(record->pageText);
    const DayLayout layout = DayLayout::fromRecord(*record).lengthened(int(cells.size()), int(widest(cells)));
    for (qsizetype p = 0; p < cells.size(); ++p) {
        for (qsizetype c = 0; c < cells[p].size(); ++c) {
            if (cells[p][c].isEmpty())
                continue;
            const ChangeEntry e = slotEntry(*record, layout, int(p) + 1, int(c) + 1, cells[p][c]);
            out.insert({e.minutes >= 0 ? e.minutes : UntimedRow + e.row, e.column}, e);
        }
    }
    return out;
}

// The slots whose text differs between two pages laid out alike: cell by
// cell, the layout worked out only for what changed (nearly every save
// changes one slot).
QList<ChangeEntry> changedSlots(const DayRecord& before, const DayRecord& after)
{
    QList<ChangeEntry> out;
    const PageText::Cells was = PageText::split(before.pageText);
    const PageText::Cells now = PageText::split(after.pageText);
    const auto cellOf = [](const PageText::Cells& cells, qsizetype p, qsizetype c) {
        return p < cells.size() && c < cells[p].size() ? cells[p][c] : QString();
    };
    std::optional<DayLayout> layout;
    for (qsizetype p = 0; p < std::max(was.size(), now.size()); ++p) {
        const qsizetype columns = std::max(p < was.size() ? was[p].size() : 0, p < now.size() ? now[p].size() : 0);
        for (qsizetype c = 0; c < columns; ++c) {
            const QString old = cellOf(was, p, c);
            const QString text = cellOf(now, p, c);
            if (old == text)
                continue;
            if (!layout) {
                layout = DayLayout::fromRecord(after).lengthened(
                    int(std::max(was.size(), now.size())), int(std::max(widest(was), widest(now))));
            }
            ChangeEntry e = slotEntry(after, *layout, int(p) + 1, int(c) + 1, old);
            e.after = text;
            out.append(e);
        }
    }
    return out;
}

ChangeEntry dayEntry(const QDate& day, ChangeEntry::Kind kind, const QString& before, const QString& after)
{
    ChangeEntry e;
    e.day = day;
    e.kind = kind;
    e.before = before;
    e.after = after;
    return e;
}

ChangeEntry entryFrom(const QSqlQuery& q)
{
    ChangeEntry e;
    e.id = q.value(0).toLongLong();
    e.day = QDate::fromString(q.value(1).toString(), DateFormat);
    e.kind = kindNamed(q.value(2).toString());
    e.row = q.value(3).toInt();
    e.column = q.value(4).toInt();
    e.time = q.value(5).toString();
    e.minutes = q.value(6).isNull() ? -1 : q.value(6).toInt();
    e.provider = q.value(7).toString();
    e.before = q.value(8).toString();
    e.after = q.value(9).toString();
    e.changedAt = QDateTime::fromString(q.value(10).toString(), Qt::ISODateWithMs).toLocalTime();
    e.userName = q.value(11).toString();
    e.machineName = q.value(12).toString();
    e.reason = q.value(13).toString();
    return e;
}

QVariant text(const QString& s)
{
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

} // namespace

ChangeEntry slotAt(const DayLayout& layout, int row, int column)
{
    ChangeEntry e;
    e.row = row;
    e.column = column;
    const qsizetype time = row - 2;
    if (time >= 0 && time < layout.timeMinutes.size()) {
        e.minutes = layout.timeMinutes[time];
        e.time = layout.timeTexts[time];
    }
    e.provider = layout.providerName(column);
    return e;
}

QList<ChangeEntry> dayChanges(const std::optional<DayRecord>& before, const std::optional<DayRecord>& after)
{
    QList<ChangeEntry> out;
    const QDate day = after ? after->calDate : before ? before->calDate : QDate();
    // Nearly every save changes one slot of a page in the same layout.
    const bool sameLayout = before && after && before->open == after->open && before->close == after->close
        && before->slotMinutes == after->slotMinutes && before->providerCount == after->providerCount
        && before->names == after->names;
    if (sameLayout && before->pageText != after->pageText) {
        out.append(changedSlots(*before, *after));
    } else if (!sameLayout) {
        const QMap<CellKey, ChangeEntry> was = slotsOf(before);
        const QMap<CellKey, ChangeEntry> now = slotsOf(after);
        for (auto it = now.cbegin(); it != now.cend(); ++it) {
            const QString old = was.value(it.key()).before;
            if (old != it->before) {
                ChangeEntry e = *it;
                e.after = e.before;
                e.before = old;
                out.append(e);
            }
        }
        for (auto it = was.cbegin(); it != was.cend(); ++it) {
            if (!now.contains(it.key()))
                out.append(*it);
        }
    }
    const QString memoBefore = before ? before->memo : QString();
    const QString memoAfter = after ? after->memo : QString();
    if (memoBefore != memoAfter)
        out.append(dayEntry(day, ChangeEntry::Kind::Memo, memoBefore, memoAfter));
    const bool closedBefore = before && before->closed;
    const bool closedAfter = after && after->closed;
    if (closedBefore != closedAfter)
        out.append(dayEntry(day, ChangeEntry::Kind::Closed, closedText(closedBefore), closedText(closedAfter)));
    return out;
}

QList<ChangeEntry> contentChanges(const Content& before, const Content& after)
{
    QList<ChangeEntry> out;
    const auto recordOf = [](const QMap<QDate, DayRecord>& days, const QDate& day) {
        const auto it = days.constFind(day);
        return it == days.cend() ? std::optional<DayRecord>() : std::optional<DayRecord>(*it);
    };
    for (auto it = after.days.cbegin(); it != after.days.cend(); ++it)
        out.append(dayChanges(recordOf(before.days, it.key()), *it));
    for (auto it = before.days.cbegin(); it != before.days.cend(); ++it) {
        if (!after.days.contains(it.key()))
            out.append(dayChanges(*it, std::nullopt));
    }
    if (before.fixedMemo != after.fixedMemo)
        out.append(fixedMemoChange(before.fixedMemo, after.fixedMemo));
    return out;
}

ChangeEntry fixedMemoChange(const QString& before, const QString& after)
{
    return dayEntry(Clock::today(), ChangeEntry::Kind::FixedMemo, before, after);
}

Result write(QSqlDatabase& db, QList<ChangeEntry> entries, const QString& reason)
{
    if (entries.isEmpty())
        return Result::success();
    const QString when = Clock::now().toUTC().toString(Qt::ISODateWithMs);
    const QString user = userName();
    const QString machine = machineName();
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral(
            "INSERT INTO tbl_History (CalDate, Kind, SlotRow, SlotColumn, SlotTime, SlotMinutes, Provider, "
            "TextBefore, TextAfter, ChangedAt, UserName, MachineName, Reason) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
            "?, ?, ?)")))
        return Database::statusOf(q.lastError());
    for (const ChangeEntry& e : entries) {
        const QVariantList values = {e.day.toString(DateFormat), kindName(e.kind), e.row, e.column, text(e.time),
            e.minutes < 0 ? QVariant(QMetaType::fromType<int>()) : QVariant(e.minutes), text(e.provider),
            text(e.before), text(e.after), when, text(user), text(machine), text(reason)};
        for (int i = 0; i < values.size(); ++i)
            q.bindValue(i, values[i]);
        if (!q.exec())
            return Database::statusOf(q.lastError());
    }
    return Result::success();
}

Result readContent(QSqlDatabase& db, Content& out)
{
    out = Content();
    QList<DayRecord> days;
    Result r = DayStore::readAllOn(db, days);
    if (!r.ok())
        return r;
    for (const DayRecord& d : std::as_const(days))
        out.days.insert(d.calDate, d);
    QSqlQuery memo(db);
    r = Database::exec(memo, QStringLiteral("SELECT FixedMemo FROM tbl_Setup ORDER BY id LIMIT 1"));
    if (r.ok() && memo.next())
        out.fixedMemo = memo.value(0).toString();
    return r;
}

Result recordReplacement(QSqlDatabase& db, const Content& before)
{
    Content now;
    Result r = readContent(db, now);
    return r.ok() ? write(db, contentChanges(before, now), RestoreReason) : r;
}

Result readDay(Database& db, const QDate& day, QList<ChangeEntry>& out)
{
    out.clear();
    return db.read([&](QSqlDatabase& conn) {
        // A file of an earlier version read without opening it for writing
        // has kept no history yet.
        QSqlQuery version(conn);
        if (!db.isServer() && Database::exec(version, QStringLiteral("PRAGMA user_version")).ok() && version.next()
            && version.value(0).toInt() < 4)
            return Result::success();
        version.finish();
        QSqlQuery q(conn);
        q.setForwardOnly(true);
        Result r = Database::exec(q,
            QStringLiteral("SELECT id, CalDate, Kind, SlotRow, SlotColumn, SlotTime, SlotMinutes, Provider, "
                           "TextBefore, TextAfter, ChangedAt, UserName, MachineName, Reason FROM tbl_History "
                           "WHERE CalDate = ? ORDER BY id DESC"),
            {day.toString(DateFormat)});
        if (!r.ok())
            return r;
        while (q.next())
            out.append(entryFrom(q));
        return r;
    });
}

Result size(Database& db, Size& out)
{
    return db.read([&](QSqlDatabase& conn) {
        QSqlQuery q(conn);
        Result r = Database::exec(q,
            QStringLiteral("SELECT COUNT(*), COALESCE(SUM(LENGTH(TextBefore) + LENGTH(TextAfter) + LENGTH(ChangedAt) "
                           "+ LENGTH(UserName) + LENGTH(MachineName) + 64), 0) FROM tbl_History"));
        if (r.ok() && q.next())
            out = {q.value(0).toLongLong(), q.value(1).toLongLong()};
        return r;
    });
}

QString placeOf(const ChangeEntry& e)
{
    switch (e.kind) {
    case ChangeEntry::Kind::Slot: {
        const QString time = e.time.isEmpty() ? QStringLiteral("row %1").arg(e.row) : e.time;
        return e.provider.trimmed().isEmpty() ? QStringLiteral("%1, column %2").arg(time).arg(e.column)
                                              : QStringLiteral("%1, %2").arg(time, e.provider.trimmed());
    }
    case ChangeEntry::Kind::Memo:
        return QStringLiteral("Daily memo");
    case ChangeEntry::Kind::Closed:
        return QStringLiteral("Open/closed");
    case ChangeEntry::Kind::FixedMemo:
        return QStringLiteral("Fixed memo");
    }
    return QString();
}

QString describe(const ChangeEntry& e)
{
    const auto quoted = [](QString s) {
        return QLatin1Char('"') + s.replace(QLatin1Char('\n'), QStringLiteral(" / ")) + QLatin1Char('"');
    };
    QString line = QStringLiteral("%1  %2@%3  %4: %5 -> %6")
                       .arg(e.changedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), e.userName, e.machineName,
                           placeOf(e), quoted(e.before), quoted(e.after));
    if (!e.reason.isEmpty())
        line += QStringLiteral("  (%1)").arg(e.reason);
    return line;
}

bool putBack(const ChangeEntry& e, const DayLayout& layout, DayMerge::Content& day, QString& fixedMemo)
{
    switch (e.kind) {
    case ChangeEntry::Kind::Memo:
        day.memo = e.before;
        return true;
    case ChangeEntry::Kind::Closed:
        day.closed = e.before == closedText(true);
        return true;
    case ChangeEntry::Kind::FixedMemo:
        fixedMemo = e.before;
        return true;
    case ChangeEntry::Kind::Slot:
        break;
    }
    const qsizetype time = layout.timeMinutes.indexOf(e.minutes);
    const int row = e.minutes < 0 ? e.row : time < 0 ? -1 : int(time) + 2;
    if (row < 1 || row > layout.pageRows() || e.column < 1 || e.column > layout.pageColumns())
        return false;
    PageText::Cells cells = PageText::fit(day.pageText, layout.pageRows(), layout.pageColumns());
    cells[row - 1][e.column - 1] = PageText::cleanCell(e.before);
    day.pageText = PageText::join(cells);
    return true;
}

// The login's name: from the session, else (a program started without one,
// by a service or a scheduled job) from the account the program runs as.
QString userName()
{
    const QString user = qEnvironmentVariable("USER");
    if (!user.isEmpty())
        return user;
    const passwd* account = getpwuid(geteuid());
    return account ? QString::fromLocal8Bit(account->pw_name) : QString();
}

QString machineName()
{
    return QSysInfo::machineHostName();
}

} // namespace ChangeHistory
