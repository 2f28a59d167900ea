// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/MotionSpectrumProbe.h"

#include "diagnostics/service/Protocol.h"
#include "diagnostics/service/StateSnapshot.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/SpectrumController.h"
#include "ui/controllers/VideoSessionController.h"

#include <QFuture>
#include <QJsonArray>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>

namespace ovra::diagnostics::service {

using processing::MotionSpectrumRequest;
using processing::MotionSpectrumResult;

namespace {

// Beyond this the arrays would outgrow what a client may leave unread.
constexpr int largestAnsweredBinCount = 4096;

QJsonArray numbers(const std::vector<double> &values)
{
    QJsonArray array;
    for (const double value : values)
        array.append(value);
    return array;
}

void insertSpectrum(const motion_core::MotionSpectrum &spectrum, QJsonObject *answer)
{
    QJsonArray peaks;
    for (const motion_core::SpectrumPeak &peak : spectrum.peaks)
        peaks.append(QJsonObject{{QStringLiteral("frequencyHz"), peak.frequencyHz},
                                 {QStringLiteral("amplitudePixels"), peak.amplitudePixels},
                                 {QStringLiteral("directionDegrees"), peak.directionDegrees}});
    answer->insert(QStringLiteral("peaks"), peaks);
    answer->insert(QStringLiteral("resolutionHz"), spectrum.resolutionHz);
    answer->insert(QStringLiteral("nyquistHz"), spectrum.nyquistHz());
    answer->insert(QStringLiteral("segmentLength"), spectrum.segmentLength);
    answer->insert(QStringLiteral("segmentCount"), spectrum.segmentCount);
    answer->insert(QStringLiteral("tileCount"), spectrum.tileCount);
    answer->insert(QStringLiteral("binCount"), spectrum.binCount());
    if (spectrum.binCount() > largestAnsweredBinCount)
        return;
    answer->insert(QStringLiteral("amplitudeXPixels"), numbers(spectrum.amplitudeXPixels));
    answer->insert(QStringLiteral("amplitudeYPixels"), numbers(spectrum.amplitudeYPixels));
    answer->insert(QStringLiteral("amplitudePixels"), numbers(spectrum.amplitudePixels));
    answer->insert(QStringLiteral("noiseFloorPixels"), numbers(spectrum.noiseFloorPixels));
}

QString stateName(project_data::ProcessingState state)
{
    switch (state) {
    case project_data::ProcessingState::Succeeded:
        return QStringLiteral("succeeded");
    case project_data::ProcessingState::Cancelled:
        return QStringLiteral("cancelled");
    default:
        return QStringLiteral("failed");
    }
}

} // namespace

struct MotionSpectrumProbe::Job
{
    MotionSpectrumRequest request;
    std::atomic<bool> cancel{false};
    std::atomic<qint64> processedFrames{0};
    std::atomic<qint64> totalFrames{0};
    QFuture<MotionSpectrumResult> future;
};

MotionSpectrumProbe::MotionSpectrumProbe(ui::controllers::ApplicationController *application)
    : m_application(application)
{
    m_pool.setMaxThreadCount(1);
}

MotionSpectrumProbe::~MotionSpectrumProbe()
{
    if (m_job)
        m_job->cancel = true;
    m_pool.waitForDone();
}

QJsonObject MotionSpectrumProbe::query(const QJsonObject &params, QString *errorCode)
{
    const QJsonValue resolution = params.value(QLatin1String("resolutionHz"));
    if (!resolution.isUndefined() && !(protocol::isFiniteNumber(resolution) && resolution.toDouble() > 0.0)) {
        *errorCode = QStringLiteral("invalid_params");
        return {};
    }
    if (!m_application->videoSession()->ready())
        return {{QStringLiteral("state"), QStringLiteral("unavailable")}};
    MotionSpectrumRequest request = m_application->spectrum()->currentRequest();
    request.resolutionHz = resolution.toDouble(0.0);
    if (!m_job || !processing::sameAnalysis(m_job->request, request))
        start(request);

    const Job &job = *m_job;
    const qint64 total = job.totalFrames;
    QJsonObject answer{{QStringLiteral("startFrame"), double(request.startFrame)},
                       {QStringLiteral("endFrameExclusive"), double(request.endFrameExclusive)},
                       {QStringLiteral("regionOfInterest"), StateSnapshot::region(request.regionOfInterest)},
                       {QStringLiteral("captureFrameRate"), request.sourceMetadata.captureFrameRate},
                       {QStringLiteral("progress"), total > 0 ? double(job.processedFrames) / double(total) : 0.0}};
    if (!job.future.isFinished()) {
        answer.insert(QStringLiteral("state"), QStringLiteral("running"));
        return answer;
    }
    const MotionSpectrumResult result = job.future.result();
    answer.insert(QStringLiteral("state"), stateName(result.state));
    if (!result.succeeded()) {
        answer.insert(QStringLiteral("errorMessage"), result.errorMessage);
        return answer;
    }
    answer.insert(QStringLiteral("analysedFrames"), double(result.analysedFrames));
    insertSpectrum(result.spectrum, &answer);
    return answer;
}

void MotionSpectrumProbe::start(const MotionSpectrumRequest &request)
{
    if (m_job)
        m_job->cancel = true;
    auto job = std::make_shared<Job>();
    job->request = request;
    job->future = QtConcurrent::run(&m_pool, [job] {
        return processing::MotionSpectrumAnalysis().run(
            job->request,
            [&job = *job](const project_data::ProcessingProgress &progress) {
                job.totalFrames = progress.totalFrames;
                job.processedFrames = progress.processedFrames;
            },
            [&job = *job] { return job.cancel.load(); });
    });
    m_job = std::move(job);
}

} // namespace ovra::diagnostics::service
