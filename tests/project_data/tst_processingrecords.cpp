#include "project_data/ProcessingRecords.h"

#include <QMetaType>
#include <QtTest>

using namespace ovra::project_data;

class ProcessingRecordsTest : public QObject
{
    Q_OBJECT

private slots:
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
