#include "store/RetryPolicy.h"

#include <QTest>

class TestRetryPolicy : public QObject
{
    Q_OBJECT

private slots:
    void run_data();
    void run();
};

namespace {
constexpr double AlmostOne = 0.9999999999;
constexpr int AlwaysBusy = 1000;
} // namespace

void TestRetryPolicy::run_data()
{
    QTest::addColumn<double>("r");
    QTest::addColumn<int>("busyAnswers"); // the step answers Busy this often, then `last`
    QTest::addColumn<int>("last");
    QTest::addColumn<QList<qint64>>("loops"); // the pauses, in loop iterations

    QTest::newRow("busy, then done") << 0.0 << 2 << int(Result::Ok) << QList<qint64> {2000, 4000};
    QTest::newRow("another failure: not retried") << 0.0 << 0 << int(Result::Failed) << QList<qint64> {};
    // 20 ms doubling to 2.56 s by the 8th retry (5.1 s in all), then nine
    // retries at the cap make 28.14 s; a tenth would pass 30 s.
    QTest::newRow("shortest pauses: capped, then bounded")
        << 0.0 << AlwaysBusy << int(Result::Ok)
        << QList<qint64> {2000, 4000, 8000, 16000, 32000, 64000, 128000, 256000} + QList<qint64>(9, 256000);
    // The first eight retries take 20.4 s; a ninth of 10.2 s would pass 30 s.
    QTest::newRow("longest pauses: bounded")
        << AlmostOne << AlwaysBusy << int(Result::Ok)
        << QList<qint64> {7998, 15996, 31992, 63984, 127968, 255936, 511872, 1023744};
}
void TestRetryPolicy::run()
{
    QFETCH(double, r);
    QFETCH(int, busyAnswers);
    QFETCH(int, last);
    QFETCH(QList<qint64>, loops);

    RetryPolicy policy;
    policy.random = [r] { return r; };
    QList<qint64> paused;
    policy.pause = [&](qint64 micros) { paused.append(micros / RetryPolicy::IterationMicros); };
    int calls = 0;
    const Result s = policy.run([&] {
        return ++calls <= busyAnswers ? Result::busy("locked") : Result {Result::Code(last), "last"};
    });

    const bool gaveUp = busyAnswers == AlwaysBusy;
    QCOMPARE(s.code, gaveUp ? Result::Busy : Result::Code(last));
    QCOMPARE(s.message, gaveUp ? "locked" : "last");
    QCOMPARE(calls, int(loops.size()) + 1);
    QCOMPARE(policy.lastLoopCounts(), loops);
    QCOMPARE(paused, loops);
}

QTEST_GUILESS_MAIN(TestRetryPolicy)
#include "tst_retrypolicy.moc"
