// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/service/MotionSpectrumProbe.h"

#include "diagnostics/service/Protocol.h"
#include "diagnostics/service/StateSnapshot.h"
#include "ui/controllers/ApplicationController.h"
#include "ui/controllers/ProcessingSettingsController.h"
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

QJsonObject header(const MotionSpectrumRequest &request, const QString &state, double progress)
{
    return {{QStringLiteral("state"), state},
            {QStringLiteral("startFrame"), double(request.startFrame)},
            {QStringLiteral("endFrameExclusive"), double(request.endFrameExclusive)},
            {QStringLiteral("regionOfInterest"), StateSnapshot::region(request.regionOfInterest)},
            {QStringLiteral("captureFrameRate"), request.sourceMetadata.captureFrameRate},
            {QStringLiteral("progress"), progress}};
}

QJsonObject finishedAnswer(const MotionSpectrumRequest &request, const motion_core::MotionSpectrum &spectrum,
                           qint64 analysedFrames)
{
    QJsonObject answer = header(request, QStringLiteral("succeeded"), 1.0);
    answer.insert(QStringLiteral("analysedFrames"), double(analysedFrames));
    insertSpectrum(spectrum, &answer);
    return answer;
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
    cancel();
    m_pool.waitForDone();
}

void MotionSpectrumProbe::cancel()
{
    if (m_job)
        m_job->cancel = true;
    m_job.reset();
}

QJsonObject MotionSpectrumProbe::query(const QJsonObject &params, bool mayStart, QString *errorCode)
{
    const QJsonValue resolution = params.value(QLatin1String("resolutionHz"));
    if (!resolution.isUndefined() && !(protocol::isFiniteNumber(resolution) && resolution.toDouble() > 0.0)) {
        *errorCode = QStringLiteral("invalid_params");
        return {};
    }
    if (!m_application->videoSession()->ready())
        return {{QStringLiteral("state"), QStringLiteral("unavailable")}};
    const auto *window = m_application->spectrum();
    MotionSpectrumRequest request = window->currentRequest();
    request.resolutionHz = resolution.toDouble(0.0);
    if (m_job && processing::sameAnalysis(m_job->request, request))
        return jobAnswer();
    // The window's spectrum, while current, answers for the default resolution it was made at.
    if (window->ready() && !window->stale() && request.resolutionHz == 0.0)
        return finishedAnswer(request, window->spectrum(), window->analysedFrames());
    // Anything else means new work, which only a client in control may ask for, and not while
    // the settings are locked for a preview or an export.
    if (!mayStart) {
        *errorCode = QStringLiteral("control_disabled");
        return {};
    }
    if (m_application->processingSettings()->editingLocked()) {
        *errorCode = QStringLiteral("state_conflict");
        return {};
    }
    start(request);
    return jobAnswer();
}

QJsonObject MotionSpectrumProbe::jobAnswer() const
{
    const Job &job = *m_job;
    const MotionSpectrumRequest &request = job.request;
    const qint64 total = job.totalFrames;
    const double progress = total > 0 ? double(job.processedFrames) / double(total) : 0.0;
    if (!job.future.isFinished())
        return header(request, QStringLiteral("running"), progress);
    const MotionSpectrumResult result = job.future.result();
    if (result.succeeded())
        return finishedAnswer(request, result.spectrum, result.analysedFrames);
    QJsonObject answer = header(request, stateName(result.state), progress);
    answer.insert(QStringLiteral("errorMessage"), result.errorMessage);
    return answer;
}

void MotionSpectrumProbe::start(const MotionSpectrumRequest &request)
{
    cancel();
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
