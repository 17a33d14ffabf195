#include "appointments/CalendarFolder.h"

#include "appointments/CalendarExport.h"
#include "platform/Clock.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QDir>
#include <QFile>

namespace {
constexpr int KeptDays = 90;
constexpr int MaxProviders = 8;
constexpr int DelayMs = 1000;
} // namespace

CalendarFolder::CalendarFolder(Database& db, const QString& folder, QObject* parent)
    : QObject(parent)
    , m_db(db)
    , m_folder(folder)
{
    m_delay.setSingleShot(true);
    m_delay.setInterval(DelayMs);
    connect(&m_delay, &QTimer::timeout, this, [this] {
        // A file that cannot be written now is written again after the next save.
        if (const Result written = rewrite(); !written.ok())
            qWarning("Calendar folder: %s", qPrintable(written.message));
    });
}

QString CalendarFolder::configured()
{
    return qEnvironmentVariable("LEDGERLY_CALENDAR_FOLDER");
}

QString CalendarFolder::fileName(int providerColumn)
{
    return QStringLiteral("provider-%1.ics").arg(providerColumn);
}

void CalendarFolder::changed()
{
    m_delay.start();
}

Result CalendarFolder::rewrite()
{
    CalendarExport::Request request;
    request.first = Clock::today();
    request.last = request.first.addDays(KeptDays);
    request.stamp = Clock::now();
    Settings settings;
    QList<DayRecord> days;
    Result done = SettingsStore(m_db).read(settings);
    if (done.ok())
        done = DayStore(m_db).readBetween(request.first, request.last, days);
    const QDir folder(m_folder);
    for (int column = 1; column <= MaxProviders && done.ok(); ++column) {
        const QString path = folder.filePath(fileName(column));
        request.provider.column = column;
        if (column <= settings.providerCount)
            done = CalendarExport::write(CalendarExport::build(days, settings, request.first, request).text, path);
        else
            QFile::remove(path);
    }
    return done;
}
