#include "project_data/ProcessingRecords.h"

#include <QtTest>

using namespace ovra::project_data;

// Their travel between threads is proven where they travel: the preview and export tests.
class ProcessingRecordsTest : public QObject
{
    Q_OBJECT

private slots:
    void resultMessagesCarryWarnings()
    {
        const ProcessingResult failed = ProcessingResult::failed("Disk full.", "A file may remain at /x: busy");
        QCOMPARE(failed.errorMessage, QStringLiteral("Disk full. A file may remain at /x: busy"));
        QCOMPARE(failed.state, ProcessingState::Failed);
        const ProcessingResult cancelled = ProcessingResult::cancelled("A file may remain at /y: busy");
        QCOMPARE(cancelled.state, ProcessingState::Cancelled);
        QCOMPARE(cancelled.errorMessage,
                 QStringLiteral("Processing was cancelled by the user. A file may remain at /y: busy"));
    }
};

QTEST_GUILESS_MAIN(ProcessingRecordsTest)
#include "tst_processingrecords.moc"
