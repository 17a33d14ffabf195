#include "appointments/FindCommand.h"

#include "appointments/AppointmentSearch.h"
#include "platform/DataFolder.h"
#include "store/Database.h"

#include <cstdio>

namespace FindCommand {
namespace {
int failed(const QString& message, int code = 1)
{
    std::fprintf(stderr, "ledgerly find: %s\n", message.toUtf8().constData());
    return code;
}

// Stored text may hold control characters (a terminal would act on an
// escape sequence); each is shown as a question mark.
void printLine(QString line)
{
    for (QChar& c : line) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}
} // namespace

int run(const QStringList& arguments)
{
    const QString text = arguments.join(QLatin1Char(' '));
    if (text.trimmed().isEmpty())
        return failed(QStringLiteral("nothing to find (expected: find TEXT)"), 2);

    Database db(QStringLiteral("ledgerly-find"));
    // Every page of the file is read while the search runs; nothing is shown
    // from a file found damaged.
    if (const Result opened = db.openReadOnly(DataFolder::databaseAddress(), Database::PageReading::Alongside);
        !opened.ok())
        return failed(opened.message);
    AppointmentSearch::Matches result;
    const Result st = AppointmentSearch::findIn(db, text, result);
    const Result pages = db.pagesRead();
    db.close();
    if (!pages.ok())
        return failed(pages.message);
    if (!st.ok())
        return failed(st.message);

    for (const AppointmentSearch::Match& m : std::as_const(result.matches))
        printLine(AppointmentSearch::resultLine(m));
    if (result.matches.isEmpty())
        printLine(AppointmentSearch::noneFoundText());
    std::fflush(stdout);
    return 0;
}
} // namespace FindCommand
