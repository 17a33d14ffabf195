#include "store/RetryPolicy.h"

#include <QTest>

class TestRetryPolicy : public QObject
{
    Q_OBJECT

private slots:
    void firstRetries_data();
    void firstRetries();
    void exponentIsCapped();
    void totalWaitIsBounded_data();
    void totalWaitIsBounded();
    void otherFailureIsNotRetried();
    void successAfterBusy();
};

namespace {
constexpr double AlmostOne = 0.9999999999;
}

void TestRetryPolicy::firstRetries_data()
{
    QTest::addColumn<double>("r");
    QTest::addColumn<QList<qint64>>("loops");

    QTest::newRow("r = 0: lower bounds") << 0.0 << QList<qint64> {2000, 4000, 8000};
    QTest::newRow("r close to 1: upper bounds") << AlmostOne << QList<qint64> {7998, 15996, 31992};
}

void TestRetryPolicy::firstRetries()
{
    QFETCH(double, r);
    QFETCH(QList<qint64>, loops);

    RetryPolicy policy;
    policy.random = [r] { return r; };
    QList<qint64> paused;
    policy.pause = [&](qint64 micros) { paused.append(micros); };
    int calls = 0;
    const Result s = policy.run([&] {
        ++calls;
        return calls <= 3 ? Result::busy(QStringLiteral("locked")) : Result::success();
    });

    QVERIFY(s.ok());
    QCOMPARE(calls, 4);
    QCOMPARE(policy.lastLoopCounts(), loops);
    QList<qint64> micros;
    for (qint64 l : loops)
        micros.append(l * RetryPolicy::IterationMicros);
    QCOMPARE(paused, micros);
    for (int n = 1; n <= 3; ++n)
        QCOMPARE(RetryPolicy::loopCount(r, n), loops[n - 1]);
}

void TestRetryPolicy::exponentIsCapped()
{
    const qint64 capped = RetryPolicy::loopCount(AlmostOne, RetryPolicy::MaxExponent);
    QCOMPARE(capped, qint64(3999) << RetryPolicy::MaxExponent);
    QCOMPARE(RetryPolicy::loopCount(AlmostOne, RetryPolicy::MaxExponent + 1), capped);
    QCOMPARE(RetryPolicy::loopCount(AlmostOne, 32767), capped);
}

void TestRetryPolicy::totalWaitIsBounded_data()
{
    QTest::addColumn<double>("r");
    QTest::addColumn<int>("retries");

    // r = 0: 20 ms doubling to 2.56 s by the 8th retry (5.1 s in all), then
    // nine more capped retries of 2.56 s make 28.14 s; a tenth would pass 30 s.
    QTest::newRow("short pauses") << 0.0 << 17;
    // r close to 1: the first eight retries take 20.4 s, a ninth of 10.2 s would pass 30 s.
    QTest::newRow("long pauses") << AlmostOne << 8;
}

void TestRetryPolicy::totalWaitIsBounded()
{
    QFETCH(double, r);
    QFETCH(int, retries);

    RetryPolicy policy;
    policy.random = [r] { return r; };
    qint64 waited = 0;
    int pauses = 0;
    policy.pause = [&](qint64 micros) {
        waited += micros;
        ++pauses;
    };
    int calls = 0;
    const Result s = policy.run([&] {
        ++calls;
        return Result::busy(QStringLiteral("locked"));
    });

    QCOMPARE(s.code, Result::Busy);
    QCOMPARE(s.message, QStringLiteral("locked"));
    QCOMPARE(pauses, retries);
    QCOMPARE(calls, pauses + 1);
    QVERIFY(waited <= RetryPolicy::MaxTotalMicros);
    // It stopped because the next pause would have gone beyond the bound.
    QVERIFY(
        waited + RetryPolicy::loopCount(r, pauses + 1) * RetryPolicy::IterationMicros > RetryPolicy::MaxTotalMicros);
    QCOMPARE(policy.lastLoopCounts().size(), pauses);
}

void TestRetryPolicy::otherFailureIsNotRetried()
{
    RetryPolicy policy;
    int pauses = 0;
    policy.pause = [&](qint64) { ++pauses; };
    int calls = 0;
    const Result s = policy.run([&] {
        ++calls;
        return Result::failed(QStringLiteral("disk I/O error"));
    });
    QCOMPARE(s.code, Result::Failed);
    QCOMPARE(s.message, QStringLiteral("disk I/O error"));
    QCOMPARE(calls, 1);
    QCOMPARE(pauses, 0);
}

void TestRetryPolicy::successAfterBusy()
{
    // The counter starts again for every run: the second run's first retry
    // waits like a first retry again.
    RetryPolicy policy;
    policy.random = [] { return 0.0; };
    policy.pause = [](qint64) {};
    for (int round = 0; round < 2; ++round) {
        bool busy = true;
        const Result s = policy.run([&] {
            const bool was = busy;
            busy = false;
            return was ? Result::busy(QStringLiteral("locked")) : Result::success();
        });
        QVERIFY(s.ok());
        QCOMPARE(policy.lastLoopCounts(), QList<qint64> {2000});
    }
    QCOMPARE(policy.totalRetries(), 2);
}

QTEST_GUILESS_MAIN(TestRetryPolicy)
#include "tst_retrypolicy.moc"
