#include "store/SettingsStore.h"

#include "core/PageText.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"

#include <QSqlQuery>

namespace {
// The table holds one record; should there ever be more, the first counts.
const QString FirstRecord = QStringLiteral("id = (SELECT MIN(id) FROM tbl_Setup)");

Result updateFirst(Database& db, const QString& assignments, const QVariantList& values)
{
    return db.write([&](QSqlDatabase& conn) {
        QSqlQuery q(conn);
        Result r = Database::exec(
            q, QStringLiteral("UPDATE tbl_Setup SET %1 WHERE %2").arg(assignments, FirstRecord), values);
        if (r.ok() && q.numRowsAffected() != 1)
            return Result::failed(QStringLiteral("the settings record is missing"));
        return r;
    });
}

QVariant text(const QString& s)
{
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

Result fixedMemoIn(QSqlDatabase& conn, QString& out)
{
    QSqlQuery q(conn);
    Result r = Database::exec(q, QStringLiteral("SELECT FixedMemo FROM tbl_Setup WHERE %1").arg(FirstRecord));
    if (!r.ok())
        return r;
    if (!q.next())
        return Result::failed(QStringLiteral("the settings record is missing"));
    out = q.value(0).toString();
    return r;
}
} // namespace

Result SettingsStore::read(Settings& out)
{
    return m_db.read([&](QSqlDatabase& conn) {
        QSqlQuery q(conn);
        Result r = Database::exec(q,
            QStringLiteral("SELECT location, open, close, timeslot, listno, names, FixedMemo, Readme, Licence "
                           "FROM tbl_Setup WHERE %1")
                .arg(FirstRecord));
        if (!r.ok())
            return r;
        if (!q.next())
            return Result::failed(QStringLiteral("the settings record is missing"));
        Settings s;
        s.location = q.value(0).toString();
        s.open = q.value(1).toString();
        s.close = q.value(2).toString();
        // Stored as whole numbers, read as 16-bit ones.
        s.slotMinutes = static_cast<qint16>(q.value(3).toInt());
        s.providerCount = static_cast<qint16>(q.value(4).toInt());
        s.names = q.value(5).toString();
        s.fixedMemo = q.value(6).toString();
        s.readme = q.value(7).toString();
        s.licence = q.value(8).toString();
        out = s;
        return r;
    });
}

Result SettingsStore::writeLayout(const Settings& s)
{
    return updateFirst(m_db, QStringLiteral("location = ?, open = ?, close = ?, timeslot = ?, listno = ?, names = ?"),
        {text(s.location), text(s.open), text(s.close), s.slotMinutes, s.providerCount, text(s.names)});
}

Result SettingsStore::writeFixedMemo(const QString& text)
{
    return updateFirst(m_db, QStringLiteral("FixedMemo = ?"), {::text(text)});
}

Result SettingsStore::saveFixedMemo(const QString& base, const QString& mine, QString& stored)
{
    // A memo that holds what it would be given already is not written: no
    // write transaction, and no other desk woken.
    QString asStored;
    Result looked = m_db.read([&](QSqlDatabase& conn) { return fixedMemoIn(conn, asStored); });
    if (!looked.ok())
        return looked;
    if (PageText::mergeMemo(base, mine, asStored) == asStored) {
        stored = asStored;
        return looked;
    }
    return m_db.write([&](QSqlDatabase& conn) {
        QString theirs;
        Result r = fixedMemoIn(conn, theirs);
        if (!r.ok())
            return r;
        const QString result = PageText::mergeMemo(base, mine, theirs);
        if (result != theirs) {
            QSqlQuery q(conn);
            r = Database::exec(
                q, QStringLiteral("UPDATE tbl_Setup SET FixedMemo = ? WHERE %1").arg(FirstRecord), {text(result)});
            if (r.ok())
                r = ChangeHistory::write(conn, {ChangeHistory::fixedMemoChange(theirs, result)});
            if (!r.ok())
                return r;
        }
        stored = result;
        return r;
    });
}

Result SettingsStore::readFixedMemoOnce(QString& out)
{
    return m_db.readOnce([&](QSqlDatabase& conn) { return fixedMemoIn(conn, out); });
}
