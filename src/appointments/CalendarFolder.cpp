#include "appointments/CalendarFolder.h"

#include "appointments/CalendarExport.h"
#include "platform/Clock.h"
#include "platform/DataFolder.h"
#include "store/Database.h"
#include "store/DayStore.h"
#include "store/SettingsStore.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSettings>
#include <QThreadPool>
#include <utility>

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
    connect(&m_delay, &QTimer::timeout, this, &CalendarFolder::rewriteInBackground);
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

void CalendarFolder::rewriteInBackground()
{
    const QString folder = m_folder.isEmpty() ? configured() : m_folder;
    if (folder.isEmpty())
        return;
    if (m_writing) {
        m_again = true;
        return;
    }
    m_writing = true;
    QPointer<CalendarFolder> self(this);
    QThreadPool::globalInstance()->start([self, address = m_db.path(), folder] {
        static QAtomicInt connections;
        Result written;
        {
            Database db(QStringLiteral("ledgerly-calendars-%1").arg(connections.fetchAndAddRelaxed(1)));
            written = db.open(address, false);
            if (written.ok())
                written = rewrite(db, folder);
        }
        // Told in the window's thread, where this folder lives (or is gone).
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, written] {
                if (self)
                    self->backgroundDone(written);
            },
            Qt::QueuedConnection);
    });
}

void CalendarFolder::backgroundDone(const Result& written)
{
    m_writing = false;
    // A file that cannot be written now is written again after the next save.
    if (!written.ok())
        qWarning("Calendar folder: %s", qPrintable(written.message));
    if (std::exchange(m_again, false))
        rewriteInBackground();
}

Result CalendarFolder::rewrite()
{
    const QString folderPath = m_folder.isEmpty() ? configured() : m_folder;
    return folderPath.isEmpty() ? Result::success() : rewrite(m_db, folderPath);
}

Result CalendarFolder::rewrite(Database& db, const QString& folderPath)
{
    CalendarExport::Request request;
    request.first = Clock::today();
    request.last = request.first.addDays(KeptDays);
    request.stamp = Clock::now();
    Settings settings;
    QList<DayRecord> days;
    Result done = SettingsStore(db).read(settings);
    if (done.ok())
        done = DayStore(db).readBetween(request.first, request.last, days);
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
