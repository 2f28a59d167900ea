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
        const ProcessingResult cancelled = ProcessingResult::cancelled("A file may remain at /y: busy");
        QCOMPARE(cancelled.state, ProcessingState::Cancelled);
        QCOMPARE(cancelled.errorMessage,
                 QStringLiteral("Processing was cancelled by the user. A file may remain at /y: busy"));
    }

    void performanceDerivedValues()
    {
        ProcessingPerformance performance;
        QVERIFY(!performance.hasData());
        QCOMPARE(performance.frameThroughputFps(), 0.0);
        performance.measuredFrames = 250;
        performance.frameLoopElapsedUs = 10000000;
        QCOMPARE(performance.frameThroughputFps(), 25.0);
        QVERIFY(performance.hasData());

        performance.totalElapsedUs = 200;
        performance.decoderUs = 80;
        performance.encoderWriteUs = 60;
        performance.encoderFinalizeUs = 12;
        QCOMPARE(performance.unaccountedElapsedUs(), qint64(48));
        performance.totalElapsedUs = 100; // overlapping stages account for more than the total
        QCOMPARE(performance.unaccountedElapsedUs(), qint64(0));
    }

    void recordsTravelThroughQueuedConnections()
    {
        registerProcessingMetaTypes();
        for (const char *name : {"ovra::project_data::ProcessingState", "ovra::project_data::ProcessingProgress",
                                 "ovra::project_data::ProcessingResult"})
            QVERIFY2(QMetaType::fromName(name).isValid(), name);
        const QVariant carried = QVariant::fromValue(ProcessingResult::failed("x"));
        QCOMPARE(carried.value<ProcessingResult>().errorMessage, QStringLiteral("x"));
    }
};

QTEST_GUILESS_MAIN(ProcessingRecordsTest)
#include "tst_processingrecords.moc"
