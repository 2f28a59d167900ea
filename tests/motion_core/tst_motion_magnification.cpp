// SPDX-License-Identifier: GPL-3.0-or-later
#include "MotionCoreTesting.h"
#include "VibratingVideo.h"

#include "motion_core/PhaseMotionProcessor.h"

#include <QtTest>

Q_DECLARE_METATYPE(ovra::tests::VibratingPattern)

using namespace ovra;
using namespace ovra::motion_core;
using ovra::tests::VibratingPattern;

namespace {

constexpr double captureFps = tests::motionCaptureFps;
constexpr double lowerHz = 9.0;
constexpr double upperHz = 13.0;
constexpr double inBandHz = 11.0;
// The band-pass has decayed below 1 % after about 90 frames; the rest is measured.
constexpr int settlingFrames = 96;

VibratingPattern moving(const tests::Structure &structure, double degrees, double amplitudePixels, int side,
                        double motionHz = inBandHz)
{
    const double radians = degrees * M_PI / 180.0;
    return {QSize(side, side),
            captureFps,
            settlingFrames + 144,
            motionHz,
            amplitudePixels,
            structure,
            QPointF(std::cos(radians), std::sin(radians))};
}

double theoreticalGain(double factor, double motionHz)
{
    return tests::theoreticalGain(factor, motionHz, captureFps, lowerHz, upperHz);
}

} // namespace

// The factor asked for is the factor measured: structures moving by a known sub-pixel
// sinusoid go through the motion core, and the translation of the output frames is fitted
// (VibratingVideo.h) and compared with the theoretical gain.
class MotionMagnificationTest : public QObject
{
    Q_OBJECT

private slots:
    void measuredGainFollowsTheFactor_data()
    {
        QTest::addColumn<VibratingPattern>("pattern");
        QTest::addColumn<double>("factor");
        QTest::addColumn<double>("lowest"); // measured / theoretical gain
        QTest::addColumn<double>("highest");
        using namespace ovra::tests;
        const auto inBand = [](const char *name, const VibratingPattern &pattern, double factor) {
            QTest::newRow(name) << pattern << factor << 0.9 << 1.1;
        };
        for (int period : {4, 5, 8, 12, 32, 64})
            inBand(qPrintable(QStringLiteral("stripes %1 px").arg(period)),
                   moving(grating(period, 0), 0, period == 64 ? 0.1 : 0.08, period < 32 ? 128 : 256), 10);
        for (int degrees : {30, 45, 60, 90}) {
            inBand(qPrintable(QStringLiteral("grating 8 px at %1 deg").arg(degrees)),
                   moving(grating(8, degrees), degrees, 0.08, 128), 10);
            inBand(qPrintable(QStringLiteral("grating 24 px at %1 deg").arg(degrees)),
                   moving(grating(24, degrees), degrees, 0.08, 256), 10);
        }
        inBand("grating 4 px at 45 deg", moving(grating(4, 45), 45, 0.08, 128), 10);
        inBand("grating 64 px at 45 deg", moving(grating(64, 45), 45, 0.1, 256), 10);
        inBand("stripes 16 px, factor 5", moving(grating(16, 0), 0, 0.1, 128), 5);
        inBand("stripes 16 px, factor 20", moving(grating(16, 0), 0, 0.05, 128), 20);
        inBand("grating 8 px at 30 deg, factor 20", moving(grating(8, 30), 30, 0.05, 128), 20);
        inBand("bars 12 px", moving(squareWaveBars(12), 0, 0.05, 128), 10);
        inBand("bars 24 px", moving(squareWaveBars(24), 0, 0.08, 128), 10);
        inBand("bars 48 px", moving(squareWaveBars(48), 0, 0.08, 256), 10);

        const auto outOfBand = [](const char *name, const VibratingPattern &pattern) {
            QTest::newRow(name) << pattern << 10.0 << 0.85 << 1.15;
        };
        outOfBand("stripes 8 px at 44 Hz", moving(grating(8, 0), 0, 0.08, 128, 4 * inBandHz));
        outOfBand("grating 24 px at 45 deg, 44 Hz", moving(grating(24, 45), 45, 0.08, 256, 4 * inBandHz));

        // Several orientations overlap at every sample, where one local phase per sample
        // cannot follow all of them.
        for (unsigned seed : {1u, 2u})
            QTest::newRow(qPrintable(QStringLiteral("natural texture %1").arg(seed)))
                << moving(naturalTexture(seed), 0, 0.08, 128) << 10.0 << 0.6 << 1.1;
    }

    void measuredGainFollowsTheFactor()
    {
        QFETCH(VibratingPattern, pattern);
        QFETCH(double, factor);
        QFETCH(double, lowest);
        QFETCH(double, highest);
        MotionSettings settings = tests::band(lowerHz, upperHz);
        settings.amplificationFactor = factor;
        settings.workerThreadCount = 2;
        PhaseMotionProcessor processor;
        QString error;
        QVERIFY2(processor.configure(tests::motionMetadata(pattern.frameSize), settings, &error), qPrintable(error));

        const std::vector<QImage> inputs = tests::vibratingPatternFrames(pattern);
        std::vector<QImage> outputs;
        std::vector<media::VideoFrame> output;
        for (int index = 0; index < pattern.frameCount; ++index) {
            QVERIFY2(processor.processFrame(tests::motionFrame(index, inputs[size_t(index)]), &output, &error),
                     qPrintable(error));
            outputs.push_back(output.front().image);
        }

        const double input = tests::motionAmplitude(inputs, pattern, settlingFrames);
        const double gain = tests::motionAmplitude(outputs, pattern, settlingFrames) / input;
        const double theory = theoreticalGain(factor, pattern.frequencyHz);
        qInfo("input %.4f px, measured gain %.2f, theory %.2f, ratio %.3f", input, gain, theory, gain / theory);
        QVERIFY2(std::abs(input / pattern.amplitudePixels - 1.0) < 0.05, qPrintable(QString::number(input)));
        QVERIFY2(gain >= lowest * theory && gain <= highest * theory,
                 qPrintable(QStringLiteral("gain %1, theory %2").arg(gain).arg(theory)));
    }
};

QTEST_GUILESS_MAIN(MotionMagnificationTest)
#include "tst_motion_magnification.moc"
