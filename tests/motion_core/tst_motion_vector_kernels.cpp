// SPDX-License-Identifier: GPL-3.0-or-later
// The vector kernels against the reference stages, bit for bit, for every kernel set
// this CPU runs.

#include "MotionCoreTesting.h"

#include "motion_core/Composition.h"
#include "motion_core/Luminance.h"
#include "motion_core/PhaseKernels.h"
#include "motion_core/PhaseVector.h"
#include "motion_core/PlaneOperations.h"
#include "motion_core/PyramidVector.h"
#include "motion_core/RieszTransform.h"
#include "motion_core/TemporalBandpassFilter.h"
#include "motion_core/VectorStages.h"

#include <QtTest>

using namespace ovra::motion_core;
using ovra::tests::identical;
using ovra::tests::randomPlane;

namespace {

// One row per supported vector set and per size.
void addSetAndSizeRows(const std::vector<QSize> &sizes)
{
    QTest::addColumn<KernelSet>("set");
    QTest::addColumn<QSize>("size");
    for (KernelSet set : ovra::tests::supportedKernelSets(false))
        for (const QSize &size : sizes)
            QTest::addRow("%s %dx%d", kernelSetName(set), size.width(), size.height()) << set << size;
}

QSize halved(const QSize &size)
{
    return QSize(std::max(1, (size.width() + 1) / 2), std::max(1, (size.height() + 1) / 2));
}

// Bilinear source positions of one axis, built as the processor builds them.
struct Axis
{
    std::vector<std::int32_t> first;
    std::vector<std::int32_t> second;
    std::vector<float> fraction;

    Axis(int sourceLength, int length)
    {
        for (int i = 0; i < length; ++i) {
            const ResampleTap tap = resampleTap(i, double(sourceLength) / length, sourceLength);
            first.push_back(tap.first);
            second.push_back(tap.second);
            fraction.push_back(tap.fraction);
        }
    }
    ResampleAxis view() const { return {first.data(), second.data(), fraction.data()}; }
};

QImage randomImage(const QSize &size, QImage::Format format, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(size, format);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(
                x, y,
                QColor::fromRgb(random.bounded(256), random.bounded(256), random.bounded(256), random.bounded(256)));
    return image;
}

// The whole height as one chunk, and as three (the middle one short).
std::vector<std::vector<std::pair<int, int>>> chunkings(int height)
{
    return {{{0, height}}, {{0, height / 3}, {height / 3, height / 2}, {height / 2, height}}};
}

} // namespace

class MotionVectorKernelsTest : public QObject
{
    Q_OBJECT

private slots:
    void decompositionMatchesTheReferenceBitForBit_data()
    {
        addSetAndSizeRows({QSize(1, 1), QSize(3, 2), QSize(5, 3), QSize(17, 9), QSize(37, 29), QSize(250, 131),
                           QSize(640, 7), QSize(33, 1)});
    }

    void decompositionMatchesTheReferenceBitForBit()
    {
        // One decomposition step (the low-pass image, the band-pass level and its quadrature
        // source, each chunk writing only its own rows), in one chunk and in three, against
        // blur, downsample, upsample, subtract and quadratureSource.
        QFETCH(KernelSet, set);
        QFETCH(QSize, size);
        const PyramidKernels &kernels = vectorKernels(set).pyramid;
        MotionWorkerPool pool;
        const FloatPlane input = randomPlane(size, quint32(size.width() * 31 + size.height()));
        FloatPlane blurred, scratch, expectedLow, upsampled, expectedLevel, expectedSource;
        blur(pool, input, pyramidKernel(), blurred, scratch);
        downsample(pool, blurred, expectedLow);
        upsample(pool, expectedLow, size.width(), size.height(), upsampled);
        subtract(pool, input, upsampled, expectedLevel);
        quadratureSource(pool, expectedLevel, expectedSource, scratch);

        const QSize coarse = halved(size);
        const Axis columns(coarse.width(), size.width());
        const Axis rows(coarse.height(), size.height());
        std::vector<float> rowsScratch(size_t(decomposeScratchFloats(size.width())));
        for (const auto &chunks : chunkings(size.height())) {
            FloatPlane low(coarse.width(), coarse.height(), -1.0f);
            FloatPlane level(size.width(), size.height(), -1.0f);
            FloatPlane source(size.width(), size.height(), -1.0f);
            const DecomposeJob job{input.data(), size.width(),  size.height(),  low.data(),
                                   level.data(), source.data(), columns.view(), rows.view()};
            for (auto [begin, end] : chunks)
                kernels.decomposeRows(job, rowsScratch.data(), begin, end);
            QVERIFY(identical(low, expectedLow));
            QVERIFY(identical(level, expectedLevel));
            QVERIFY(identical(source, expectedSource));
        }
    }

