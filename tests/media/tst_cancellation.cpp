#include "media/Cancellation.h"

#include <QtTest>

using ovra::media::CancellationState;

class CancellationTest : public QObject
{
    Q_OBJECT

private slots:
    // The user-interface thread may mark the flag while the worker's check is running; the
    // worker's "not cancelled" answer must not wipe that mark out.
    void aMarkSetDuringACheckIsKept()
    {
        CancellationState *state = nullptr;
        CancellationState cancellation([&state] {
            state->markCancelled();
            return false;
        });
        state = &cancellation;
        QVERIFY(cancellation.query());
        QVERIFY(cancellation.cancelled());
    }
};

QTEST_GUILESS_MAIN(CancellationTest)
#include "tst_cancellation.moc"
