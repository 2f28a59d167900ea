// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controllers/StatusLine.h"

namespace ovra::ui::controllers {

namespace {

using ExportState = ExportController::State;
using SessionState = VideoSessionController::AnalysisState;
using AnalysisState = AnalysisController::State;
using PlaybackState = PlaybackController::State;

bool resultShown(const StatusLine::Facts &facts)
{
    return facts.analysis == AnalysisState::Ready || facts.analysis == AnalysisState::Stale;
}

// A long operation's word, or nothing when none runs.
QString runningText(const StatusLine::Facts &facts)
{
    if (facts.exporter == ExportState::Cancelling)
        return StatusLine::tr("Cancelling result saving…");
    if (facts.exporter == ExportState::Processing)
        return facts.exportStage.isEmpty() ? StatusLine::tr("Saving analysis result…") : facts.exportStage;
    if (facts.session == SessionState::Cancelling)
        return StatusLine::tr("Cancelling source video analysis…");
    if (facts.session == SessionState::Analyzing)
        return StatusLine::tr("Analyzing source video…");
    if (facts.analysis == AnalysisState::Cancelling)
        return StatusLine::tr("Cancelling analysis…");
    if (facts.analysis == AnalysisState::Processing)
        return facts.analysisStage.isEmpty() ? StatusLine::tr("Analyzing selected fragment…") : facts.analysisStage;
    return {};
}

QString playerText(const StatusLine::Facts &facts)
{
    switch (facts.playback) {
    case PlaybackState::Loading:
        return resultShown(facts) && !facts.resultPlayable ? StatusLine::tr("Preparing analysis result playback…")
                                                           : StatusLine::tr("Preparing video frame…");
    case PlaybackState::Starting:
        return StatusLine::tr("Starting playback…");
    case PlaybackState::Pausing:
        return StatusLine::tr("Pausing playback…");
    default:
        return {};
    }
}

QString errorText(const StatusLine::Facts &facts)
{
    if (facts.exporter == ExportState::Error)
        return facts.exportError.isEmpty() ? StatusLine::tr("Saving the result failed") : facts.exportError;
    if (facts.analysis == AnalysisState::Error)
        return facts.analysisError;
    if (!facts.resultError.isEmpty())
        return facts.resultError;
    if (facts.playback == PlaybackState::Error)
        return facts.playbackError;
    if (facts.session == SessionState::Error)
        return facts.sessionError;
    return {};
}

QString settledText(const StatusLine::Facts &facts)
{
    if (facts.session == SessionState::Cancelled)
        return StatusLine::tr("Video analysis cancelled");
    if (facts.playback == PlaybackState::Playing)
        return StatusLine::tr("Playing selected fragment");
    if (facts.exporter == ExportState::Completed)
        return StatusLine::tr("Result saved: %1").arg(facts.savedFileName);
    if (facts.analysis == AnalysisState::Stale)
        return StatusLine::tr("Analysis settings have changed");
    if (facts.analysis == AnalysisState::Ready && facts.resultPlayable)
        return StatusLine::tr("Analysis result is ready");
    if (facts.session == SessionState::Ready)
        return StatusLine::tr("Source video is ready");
    return StatusLine::tr("Ready to open a video");
}

} // namespace

QString StatusLine::textOf(const Facts &facts)
{
    for (const QString &text : {runningText(facts), playerText(facts), errorText(facts)}) {
        if (!text.isEmpty())
            return text;
    }
    return settledText(facts);
}

StatusLine::Tone StatusLine::toneOf(const Facts &facts)
{
    if (facts.exporter == ExportState::Error || facts.session == SessionState::Error
        || facts.analysis == AnalysisState::Error || facts.playback == PlaybackState::Error
        || !facts.resultError.isEmpty())
        return Tone::Error;
    if (facts.analysis == AnalysisState::Stale || facts.session == SessionState::Cancelled)
        return Tone::Warning;
    return Tone::Success;
}

bool StatusLine::activeIn(const Facts &facts)
{
    return !runningText(facts).isEmpty() || !playerText(facts).isEmpty();
}

StatusLine::StatusLine(ExportController *exporter, VideoSessionController *session, AnalysisController *analysis,
                       PlaybackController *playback, QObject *parent)
    : QObject(parent)
    , m_exporter(exporter)
    , m_session(session)
    , m_analysis(analysis)
    , m_playback(playback)
{
    connect(exporter, &ExportController::stateChanged, this, &StatusLine::refresh);
    connect(exporter, &ExportController::progressChanged, this, &StatusLine::refresh);
    connect(session, &VideoSessionController::stateChanged, this, &StatusLine::refresh);
    connect(session, &VideoSessionController::errorMessageChanged, this, &StatusLine::refresh);
    connect(analysis, &AnalysisController::stateChanged, this, &StatusLine::refresh);
    connect(analysis, &AnalysisController::progressChanged, this, &StatusLine::refresh);
    connect(playback, &PlaybackController::stateChanged, this, &StatusLine::refresh);
    connect(playback, &PlaybackController::errorMessageChanged, this, &StatusLine::refresh);
    connect(playback, &PlaybackController::resultStateChanged, this, &StatusLine::refresh);
    refresh();
}

StatusLine::Facts StatusLine::currentFacts() const
{
    Facts facts;
    facts.exporter = m_exporter->state();
    facts.exportStage = m_exporter->stageName();
    facts.exportError = m_exporter->errorMessage();
    facts.savedFileName = m_exporter->destinationFileName();
    facts.session = m_session->state();
    facts.sessionError = m_session->errorMessage();
    facts.analysis = m_analysis->state();
    facts.analysisStage = m_analysis->stageName();
    facts.analysisError = m_analysis->errorMessage();
    facts.playback = m_playback->state();
    facts.resultPlayable = m_playback->resultAvailable();
    facts.playbackError = m_playback->errorMessage();
    facts.resultError = m_playback->resultErrorMessage();
    return facts;
}

void StatusLine::refresh()
{
    const Facts facts = currentFacts();
    const QString text = textOf(facts);
    const Tone tone = toneOf(facts);
    const bool active = activeIn(facts);
    if (text == m_text && tone == m_tone && active == m_active)
        return;
    m_text = text;
    m_tone = tone;
    m_active = active;
    emit changed();
}

} // namespace ovra::ui::controllers
