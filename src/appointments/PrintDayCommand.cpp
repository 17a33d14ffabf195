#include "appointments/PrintDayCommand.h"

#include "appointments/DayListPrint.h"
#include "appointments/DaySheetReader.h"
#include "platform/Clock.h"
#include "platform/DataFolder.h"
#include "platform/PrintJob.h"
#include "store/Database.h"

#include <QDate>
#include <QFileInfo>
#include <cstdio>

namespace PrintDayCommand {
namespace {
int failed(const QString& message, int code = 1)
{
    std::fprintf(stderr, "ledgerly print-day: %s\n", qPrintable(message));
    return code;
}
} // namespace

QCommandLineOption pdfOption()
{
    return QCommandLineOption(QStringLiteral("pdf"),
        QStringLiteral("print-day: write the lists into this PDF file instead of printing them."),
        QStringLiteral("FILE"));
}

int run(const QStringList& arguments, const QString& pdfPath)
{
    if (arguments.size() > 1)
        return failed(QStringLiteral("too many arguments (expected at most one date, YYYY-MM-DD)"), 2);
    QDate day = Clock::today();
    if (!arguments.isEmpty()) {
        day = QDate::fromString(arguments.first(), Qt::ISODate);
        if (!day.isValid())
            return failed(QStringLiteral("not a date: %1 (expected YYYY-MM-DD)").arg(arguments.first()), 2);
    }

    // Printing only reads the day: it never creates or changes a database.
    Database db(QStringLiteral("ledgerly-print-day"));
    if (const Result opened = db.openReadOnly(DataFolder::databaseAddress()); !opened.ok())
        return failed(opened.message);

    DaySheet sheet;
    const Result read = DaySheetReader::read(db, day, sheet);
    if (!read.ok())
        return failed(read.message);
    db.close();

    const QString target = pdfPath.isEmpty() ? QString() : QFileInfo(pdfPath).absoluteFilePath();
    const PrintJob::Outcome outcome = PrintJob::run(
        QStringLiteral("Appointments %1").arg(day.toString(Qt::ISODate)), DaySheet::pdfFileName(day),
        [&](PrintTarget& t) { return DayListPrint::print(t, sheet); }, target);
    if (!outcome.ok)
        return failed(outcome.message);
    if (!outcome.pdfPath.isEmpty() && pdfPath.isEmpty())
        std::fprintf(stdout, "%s\n", qPrintable(PrintJob::writtenMessage(outcome.pdfPath)));
    return 0;
}
} // namespace PrintDayCommand
