#include "MotionCoreTesting.h"
#include "TestMedia.h"

#include "motion_core/TemporalBandpassFilter.h"

#include <QtTest>

#include <algorithm>

using namespace ovra::motion_core;
using ovra::tests::band;
using ovra::tests::verifyRefusal;

namespace {

std::vector<FloatPlane> randomLevels(quint32 seed, const std::vector<QSize> &sizes)
{
    std::vector<FloatPlane> levels;
    for (const QSize &size : sizes)
        levels.push_back(ovra::tests::randomPlane(size, seed++, -1.0, 1.0));
    return levels;
}

const std::vector<QSize> twoLevels{QSize(300, 200), QSize(150, 100)};

bool identical(const std::vector<FloatPlane> &a, const std::vector<FloatPlane> &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto &x, const auto &y) {
               return ovra::tests::identical(x, y);
           });
}

TemporalBandpassFilter configuredFilter(double fps, double lower, double upper)
{
    TemporalBandpassFilter filter;
    QString error;
    if (!filter.configure(fps, lower, upper, &error))
        qFatal("filter design failed: %s", qPrintable(error));
    return filter;
}

} // namespace

class MotionTemporalFilterTest : public QObject
{
    Q_OBJECT

private slots:
    void designOf9To14HzAt240()
    {
        const TemporalBandpassFilter filter = configuredFilter(240.0, 9.0, 14.0);
        QVERIFY(std::abs(filter.b0() - 0.06151) < 1e-5);
        QCOMPARE(filter.b1(), 0.0);
        QCOMPARE(filter.b2(), -filter.b0());
        QVERIFY(std::abs(filter.a1() + 1.79640) < 1e-5);
        QVERIFY(std::abs(filter.a2() - 0.87698) < 1e-5);
    }

    void settlingLength_data()
    {
        QTest::addColumn<double>("fps");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<qint64>("required");
        QTest::addColumn<qint64>("recommended");
        QTest::newRow("240 fps, 9-14 Hz: two seconds recommended") << 240.0 << 9.0 << 14.0 << qint64(205) << qint64(480);
        QTest::newRow("30 fps, 1-3 Hz: cycles plus decay") << 30.0 << 1.0 << 3.0 << qint64(172) << qint64(172);
        QTest::newRow("invalid band") << 240.0 << 14.0 << 9.0 << qint64(0) << qint64(0);
        QTest::newRow("no capture rate") << 0.0 << 1.0 << 3.0 << qint64(0) << qint64(0);
    }

    void settlingLength()
    {
        QFETCH(double, fps);
        QFETCH(double, lower);
        QFETCH(double, upper);
        QTEST(requiredMinimumFrameCount(band(lower, upper), fps), "required");
        QTEST(recommendedMinimumFrameCount(band(lower, upper), fps), "recommended");
    }

    void refusals()
    {
        TemporalBandpassFilter filter;
        MotionWorkerPool pool;
        std::vector<FloatPlane> output;
        QString error;
        verifyRefusal(filter.configure(240.0, 9.0, 120.0, &error), error,
                      "The temporal band-pass filter parameters are invalid.");
        QVERIFY(filter.configure(240.0, 9.0, 119.999, &error));
        const QString noInput = "Phase components and an output container are required.";
        verifyRefusal(filter.process(randomLevels(1, twoLevels), nullptr, pool, &error), error, noInput);
        verifyRefusal(filter.process({}, &output, pool, &error), error, noInput);
        std::vector<FloatPlane> withEmptyLevel = randomLevels(1, twoLevels);
        withEmptyLevel.emplace_back();
        verifyRefusal(filter.process(withEmptyLevel, &output, pool, &error), error,
                      "The phase pyramid contains an empty level.");
        // A failed redesign leaves the filter unusable.
        QVERIFY(!filter.configure(240.0, 0.0, 14.0, nullptr));
        verifyRefusal(filter.process(randomLevels(1, twoLevels), &output, pool, &error), error,
                      "The temporal filter has not been configured.");
    }

    void geometryChangeIsRejectedAndStateKept()
    {
        TemporalBandpassFilter filter = configuredFilter(240.0, 9.0, 14.0);
        TemporalBandpassFilter untouched = configuredFilter(240.0, 9.0, 14.0);
        MotionWorkerPool pool;
        std::vector<FloatPlane> output;
        std::vector<FloatPlane> expected;
        for (quint32 frame = 0; frame < 3; ++frame) {
            QVERIFY(filter.process(randomLevels(frame, twoLevels), &output, pool, nullptr));
            QVERIFY(untouched.process(randomLevels(frame, twoLevels), &expected, pool, nullptr));
        }
        QString error;
        const QString changed = "The phase pyramid size changed during processing.";
        verifyRefusal(filter.process(randomLevels(7, {QSize(300, 200)}), &output, pool, &error), error, changed);
        verifyRefusal(filter.process(randomLevels(7, {QSize(300, 200), QSize(150, 101)}), &output, pool, &error), error,
                      changed);

        QVERIFY(filter.process(randomLevels(3, twoLevels), &output, pool, nullptr));
        QVERIFY(untouched.process(randomLevels(3, twoLevels), &expected, pool, nullptr));
        QVERIFY(identical(output, expected));
    }
};

QTEST_GUILESS_MAIN(MotionTemporalFilterTest)
#include "tst_motion_temporal_filter.moc"
