#pragma once

#include "maintenance/AutomaticBackups.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QThread;

// Makes the day's automatic back-up in a thread of its own, with its own
// connection to the database, so that the windows go on meanwhile; the
// outcome goes into the AutomaticBackupRecord.
class AutomaticBackupRunner : public QObject
{
    Q_OBJECT
public:
    // address: the database, a file's path or a server's address.
    explicit AutomaticBackupRunner(const QString& address, QObject* parent = nullptr);
    // Waits for a back-up under way: a copy cut off would be left behind.
    ~AutomaticBackupRunner() override;

    // Starts today's back-up unless it was made today or is under way.
    void start();
    bool isRunning() const;
    // For the end of the program: waits for a back-up under way, and makes
    // today's when none was made; tick is called every few milliseconds
    // meanwhile (to show progress).
    void finish(const std::function<void()>& tick);

    // One attempt in the calling thread, its outcome recorded: what the
    // thread runs.
    static AutomaticBackups::Outcome runOnce(const QString& address, const QDate& day);

signals:
    void finished(bool ok);

private:
    void collect();
    void waitFor(const std::function<void()>& tick);

    QString m_address;
    QThread* m_thread = nullptr;
    QDate m_day; // of the attempt under way
    std::shared_ptr<AutomaticBackups::Outcome> m_outcome;
    QDate m_doneOn; // the day a back-up was last made or found made
};
