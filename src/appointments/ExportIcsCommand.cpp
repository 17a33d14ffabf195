#include "appointments/ExportIcsCommand.h"

#include "appointments/CalendarExport.h"
#include "platform/Clock.h"
#include "platform/DataFolder.h"
#include "store/Database.h"

#include <QFileInfo>
#include <cstdio>

namespace ExportIcsCommand {
namespace {
constexpr int DefaultDays = 90;
const QString DefaultFile = QStringLiteral("ledgerly.ics");

int failed(const QString& message, int code = 1)
{
    std::fprintf(stderr, "ledgerly export-ics: %s\n", message.toUtf8().constData());
    return code;
}

QString option(const char* name)
{
    return QString::fromLatin1(name);
}
} // namespace

QList<QCommandLineOption> options()
{
    return {
        QCommandLineOption(option("provider"),
            QStringLiteral("export-ics: only this provider's slots, by number (1 is the first column) or by name "
                           "(default: every provider)."),
            QStringLiteral("NAME|NUMBER")),
        QCommandLineOption(option("from"), QStringLiteral("export-ics: the first day exported (default today)."),
            QStringLiteral("YYYY-MM-DD")),
        QCommandLineOption(option("to"),
            QStringLiteral("export-ics: the last day exported (default %1 days after the first).").arg(DefaultDays),
            QStringLiteral("YYYY-MM-DD")),
        QCommandLineOption(option("out"),
            QStringLiteral("export-ics: the iCalendar file written (default %1 in the working folder; - for the "
                           "standard output).")
                .arg(DefaultFile),
            QStringLiteral("FILE")),
    };
}

int run(const QStringList& arguments, const QCommandLineParser& parser)
{
    if (!arguments.isEmpty())
        return failed(QStringLiteral("unexpected argument %1 (the options are --provider, --from, --to and --out)")
                          .arg(arguments.first()),
            2);
    CalendarExport::Request request;
    request.stamp = Clock::now();
    request.first = Clock::today();
    if (parser.isSet(option("from")))
        request.first = QDate::fromString(parser.value(option("from")), Qt::ISODate);
    request.last = request.first.addDays(DefaultDays);
    if (parser.isSet(option("to")))
        request.last = QDate::fromString(parser.value(option("to")), Qt::ISODate);
    for (const char* name : {"from", "to"}) {
        const QDate day = QDate::fromString(parser.value(option(name)), Qt::ISODate);
        if (parser.isSet(option(name)) && !day.isValid())
            return failed(QStringLiteral("not a date: %1 (expected YYYY-MM-DD)").arg(parser.value(option(name))), 2);
    }
    if (request.last < request.first)
        return failed(QStringLiteral("--to is before --from"), 2);
    if (parser.isSet(option("provider")))
        request.provider = CalendarExport::ProviderChoice::fromText(parser.value(option("provider")));
    const QString out = parser.isSet(option("out")) ? parser.value(option("out")) : DefaultFile;

    // Exporting only reads: it never creates or changes a database.
    Database db(QStringLiteral("ledgerly-export-ics"));
    if (const Result opened = db.openReadOnly(DataFolder::databaseAddress()); !opened.ok())
        return failed(opened.message);
    CalendarExport::Calendar calendar;
    const Result read = CalendarExport::read(db, request, calendar);
    db.close();
    if (!read.ok())
        return failed(read.message);
    if (!calendar.providerKnown)
        return failed(QStringLiteral("no provider is named %1").arg(request.provider.name), 2);

    if (out == QLatin1String("-")) {
        std::fwrite(calendar.text.constData(), 1, size_t(calendar.text.size()), stdout);
        std::fflush(stdout);
        return 0;
    }
    const QString path = QFileInfo(out).absoluteFilePath();
    if (const Result written = CalendarExport::write(calendar.text, path); !written.ok())
        return failed(written.message);
    std::fprintf(stdout, "%s\n",
        QStringLiteral("Wrote %1 %2 into %3")
            .arg(calendar.events)
            .arg(QLatin1String(calendar.events == 1 ? "event" : "events"), path)
            .toUtf8()
            .constData());
    return 0;
}
} // namespace ExportIcsCommand
