#include "appointments/HistoryCommand.h"

#include "platform/DataFolder.h"
#include "store/ChangeHistory.h"
#include "store/Database.h"

#include <cstdio>

namespace HistoryCommand {
namespace {
int failed(const QString& message, int code = 1)
{
    std::fprintf(stderr, "ledgerly history: %s\n", message.toUtf8().constData());
    return code;
}
} // namespace

int run(const QStringList& arguments)
{
    if (arguments.size() != 1)
        return failed(QStringLiteral("expected: history YYYY-MM-DD"), 2);
    const QDate day = QDate::fromString(arguments.first(), Qt::ISODate);
    if (!day.isValid())
        return failed(QStringLiteral("not a date: %1 (expected YYYY-MM-DD)").arg(arguments.first()), 2);

    Database db(QStringLiteral("ledgerly-history"));
    if (const Result opened = db.openReadOnly(DataFolder::databaseAddress()); !opened.ok())
        return failed(opened.message);
    QList<ChangeEntry> entries;
    const Result read = ChangeHistory::readDay(db, day, entries);
    db.close();
    if (!read.ok())
        return failed(read.message);
    for (const ChangeEntry& e : std::as_const(entries)) {
        // Stored text may hold control characters a terminal would act on.
        QString line = ChangeHistory::describe(e);
        for (QChar& c : line) {
            if (c.category() == QChar::Other_Control)
                c = QLatin1Char('?');
        }
        std::fprintf(stdout, "%s\n", line.toUtf8().constData());
    }
    if (entries.isEmpty())
        std::fprintf(stdout, "No changes stored for %s\n", qPrintable(day.toString(Qt::ISODate)));
    std::fflush(stdout);
    return 0;
}
} // namespace HistoryCommand