    void pixelKernelsMatchTheReferenceBitForBit_data()
    {
        QTest::addColumn<KernelSet>("set");
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<QRect>("processing");
        QTest::addColumn<QRectF>("region");
        QTest::addColumn<float>("ringWeight");
        QTest::addColumn<double>("feather");
        const QRect whole(0, 0, 61, 37);
        const QRect cropped(8, 4, 45, 29);
        const QRectF all(0, 0, 1, 1);
        const QRectF region(0.2, 0.3, 0.5, 0.4);
        for (KernelSet set : ovra::tests::supportedKernelSets(false)) {
            const auto row = [set](const char *name, QImage::Format format, QRect rect, QRectF area, float ring,
                                   double feather) {
                QTest::addRow("%s %s", kernelSetName(set), name) << set << format << rect << area << ring << feather;
            };
            row("whole frame", QImage::Format_RGBA8888, whole, all, 0.0f, 3.5);
            // A zero feather radius leaves the changes as they are: exact halves to round.
            row("whole frame, changes of whole halves", QImage::Format_ARGB32, whole, all, 0.0f, 0.0);
            row("region with ring, cropped", QImage::Format_RGBA8888, cropped, region, 0.4f, 3.5);
            row("region without ring, ARGB32", QImage::Format_ARGB32, whole, region, 0.0f, 3.5);
            row("hard mask, RGB888", QImage::Format_RGB888, cropped, region, 0.4f, 0.0);
            row("feather wider than the region", QImage::Format_ARGB32, whole, QRectF(0.4, 0.4, 0.1, 0.2), 0.4f, 24.0);
            row("region touching the border", QImage::Format_RGBA8888, whole, QRectF(0.0, 0.5, 0.3, 0.5), 0.0f, 4.0);
        }
    }

    void pixelKernelsMatchTheReferenceBitForBit()
    {
        // Luminance and composition, with the pixels read in place or converted first.
        QFETCH(KernelSet, set);
        QFETCH(QImage::Format, format);
        QFETCH(QRect, processing);
        QFETCH(QRectF, region);
        QFETCH(float, ringWeight);
        QFETCH(double, feather);
        const QRectF expanded = region.adjusted(-0.1, -0.1, 0.1, 0.1);
        MotionWorkerPool pool;
        const QImage frame = randomImage(QSize(61, 37), format, 9);
        // Changes large enough to clamp at both ends.
        // With whole luminances, the whole halves are exact and every channel a tie.
        const bool halves = feather == 0.0 && region == QRectF(0, 0, 1, 1);
        FloatPlane luminance = randomPlane(processing.size(), 1, 0.0, 255.0);
        const FloatPlane change = randomPlane(processing.size(), 2, -300.0, 300.0);
        FloatPlane magnified(processing.width(), processing.height());
        for (int i = 0; i < magnified.sampleCount(); ++i) {
            if (halves) {
                luminance.data()[i] = std::round(luminance.data()[i]);
                magnified.data()[i] = luminance.data()[i] + (std::round(change.data()[i] * 0.02f) + 0.5f);
            } else {
                magnified.data()[i] = luminance.data()[i] + change.data()[i] * (i % 3 == 0 ? 1.0f : 0.02f);
            }
        }

        const bool cropping = processing != frame.rect();
        QImage expected = composite(pool, cropping ? frame.copy(processing) : frame, luminance, magnified, region,
                                    expanded, ringWeight, feather);
        if (cropping)
            expected = pasteBack(frame, expected, processing.topLeft());

        VectorStages stages(set, pool);
        stages.prepare(frame.size(), processing, {processing.size(), halved(processing.size())},
                       {region, expanded, ringWeight, feather});
        // The luminance of the processing rectangle, read in place.
        FloatPlane expectedLuminance, vectorLuminance;
        extractLuminance(pool, frame.copy(processing), expectedLuminance);
        stages.extractLuminance(frame, vectorLuminance);
        QVERIFY(identical(vectorLuminance, expectedLuminance));
        const QImage result = stages.composite(frame, luminance, magnified);
        QCOMPARE(result.format(), QImage::Format_ARGB32);
        QVERIFY(result == expected);
    }

    void phaseStagesFollowTheReference_data()
    {
        QTest::addColumn<KernelSet>("set");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<float>("alpha");
        for (KernelSet set : ovra::tests::supportedKernelSets(false)) {
            for (const QSize &size : {QSize(1, 1), QSize(3, 2), QSize(19, 7), QSize(70, 41)}) {
                for (float alpha : {0.5f, 49.0f})
                    QTest::addRow("%s %dx%d alpha %g", kernelSetName(set), size.width(), size.height(), double(alpha))
                        << set << size << alpha;
            }
        }
    }

