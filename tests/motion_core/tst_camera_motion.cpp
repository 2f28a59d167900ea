// SPDX-License-Identifier: GPL-3.0-or-later
#include "MotionCoreTesting.h"
#include "ShakingScene.h"
#include "motion_core/CameraMotionEstimator.h"
#include "motion_core/FrameWarp.h"

#include <QTest>

#include <cmath>

using ovra::motion_core::CameraMotionEstimator;
using ovra::tests::ShakingScene;

Q_DECLARE_METATYPE(ShakingScene)

class CameraMotionTest : public QObject
{
    Q_OBJECT

private slots:
    void estimatesTheCameraToHundredthsOfAPixel_data()
    {
        QTest::addColumn<ShakingScene>("scene");
        QTest::addColumn<QRect>("reference");
        QTest::addColumn<double>("largestError");
        ShakingScene still;
        still.partTone.amplitudePixels = 0.0;
        const QRect whole(QPoint(0, 0), still.frameSize);
        QTest::newRow("whole frame, nothing moves on its own") << still << whole << 0.02;
        QTest::newRow("whole frame around a vibrating part") << ShakingScene() << whole << 0.02;
        QTest::newRow("reference region beside the part") << ShakingScene() << QRect(8, 8, 96, 224) << 0.02;
        ShakingScene noisy;
        noisy.noiseSigma = 2.0;
        QTest::newRow("sensor noise") << noisy << whole << 0.05;
    }

    void estimatesTheCameraToHundredthsOfAPixel()
    {
        QFETCH(ShakingScene, scene);
        QFETCH(QRect, reference);
        QFETCH(double, largestError);
        scene.frameCount = 120;
        const std::vector<QImage> frames = scene.frames();
        CameraMotionEstimator estimator(reference, 1.0);
        QVERIFY(estimator.setReference(frames.front()));
        double worst = 0.0;
        for (int t = 1; t < scene.frameCount; ++t) {
            const QTransform estimate = estimator.track(frames[size_t(t)]);
            const QTransform truth = scene.camera(t).inverted();
            for (const QPointF &p :
                 {QPointF(reference.topLeft()), QPointF(reference.bottomRight()), QPointF(reference.center())})
                worst = std::max(worst, QLineF(estimate.map(p), truth.map(p)).length());
        }
        qInfo("largest error %.4f px", worst);
        QVERIFY2(worst <= largestError, qPrintable(QString::number(worst)));
    }

    // Warping the first frame by the camera's motion must render what the camera saw: the
    // interpolation keeps sub-pixel positions instead of blurring or snapping them.
    void warpRendersTheMovedView()
    {
        ShakingScene scene;
        scene.partStructure = scene.world; // a seamless world: no edge for the interpolation to soften
        scene.partTone.amplitudePixels = 0.0;
        scene.frameCount = 40;
        const std::vector<QImage> frames = scene.frames();
        QCOMPARE(ovra::motion_core::warpFrame(frames.front(), QTransform()), frames.front());
        for (int t : {7, 23, 39}) {
            const QImage warped = ovra::motion_core::warpFrame(frames.front(), scene.camera(t));
            int worst = 0;
            for (int y = 8; y < warped.height() - 8; ++y)
                for (int x = 8; x < warped.width() - 8; ++x)
                    worst = std::max(
                        worst,
                        std::abs(int(warped.constScanLine(y)[4 * x]) - int(frames[size_t(t)].constScanLine(y)[4 * x])));
            QVERIFY2(worst <= 2, qPrintable(QString::number(worst)));
        }
    }

    // Every vector kernel set gives the reference's bits, inside the frame and where the edge
    // repeats, in pairs of pixels and alone.
    void vectorWarpFollowsTheReference_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QTransform>("transform");
        QTest::newRow("roll and zoom") << QSize(
            160, 120) << QTransform().translate(80, 60).rotate(1.5).scale(1.01, 1.01).translate(-80.3, -59.6);
        QTest::newRow("odd size, far outside") << QSize(37, 23) << QTransform::fromTranslate(-40.25, 30.5);
        QTest::newRow("one pixel") << QSize(1, 1) << QTransform::fromTranslate(0.3, -0.7);
    }

    void vectorWarpFollowsTheReference()
    {
        QFETCH(QSize, size);
        QFETCH(QTransform, transform);
        ShakingScene scene;
        scene.frameSize = size;
        scene.frameCount = 1;
        const QImage frame = scene.frames().front();
        ovra::motion_core::MotionWorkerPool pool;
        QImage reference;
        ovra::motion_core::warpFrame(pool, frame, transform, &reference, ovra::motion_core::KernelSet::Reference);
        const std::vector<ovra::motion_core::KernelSet> sets = ovra::tests::supportedKernelSets(false);
        if (sets.empty())
            QSKIP("this build or CPU has only the reference kernels");
        for (const ovra::motion_core::KernelSet set : sets) {
            QImage vector;
            ovra::motion_core::warpFrame(pool, frame, transform, &vector, set);
            QVERIFY2(vector == reference, ovra::motion_core::kernelSetName(set));
        }
    }
};

QTEST_GUILESS_MAIN(CameraMotionTest)
#include "tst_camera_motion.moc"
