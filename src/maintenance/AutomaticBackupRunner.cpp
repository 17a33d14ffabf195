#include "maintenance/AutomaticBackupRunner.h"

#include "maintenance/AutomaticBackupRecord.h"
#include "platform/Clock.h"

#include <QDateTime>
#include <QThread>

AutomaticBackupRunner::AutomaticBackupRunner(const QString& address, QObject* parent)
    : QObject(parent)
    , m_address(address)
{
}

AutomaticBackupRunner::~AutomaticBackupRunner()
{
    if (m_thread)
        m_thread->wait();
    delete m_thread;
}

AutomaticBackups::Outcome AutomaticBackupRunner::runOnce(const QString& address, const QDate& day)
{
    AutomaticBackupRecord record;
    const QString folder = record.folder();
    AutomaticBackups::Outcome outcome = AutomaticBackups::make(address, folder, day, AutomaticBackups::deskName());
    if (!outcome.result.ok())
        record.noteFailed(day, folder, outcome.result.message);
    else if (outcome.made)
        record.noteMade(QDateTime::currentDateTime(), outcome.path);
    // One made since needs no word of an earlier failure.
    if (outcome.result.ok())
        record.markFailureReported();
    return outcome;
}

void AutomaticBackupRunner::start()
{
    const QDate today = Clock::today();
    if (m_thread || m_doneOn == today)
        return;
    m_day = today;
    m_outcome = std::make_shared<AutomaticBackups::Outcome>();
    m_thread = QThread::create(
        [address = m_address, day = m_day, outcome = m_outcome] { *outcome = runOnce(address, day); });
    connect(m_thread, &QThread::finished, this, &AutomaticBackupRunner::collect, Qt::QueuedConnection);
    m_thread->start(QThread::LowPriority);
}

bool AutomaticBackupRunner::isRunning() const
{
    return m_thread != nullptr;
}

void AutomaticBackupRunner::collect()
{
    if (!m_thread || !m_thread->isFinished())
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    const bool ok = m_outcome->result.ok();
    if (ok)
        m_doneOn = m_day;
    emit finished(ok);
}

void AutomaticBackupRunner::waitFor(const std::function<void()>& tick)
{
    while (m_thread && !m_thread->wait(20)) {
        if (tick)
            tick();
    }
    collect();
}

void AutomaticBackupRunner::finish(const std::function<void()>& tick)
{
    waitFor(tick);
    start();
    waitFor(tick);
}
