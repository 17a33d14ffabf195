#pragma once

#include "core/Result.h"

#include <QList>
#include <functional>

// The back-off shared by every database access. A step that comes back Busy is
// retried after a random, growing pause: the n-th retry waits
// Int(r * 3000 + 1000) * 2^n loop iterations, r uniform in [0, 1), one
// iteration being 10 microseconds of real time. The exponent is capped and the
// total wait is bounded, after which the step's Busy status is returned.
// Any other failure is returned at once.
class RetryPolicy
{
public:
    static constexpr int IterationMicros = 10;
    static constexpr int MaxExponent = 8;
    static constexpr qint64 MaxTotalMicros = 30'000'000;

    // Loop iterations of the n-th retry (n >= 1) for the random number r.
    static qint64 loopCount(double r, int n);

    Result run(const std::function<Result()>& step);

    // Seams: the random source and the pause (micros of real time). The
    // default pause lets the windows repaint but takes no user input.
    std::function<double()> random;
    std::function<void(qint64 micros)> pause;

    // Loop counts of the retries of the last run(), for tests and benchmarks;
    // totalRetries() counts the retries of every run() of this policy.
    const QList<qint64>& lastLoopCounts() const { return m_lastLoopCounts; }
    int totalRetries() const { return m_totalRetries; }

private:
    QList<qint64> m_lastLoopCounts;
    int m_totalRetries = 0;
};