    void phaseStagesFollowTheReference()
    {
        QFETCH(KernelSet, set);
        QFETCH(QSize, size);
        QFETCH(float, alpha);
        MotionWorkerPool pool;
        const int samples = size.width() * size.height();
        FloatPlane level = randomPlane(size, 11, -40.0, 40.0);
        // A small motion: mostly small phase differences, as in real frames, plus noise; a
        // flat corner where the amplitude falls below its thresholds.
        FloatPlane previous = level;
        const FloatPlane noise = randomPlane(size, 12, -4.0, 4.0);
        for (int i = 0; i < samples; ++i)
            previous.data()[i] += noise.data()[i];
        for (FloatPlane *plane : {&level, &previous})
            for (int y = 0; y < size.height() / 3; ++y)
                for (int x = 0; x < size.width() / 3; ++x)
                    plane->at(x, y) = 1e-4f * float(x - y);
        FloatPlane source, previousSource, sourceScratch;
        quadratureSource(pool, level, source, sourceScratch);
        quadratureSource(pool, previous, previousSource, sourceScratch);
        const FloatPlane startH = randomPlane(size, 13, -2.0, 2.0);
        const FloatPlane startV = randomPlane(size, 14, -2.0, 2.0);
        // Filters with a state that is not zero.
        TemporalBandpassFilter filterH;
        QVERIFY(filterH.configure(240.0, 8.0, 12.0, nullptr));
        TemporalBandpassFilter filterV = filterH;
        std::vector<FloatPlane> unused;
        QVERIFY(filterH.process({randomPlane(size, 15, -1.0, 1.0)}, &unused, pool, nullptr));
        QVERIFY(filterV.process({randomPlane(size, 16, -1.0, 1.0)}, &unused, pool, nullptr));
        TemporalBandpassFilter referenceH = filterH;
        TemporalBandpassFilter referenceV = filterV;

        const FloatPlane coarser = randomPlane(halved(size), 17, 0.0, 255.0);
        const Axis columns(coarser.width(), size.width());
        const Axis rows(coarser.height(), size.height());

        // The vector pass, as one chunk.
        const PhaseVectorKernels &kernels = vectorKernels(set).phase;
        FloatPlane accumulatorH = startH;
        FloatPlane accumulatorV = startV;
        FloatPlane reconstructed(size.width(), size.height());
        // One chunk has no seams, so the planes kept for them are not needed.
        const PhaseLevelJob job{level.data(),
                                previous.data(),
                                source.data(),
                                previousSource.data(),
                                size.width(),
                                size.height(),
                                accumulatorH.data(),
                                accumulatorV.data(),
                                filterH.singlePrecisionCoefficients(),
                                filterH.state(0),
                                filterV.singlePrecisionCoefficients(),
                                filterV.state(0),
                                nullptr,
                                nullptr,
                                nullptr,
                                alpha,
                                coarser.data(),
                                coarser.width(),
                                columns.view(),
                                rows.view(),
                                reconstructed.data()};
        std::vector<float> scratch(size_t(phaseScratchFloats(size.width())));
        kernels.levelRows(job, scratch.data(), 0, size.height());

        // Reference: Riesz pairs and accumulation.
        FloatPlane r1, r2, previousR1, previousR2;
        computeRieszPair(pool, source, r1, r2);
        computeRieszPair(pool, previousSource, previousR1, previousR2);
        FloatPlane expectedH = startH;
        FloatPlane expectedV = startV;
        FloatPlane amplitude;
        accumulatePhaseDifference(pool, {level, r1, r2}, {previous, previousR1, previousR2}, expectedH, expectedV,
                                  amplitude);
        QVERIFY(identical(accumulatorH, expectedH));
        QVERIFY(identical(accumulatorV, expectedV));

        // The filter is bit-identical: the reference filter, fed the vector pass's
        // accumulators, ends in the same state.
        std::vector<FloatPlane> filteredH;
        std::vector<FloatPlane> filteredV;
        QVERIFY(referenceH.process({accumulatorH}, &filteredH, pool, nullptr));
        QVERIFY(referenceV.process({accumulatorV}, &filteredV, pool, nullptr));
        for (auto [reference, vector] : {std::pair{&referenceH, &filterH}, std::pair{&referenceV, &filterV}}) {
            QVERIFY(identical(reference->state(0).z1, vector->state(0).z1, samples));
            QVERIFY(identical(reference->state(0).z2, vector->state(0).z2, samples));
        }

        // From that filtered phase on the same bits as the reference: weighting, three blurs,
        // the division, the shift in place and the reconstruction step.
        FloatPlane weightedH, weightedV, scratchPlane, phaseH, phaseV;
        weightByAmplitude(pool, amplitude, filteredH[0], filteredV[0], weightedH, weightedV);
        blur(pool, weightedH, phaseDenoisingKernel(), weightedH, scratchPlane);
        blur(pool, weightedV, phaseDenoisingKernel(), weightedV, scratchPlane);
        blur(pool, amplitude, phaseDenoisingKernel(), amplitude, scratchPlane);
        phaseH.reshape(size.width(), size.height());
        phaseV.reshape(size.width(), size.height());
        divideByAmplitude(pool, weightedH, weightedV, amplitude, phaseH, phaseV);
        FloatPlane shifted = level;
        shiftPhase(pool, alpha, phaseH, phaseV, r1, r2, shifted);
        FloatPlane upsampled;
        FloatPlane expected;
        upsample(pool, coarser, size.width(), size.height(), upsampled);
        add(pool, upsampled, shifted, expected);
        QVERIFY(identical(reconstructed, expected));
    }
};

QTEST_GUILESS_MAIN(MotionVectorKernelsTest)
#include "tst_motion_vector_kernels.moc"
