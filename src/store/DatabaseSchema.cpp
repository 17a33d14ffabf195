#include "store/DatabaseSchema.h"

#include "store/BackupClaims.h"
#include "store/DaySearchIndex.h"
#include "store/SqlDialect.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace DatabaseSchema {
namespace {

Field key()
{
    return {QStringLiteral("id"), FieldType::Key, true, QString()};
}

Field text(const char* name, bool notNull = false)
{
    return {QString::fromLatin1(name), FieldType::Text, notNull, QString()};
}

Field integer(const char* name, const char* defaultValue = nullptr)
{
    // Every field with a default is one a record must always have.
    return {QString::fromLatin1(name), FieldType::Integer, defaultValue != nullptr,
        defaultValue ? QString::fromLatin1(defaultValue) : QString()};
}

QString typeName(FieldType type, bool server)
{
    switch (type) {
    case FieldType::Key:
        return server ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY");
    case FieldType::Text:
        return QStringLiteral("TEXT");
    case FieldType::Integer:
        return QStringLiteral("INTEGER");
    }
    return QString();
}

QString createTable(const Table& t, bool server)
{
    QStringList fields;
    for (const Field& f : t.fields) {
        QString d = f.name + QLatin1Char(' ') + typeName(f.type, server);
        if (f.notNull && f.type != FieldType::Key)
            d += QStringLiteral(" NOT NULL");
        if (!f.defaultValue.isEmpty())
            d += QStringLiteral(" DEFAULT ") + f.defaultValue;
        fields.append(d);
    }
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(t.name, fields.join(QStringLiteral(", ")));
}

QString createIndex(const Index& i)
{
    return QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
        .arg(i.unique ? QStringLiteral("UNIQUE ") : QString(), i.name, i.table, i.field);
}

const Table* tableNamed(const QString& name)
{
    for (const Table& t : tables()) {
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    }
    return nullptr;
}

const Index* indexNamed(const QString& name)
{
    for (const Index& i : indexes()) {
        if (i.name.compare(name, Qt::CaseInsensitive) == 0)
            return &i;
    }
    return nullptr;
}

QString foreignObject(const QString& type, const QString& name)
{
    return QStringLiteral("it holds %1 %2 \"%3\" that Ledgerly did not make")
        .arg(type == QLatin1String("index") ? QStringLiteral("an") : QStringLiteral("a"), type, name);
}

QString newerObject(const QString& type, const QString& name)
{
    return QStringLiteral("it holds %1 %2 \"%3\" its data version does not have")
        .arg(type == QLatin1String("index") ? QStringLiteral("an") : QStringLiteral("a"), type, name);
}

QString missingField(const Table& t, const Field& f)
{
    return QStringLiteral("the table %1 has no field %2").arg(t.name, f.name);
}

QString changedField(const Table& t, const Field& f)
{
    return QStringLiteral("the field %1 of the table %2 is not as Ledgerly made it").arg(f.name, t.name);
}

// Runs sql; false (with error set) when it fails.
bool run(QSqlQuery& q, const QString& sql, QSqlError& error)
{
    q.setForwardOnly(true);
    if (q.exec(sql))
        return true;
    error = q.lastError();
    return false;
}

// Field names are compared as both engines do: without regard to case.
const Field* fieldNamed(const Table& t, const QString& name)
{
    for (const Field& candidate : t.fields) {
        if (candidate.name.compare(name, Qt::CaseInsensitive) == 0)
            return &candidate;
    }
    return nullptr;
}

QString fieldsInFile(QSqlDatabase& db, const Table& t, QSqlError& error)
{
    QSqlQuery q(db);
    // table_xinfo also lists hidden and generated fields.
    if (!run(q, QStringLiteral("PRAGMA table_xinfo(%1)").arg(t.name), error))
        return QString();
    QList<const Field*> seen;
    while (q.next()) {
        const QString name = q.value(1).toString();
        const Field* f = fieldNamed(t, name);
        if (!f)
            return QStringLiteral("the table %1 has a field %2 that Ledgerly did not make").arg(t.name, name);
        seen.append(f);
        const bool isKey = f->type == FieldType::Key;
        const QString type = isKey ? QStringLiteral("INTEGER") : typeName(f->type, false);
        if (q.value(2).toString().compare(type, Qt::CaseInsensitive) != 0
            || q.value(3).toBool() != (f->notNull && !isKey) || q.value(4).toString() != f->defaultValue
            || (q.value(5).toInt() != 0) != isKey || q.value(6).toInt() != 0)
            return changedField(t, *f);
    }
    for (const Field& f : t.fields) {
        if (!seen.contains(&f))
            return missingField(t, f);
    }
    return QString();
}

// The search index's objects: all of them from data version 3 on, none
// before; each exactly as SQLite made it.
const DaySearchIndex::FileObject* indexObjectNamed(const QString& name)
{
    for (const DaySearchIndex::FileObject& o : DaySearchIndex::fileObjects()) {
        if (o.name.compare(name, Qt::CaseInsensitive) == 0)
            return &o;
    }
    return nullptr;
}

QString searchIndexDifference(qsizetype found, qint64 version)
{
    if (version >= 3 && found < DaySearchIndex::fileObjects().size())
        return QStringLiteral("its search index is missing");
    if (version < 3 && found > 0)
        return QStringLiteral("it holds a search index its data version does not have");
    return QString();
}

qint64 fileVersion(QSqlDatabase& db, QSqlError& error)
{
    QSqlQuery q(db);
    if (!run(q, QStringLiteral("PRAGMA user_version"), error) || !q.next())
        return -1;
    return q.value(0).toLongLong();
}

QString differencesInFile(QSqlDatabase& db, QSqlError& error)
{
    const qint64 version = fileVersion(db, error);
    if (error.isValid())
        return QString();
    qsizetype indexObjects = 0;
    QSqlQuery q(db);
    if (!run(q, QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY rowid"), error))
        return QString();
    QStringList tablesFound;
    QStringList indexesFound;
    QString why;
    while (why.isEmpty() && q.next()) {
        const QString type = q.value(0).toString();
        const QString name = q.value(1).toString();
        const QString sql = q.value(3).toString().simplified();
        const Table* t = type == QLatin1String("table") ? tableNamed(name) : nullptr;
        const Index* i = type == QLatin1String("index") ? indexNamed(name) : nullptr;
        const DaySearchIndex::FileObject* o = t || i ? nullptr : indexObjectNamed(name);
        if (o) {
            ++indexObjects;
            if (type != o->type || sql != o->sql)
                why = QStringLiteral("the search index %1 is not as Ledgerly made it").arg(o->name);
        } else if ((t && t->since > version) || (i && i->since > version)) {
            why = newerObject(type, name);
        } else if (t) {
            tablesFound.append(t->name);
            // What the fields do not show (a CHECK, a collation, WITHOUT
            // ROWID) is in the text the table was made with.
            if (sql != createTable(*t, false))
                why = QStringLiteral("the table %1 is not as Ledgerly made it").arg(t->name);
        } else if (i) {
            indexesFound.append(i->name);
            if (sql != createIndex(*i))
                why = QStringLiteral("the index %1 is not as Ledgerly made it").arg(i->name);
        } else {
            why = foreignObject(type, name);
        }
    }
    q.finish();
    if (why.isEmpty())
        why = searchIndexDifference(indexObjects, version);
    if (!why.isEmpty())
        return why;
    for (const Table& t : tables()) {
        if (t.since > version)
            continue;
        if (!tablesFound.contains(t.name))
            return QStringLiteral("the table %1 is missing").arg(t.name);
        why = fieldsInFile(db, t, error);
        if (!why.isEmpty() || error.isValid())
            return why;
    }
    for (const Index& i : indexes()) {
        if (i.since <= version && !indexesFound.contains(i.name))
            return QStringLiteral("the index %1 is missing").arg(i.name);
    }
    return QString();
}

// The search index on a server: its table from data version 3 on, with its
// fields; the trigram index on it where the server has the extension.
QString searchIndexOnServer(QSqlDatabase& db, bool table, bool trigramIndex, QSqlError& error)
{
    QSqlQuery version(db);
    if (!run(version, QStringLiteral("SELECT schema_version FROM ledgerly_meta"), error))
        return QString();
    QString why = searchIndexDifference(
        table ? DaySearchIndex::fileObjects().size() : 0, version.next() ? version.value(0).toLongLong() : 0);
    if (why.isEmpty() && trigramIndex && !table)
        why = foreignObject(QStringLiteral("index"), DaySearchIndex::serverTrigramIndex());
    if (!why.isEmpty() || !table)
        return why;
    QSqlQuery fields(db);
    if (!run(fields,
            QStringLiteral("SELECT string_agg(column_name || ' ' || data_type || ' ' || is_nullable, ', ' ORDER BY "
                           "ordinal_position) FROM information_schema.columns WHERE table_schema = current_schema() "
                           "AND table_name = 'day_search'"),
            error))
        return QString();
    if (!fields.next() || fields.value(0).toString() != DaySearchIndex::serverFields())
        return QStringLiteral("the search index day_search is not as Ledgerly made it");
    if (!trigramIndex)
        return QString();
    QSqlQuery index(db);
    if (!run(index,
            QStringLiteral("SELECT indexdef FROM pg_indexes WHERE schemaname = current_schema() AND indexname = '%1'")
                .arg(DaySearchIndex::serverTrigramIndex()),
            error))
        return QString();
    const QString definition = index.next() ? index.value(0).toString() : QString();
    if (!definition.startsWith(QStringLiteral("CREATE INDEX %1 ON ").arg(DaySearchIndex::serverTrigramIndex()))
        || !definition.endsWith(QStringLiteral(".day_search ") + DaySearchIndex::serverTrigramIndexTail()))
        return QStringLiteral("the search index %1 is not as Ledgerly made it")
            .arg(DaySearchIndex::serverTrigramIndex());
    return QString();
}

// On a server the names are folded to lower case, and the catalogue, not the
// text of the statements, tells what the tables are.
QString differencesOnServer(QSqlDatabase& db, QSqlError& error)
{
    QSqlQuery meta(db);
    if (!run(meta, QStringLiteral("SELECT schema_version FROM ledgerly_meta"), error))
        return QString();
    const qint64 version = meta.next() ? meta.value(0).toLongLong() : 0;
    meta.finish();
    QSqlQuery objects(db);
    if (!run(objects,
            QStringLiteral("SELECT CASE WHEN table_type = 'VIEW' THEN 'view' ELSE 'table' END, table_name "
                           "FROM information_schema.tables WHERE table_schema = current_schema() "
                           "UNION ALL SELECT 'trigger', t.tgname FROM pg_trigger t JOIN pg_class c ON c.oid = "
                           "t.tgrelid WHERE NOT t.tgisinternal AND c.relnamespace = current_schema()::regnamespace "
                           "UNION ALL SELECT 'index', indexname FROM pg_indexes WHERE schemaname = current_schema() "
                           "AND indexname NOT IN (SELECT lower(table_name) || '_pkey' FROM information_schema.tables "
                           "WHERE table_schema = current_schema())"),
            error))
        return QString();
    QStringList tablesFound;
    QStringList indexesFound;
    bool searchTable = false;
    bool trigramIndex = false;
    while (objects.next()) {
        const QString type = objects.value(0).toString();
        const QString name = objects.value(1).toString();
        if (type == QLatin1String("table")
            && (name == QLatin1String("ledgerly_meta") || name == BackupClaims::TableName))
            continue;
        if (type == QLatin1String("table") && name == QLatin1String("day_search"))
            searchTable = true;
        else if (type == QLatin1String("index") && name == DaySearchIndex::serverTrigramIndex())
            trigramIndex = true;
        else if (type == QLatin1String("table") && tableNamed(name) && tableNamed(name)->since > version)
            return newerObject(type, name);
        else if (type == QLatin1String("table") && tableNamed(name))
            tablesFound.append(tableNamed(name)->name);
        else if (type == QLatin1String("index") && indexNamed(name) && indexNamed(name)->since > version)
            return newerObject(type, name);
        else if (type == QLatin1String("index") && indexNamed(name))
            indexesFound.append(indexNamed(name)->name);
        else
            return foreignObject(type, name);
    }
    for (const Table& t : tables()) {
        if (t.since > version)
            continue;
        if (!tablesFound.contains(t.name))
            return QStringLiteral("the table %1 is missing").arg(t.name);
        QSqlQuery q(db);
        if (!run(q,
                QStringLiteral("SELECT column_name, data_type, is_nullable FROM information_schema.columns WHERE "
                               "table_schema = current_schema() AND table_name = '%1'")
                    .arg(t.name.toLower()),
                error))
            return QString();
        QList<const Field*> seen;
        while (q.next()) {
            const QString name = q.value(0).toString();
            const Field* f = fieldNamed(t, name);
            if (!f)
                return QStringLiteral("the table %1 has a field %2 that Ledgerly did not make").arg(t.name, name);
            seen.append(f);
            const QString type = f->type == FieldType::Key ? QStringLiteral("bigint")
                : f->type == FieldType::Text               ? QStringLiteral("text")
                                                           : QStringLiteral("integer");
            if (q.value(1).toString() != type || (q.value(2).toString() == QLatin1String("NO")) != f->notNull)
                return changedField(t, *f);
        }
        for (const Field& f : t.fields) {
            if (!seen.contains(&f))
                return missingField(t, f);
        }
    }
    const QString why = searchIndexOnServer(db, searchTable, trigramIndex, error);
    if (!why.isEmpty() || error.isValid())
        return why;
    for (const Index& i : indexes()) {
        if (i.since > version)
            continue;
        if (!indexesFound.contains(i.name))
            return QStringLiteral("the index %1 is missing").arg(i.name);
        QSqlQuery q(db);
        if (!run(q,
                QStringLiteral("SELECT indexdef FROM pg_indexes WHERE schemaname = current_schema() AND indexname = "
                               "'%1'")
                    .arg(i.name.toLower()),
                error))
            return QString();
        const QString expected
            = QStringLiteral("%1INDEX %2 ON ").arg(i.unique ? QStringLiteral("UNIQUE ") : QString(), i.name.toLower());
        const QString tail = QStringLiteral(" USING btree (%1)").arg(i.field.toLower());
        const QString def = q.next() ? q.value(0).toString() : QString();
        if (!def.startsWith(QStringLiteral("CREATE ") + expected) || !def.endsWith(tail))
            return QStringLiteral("the index %1 is not as Ledgerly made it").arg(i.name);
    }
    return QString();
}

} // namespace

const QList<Table>& tables()
{
    static const QList<Table> all = {
        {QStringLiteral("tbl_Appt"),
            {key(), text("CalDate", true), integer("Clinic", "0"), text("Data"), text("Memo"), text("location"),
                text("open"), text("Close"), integer("timeslot"), integer("Listno"), text("Names"),
                integer("Version", "0")}},
        {QStringLiteral("tbl_Setup"),
            {key(), text("location"), text("open"), text("close"), integer("timeslot"), integer("listno"),
                text("names"), text("FixedMemo"), text("Readme"), text("Licence")}},
        {QStringLiteral("tbl_Order"),
            {key(), text("Name"), text("Address"), text("City"), text("State"), text("Zip"), text("Country"),
                text("Phone"), text("Fax"), text("Contact"), text("Practice"), text("OrderDate")}},
        // Every stored change of a slot, a memo or the closed flag
        // (ChangeHistory). The slot is kept as shown then, since layouts
        // change: its row and column, time and provider.
        {QStringLiteral("tbl_History"),
            {key(), text("CalDate", true), text("Kind", true), integer("SlotRow", "0"), integer("SlotColumn", "0"),
                text("SlotTime"), integer("SlotMinutes"), text("Provider"), text("TextBefore"), text("TextAfter"),
                text("ChangedAt", true), text("UserName"), text("MachineName"), text("Reason")},
            4},
    };
    return all;
}

const QList<Index>& indexes()
{
    // Day records are found and merged by date: one record per date.
    // A day's history is read by its date.
    static const QList<Index> all
        = {{QStringLiteral("ix_Appt_CalDate"), QStringLiteral("tbl_Appt"), QStringLiteral("CalDate"), true},
            {QStringLiteral("ix_History_CalDate"), QStringLiteral("tbl_History"), QStringLiteral("CalDate"), false, 4}};
    return all;
}

QStringList fieldNames(const QString& table)
{
    QStringList names;
    if (const Table* t = tableNamed(table)) {
        for (const Field& f : t->fields)
            names.append(f.name);
    }
    return names;
}

QStringList createStatements(bool server, int version)
{
    QStringList statements;
    for (const Table& t : tables()) {
        if (t.since == version)
            statements.append(createTable(t, server));
        for (const Index& i : indexes()) {
            if (i.table == t.name && i.since == version)
                statements.append(createIndex(i));
        }
    }
    return statements;
}

QString differences(QSqlDatabase& db, QSqlError& error)
{
    error = QSqlError();
    return SqlDialect::isServer(db) ? differencesOnServer(db, error) : differencesInFile(db, error);
}

} // namespace DatabaseSchema
