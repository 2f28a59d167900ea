#include "VibratingVideo.h"

#include "media/libav/LibavVideoAnalyzer.h"
#include "processing/MotionSpectrumAnalysis.h"

#include <QTemporaryDir>
#include <QtTest>

using ovra::motion_core::MotionSpectrum;
using ovra::motion_core::SpectrumPeak;
using ovra::processing::MotionSpectrumResult;
using ovra::tests::Tone;
using ovra::tests::VibratingPattern;

Q_DECLARE_METATYPE(VibratingPattern)

namespace {

struct ExpectedPeak
{
    double frequencyHz;
    double amplitudePixels;
    double directionDegrees;
};
using ExpectedPeaks = std::vector<ExpectedPeak>;

double directionError(double a, double b)
{
    const double difference = std::fmod(std::abs(a - b), 180.0);
    return std::min(difference, 180.0 - difference);
}

QString describe(const MotionSpectrum &spectrum)
{
    QString text = QStringLiteral("bin %1 Hz, peaks:").arg(spectrum.resolutionHz);
    for (const SpectrumPeak &peak : spectrum.peaks)
        text += QStringLiteral(" %1 Hz %2 px %3 deg;").arg(peak.frequencyHz).arg(peak.amplitudePixels).arg(peak.directionDegrees);
    return text;
}

} // namespace

class MotionSpectrumTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

    MotionSpectrumResult analyse(const VibratingPattern &pattern, const ovra::processing::ProgressCallback &progress,
                                 const ovra::media::CancellationCheck &cancellation)
    {
        const QString path =
            m_folder.filePath(QStringLiteral("%1 %2.mkv").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
        QString error;
        ovra::processing::MotionSpectrumRequest request;
        if (!ovra::tests::writeVibratingPatternVideo(path, pattern, &error)
            || !ovra::media::libav::LibavVideoAnalyzer().analyze(path, &request.sourceMetadata, &error)) {
            MotionSpectrumResult failed;
            failed.errorMessage = error;
            return failed;
        }
        request.sourceMetadata.captureFrameRate = pattern.frameRate;
        return ovra::processing::MotionSpectrumAnalysis().run(request, progress, cancellation);
    }

private slots:
    // Rendered parts vibrating at known frequencies: every line is found within one bin with its
    // own amplitude, and nothing else rises above a fifth of the strongest.
    void findsTheLinesOfRenderedMotion_data()
    {
        QTest::addColumn<VibratingPattern>("pattern");
        QTest::addColumn<ExpectedPeaks>("expected");

        VibratingPattern parts{{192, 96}, 100.0, 400, 7.4, 0.3};
        parts.rightHalf = {19.0, 0.15};
        QTest::newRow("two parts, two frequencies") << parts << ExpectedPeaks{{7.4, 0.3, 0.0}, {19.0, 0.15, 0.0}};

        VibratingPattern harmonic{{192, 96}, 120.0, 360, 9.3, 0.4};
        harmonic.structure = ovra::tests::naturalTexture(5);
        harmonic.direction = {0.0, 1.0};
        harmonic.overtones = {{18.6, 0.12}};
        QTest::newRow("fundamental and harmonic, vertical")
            << harmonic << ExpectedPeaks{{9.3, 0.4, 90.0}, {18.6, 0.12, 90.0}};

        VibratingPattern slowMotion{{192, 96}, 240.0, 300, 50.0, 0.25};
        slowMotion.playbackFrameRate = 30.0;
        slowMotion.direction = {std::sqrt(0.5), std::sqrt(0.5)};
        slowMotion.structure = ovra::tests::naturalTexture(9);
        QTest::newRow("slow motion, capture rate in force") << slowMotion << ExpectedPeaks{{50.0, 0.25, 45.0}};

        VibratingPattern noise{{192, 96}, 60.0, 300, 10.0, 0.0};
        noise.noiseSigma = 3.0;
        QTest::newRow("static scene with sensor noise") << noise << ExpectedPeaks{};
    }

    void findsTheLinesOfRenderedMotion()
    {
        QFETCH(VibratingPattern, pattern);
        QFETCH(ExpectedPeaks, expected);
        const MotionSpectrumResult result = analyse(pattern, {}, {});
        QVERIFY2(result.succeeded(), qPrintable(result.errorMessage));
        const MotionSpectrum &spectrum = result.spectrum;
        const QString found = describe(spectrum);

        for (int k = 2; k < spectrum.binCount() && expected.empty(); ++k)
            QVERIFY2(spectrum.amplitudePixels[k] <= spectrum.noiseFloorPixels[k], qPrintable(found));
        const auto near = [&spectrum](double a, double b) { return std::abs(a - b) <= spectrum.resolutionHz; };
        for (const ExpectedPeak &line : expected) {
            const auto peak = std::find_if(spectrum.peaks.begin(), spectrum.peaks.end(),
                                           [&](const SpectrumPeak &peak) { return near(peak.frequencyHz, line.frequencyHz); });
            QVERIFY2(peak != spectrum.peaks.end(), qPrintable(found));
            QVERIFY2(std::abs(peak->amplitudePixels / line.amplitudePixels - 1.0) <= 0.15, qPrintable(found));
            QVERIFY2(directionError(peak->directionDegrees, line.directionDegrees) <= 15.0, qPrintable(found));
        }
        for (const SpectrumPeak &peak : spectrum.peaks) {
            const bool expectedLine = std::any_of(expected.begin(), expected.end(),
                                                  [&](const ExpectedPeak &line) { return near(peak.frequencyHz, line.frequencyHz); });
            QVERIFY2(expectedLine || peak.amplitudePixels <= 0.2 * spectrum.peaks.front().amplitudePixels, qPrintable(found));
        }
    }

    void cancellationStopsBetweenFrames()
    {
        int reports = 0;
        const MotionSpectrumResult result = analyse(VibratingPattern{{192, 96}, 60.0, 120, 10.0, 0.2},
                                                    [&reports](const auto &) { ++reports; }, [&reports] { return reports == 5; });
        QCOMPARE(result.state, ovra::project_data::ProcessingState::Cancelled);
        QCOMPARE(reports, 5);
    }
};

QTEST_GUILESS_MAIN(MotionSpectrumTest)
#include "tst_motionspectrum.moc"
