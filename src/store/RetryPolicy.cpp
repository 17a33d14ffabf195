#include "store/RetryPolicy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QThread>
#include <algorithm>

namespace {
// Lets the windows repaint while we wait for another copy of the program,
// but takes no key or mouse input.
void waitProcessingEvents(qint64 micros)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const qint64 left = micros - timer.nsecsElapsed() / 1000;
        if (left <= 0)
            return;
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, int(std::max<qint64>(1, left / 1000)));
        const qint64 rest = micros - timer.nsecsElapsed() / 1000;
        if (rest > 0)
            QThread::usleep(static_cast<unsigned long>(std::min<qint64>(rest, 1000)));
    }
}
} // namespace

qint64 RetryPolicy::loopCount(double r, int n)
{
    r = std::clamp(r, 0.0, 1.0);
    const qint64 base = static_cast<qint64>(r * 3000 + 1000); // Int() of a non-negative number
    return base << std::clamp(n, 0, MaxExponent);
}

Result RetryPolicy::run(const std::function<Result()>& step)
{
    QList<qint64> counts;
    qint64 waited = 0;
    int n = 0;
    for (;;) {
        Result status = step();
        if (status.code != Result::Busy) {
            m_lastLoopCounts = counts;
            return status;
        }
        ++n;
        const double r = random ? random() : QRandomGenerator::global()->generateDouble();
        const qint64 loops = loopCount(r, n);
        const qint64 micros = loops * IterationMicros;
        if (waited + micros > MaxTotalMicros) {
            m_lastLoopCounts = counts;
            return status;
        }
        waited += micros;
        counts.append(loops);
        ++m_totalRetries;
        if (pause)
            pause(micros);
        else
            waitProcessingEvents(micros);
    }
}
