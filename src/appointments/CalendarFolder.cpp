#include "appointments/CalendarFolder.h"

#include "appointments/CalendarExport.h"
#include "platform/Clock.h"
#include "platform/DataFolder.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>

namespace {
constexpr int KeptDays = 90;
constexpr int MaxProviders = 8;
constexpr int DelayMs = 1000;
constexpr int RefreshMs = 5 * 60 * 1000;
const QString FolderKey = QStringLiteral("folder");

QString choiceFile()
{
    return DataFolder::path() + QStringLiteral("/calendars.ini");
}
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
    connect(&m_everyFewMinutes, &QTimer::timeout, this, &CalendarFolder::changed);
    m_everyFewMinutes.start(RefreshMs);
}

QString CalendarFolder::configured()
{
    const QString named = qEnvironmentVariable("LEDGERLY_CALENDAR_FOLDER");
    return named.isEmpty() ? QSettings(choiceFile(), QSettings::IniFormat).value(FolderKey).toString() : named;
}

void CalendarFolder::choose(const QString& folder)
{
    QSettings choice(choiceFile(), QSettings::IniFormat);
    if (folder.isEmpty())
        choice.remove(FolderKey);
    else
        choice.setValue(FolderKey, folder);
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
    const QString folderPath = m_folder.isEmpty() ? configured() : m_folder;
    if (folderPath.isEmpty())
        return Result::success();
    CalendarExport::Request request;
    request.first = Clock::today();
    request.last = request.first.addDays(KeptDays);
    request.stamp = Clock::now();
    Settings settings;
    QList<DayRecord> days;
    Result done = SettingsStore(m_db).read(settings);
    if (done.ok())
        done = DayStore(m_db).readBetween(request.first, request.last, days);
    const QDir folder(folderPath);
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
