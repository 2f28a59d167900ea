#include "project_data/ProcessingRecords.h"

#include <QMetaType>
#include <QtTest>

using namespace ovra::project_data;

class ProcessingRecordsTest : public QObject
{
    Q_OBJECT

private slots:
    void progressFraction_data()
    {
        QTest::addColumn<qint64>("processed");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<double>("fraction");
        QTest::newRow("default") << qint64(0) << qint64(0) << 0.0;
        QTest::newRow("total unknown") << qint64(40) << qint64(0) << 0.0;
        QTest::newRow("half") << qint64(50) << qint64(100) << 0.5;
        QTest::newRow("past the end") << qint64(150) << qint64(100) << 1.0;
        QTest::newRow("negative") << qint64(-5) << qint64(100) << 0.0;
    }

    void progressFraction()
    {
        ProcessingProgress progress;
        QFETCH(qint64, processed);
        QFETCH(qint64, total);
        progress.processedFrames = processed;
        progress.totalFrames = total;
        QTEST(progress.fraction(), "fraction");
    }

    void resultMessagesCarryWarnings()
    {
        QCOMPARE(ProcessingResult::failed("Disk full.").errorMessage, QStringLiteral("Disk full."));
        const ProcessingResult failed = ProcessingResult::failed("Disk full.", "A file may remain at /x: busy");
        QCOMPARE(failed.errorMessage, QStringLiteral("Disk full. A file may remain at /x: busy"));
        QCOMPARE(failed.state, ProcessingState::Failed);
        QVERIFY(!failed.succeeded());
        const ProcessingResult cancelled = ProcessingResult::cancelled("A file may remain at /y: busy");
        QCOMPARE(cancelled.state, ProcessingState::Cancelled);
        QCOMPARE(cancelled.errorMessage,
                 QStringLiteral("Processing was cancelled by the user. A file may remain at /y: busy"));
        QCOMPARE(joinMessages("a", QString()), QStringLiteral("a"));
    }

    void performanceDerivedValues()
    {
        ProcessingPerformance performance;
        QCOMPARE(performance.motionWorkerThreadCount, 1);
        QVERIFY(!performance.hasData());
        QCOMPARE(performance.frameThroughputFps(), 0.0);

        performance.measuredFrames = 250;
        performance.frameLoopElapsedUs = 10000000;
        QCOMPARE(performance.frameThroughputFps(), 25.0);
        QVERIFY(performance.hasData());

        performance.totalElapsedUs = 100;
        performance.decoderUs = 80;
        performance.encoderWriteUs = 60;
        performance.encoderStartupUs = 5;
        performance.encoderFinalizeUs = 7;
        QCOMPARE(performance.accountedElapsedUs(), qint64(152));
        QCOMPARE(performance.unaccountedElapsedUs(), qint64(0));
        QCOMPARE(performance.encoderCriticalPathUs(), qint64(72));

        ovra::motion_core::MotionStageTimings timings;
        timings.luminanceUs = 1;
        timings.compositionUs = 9;
        timings.motionProcessingFrameWidth = 192;
        timings.motionProcessingFrameHeight = 108;
        timings.regionProcessingOptimizationApplied = true;
        performance.takeStageTimings(timings);
        QCOMPARE(performance.motionCoreMeasuredUs(), qint64(10));
        QCOMPARE(performance.motionProcessingFrameWidth, 192);
        QVERIFY(performance.regionProcessingOptimizationApplied);
    }

    void requestAcceptance()
    {
        ProcessingRequest request;
        QVERIFY(!request.acceptable());
        request.sourceMetadata.filePath = QStringLiteral("/in.mp4");
        QVERIFY(!request.acceptable());
        request.analysisMode = true;
        QVERIFY(request.acceptable());
        request.analysisMode = false;
        request.outputVideoPath = QStringLiteral("/out.mp4");
        QVERIFY(request.acceptable());
    }

    void recordsTravelThroughQueuedConnections()
    {
        registerProcessingMetaTypes();
        for (const char *name : {"ovra::project_data::ProcessingState", "ovra::project_data::ProcessingProgress",
                                 "ovra::project_data::ProcessingResult"})
            QVERIFY2(QMetaType::fromName(name).isValid(), name);
        ProcessingResult result = ProcessingResult::failed("x");
        const QVariant carried = QVariant::fromValue(result);
        QCOMPARE(carried.value<ProcessingResult>().errorMessage, QStringLiteral("x"));
    }
};

QTEST_GUILESS_MAIN(ProcessingRecordsTest)
#include "tst_processingrecords.moc"
