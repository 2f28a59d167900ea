// SPDX-License-Identifier: GPL-3.0-or-later
.pragma library

// What the status bar says: the first of these that applies, most urgent first.
function text(exporter, session, analysis, playback) {
    if (exporter.cancelling)
        return qsTr("Cancelling result saving…")
    if (exporter.busy)
        return exporter.stageName || qsTr("Saving analysis result…")
    if (session.cancelling)
        return qsTr("Cancelling source video analysis…")
    if (session.busy)
        return qsTr("Analyzing source video…")
    if (analysis.cancelling)
        return qsTr("Cancelling analysis…")
    if (analysis.busy)
        return analysis.stageName || qsTr("Analyzing selected fragment…")
    if (playback.busy && analysis.ready && !playback.resultAvailable)
        return qsTr("Preparing analysis result playback…")
    if (playback.playPending)
        return qsTr("Starting playback…")
    if (playback.pausePending)
        return qsTr("Pausing playback…")
    if (playback.busy)
        return qsTr("Preparing video frame…")
    if (exporter.hasError)
        return exporter.errorMessage || qsTr("Saving the result failed")
    if (analysis.hasError)
        return analysis.errorMessage
    if (playback.resultErrorMessage)
        return playback.resultErrorMessage
    if (playback.hasError)
        return playback.errorMessage
    if (session.hasError)
        return session.errorMessage
    if (session.cancelled)
        return qsTr("Video analysis cancelled")
    if (playback.playing)
        return qsTr("Playing selected fragment")
    if (exporter.completed)
        return qsTr("Result saved: %1").arg(exporter.destinationFileName)
    if (analysis.ready && analysis.stale)
        return qsTr("Analysis settings have changed")
    if (analysis.ready && playback.resultAvailable)
        return qsTr("Analysis result is ready")
    if (session.ready)
        return qsTr("Source video is ready")
    return qsTr("Ready to open a video")
}

function hasError(exporter, session, analysis, playback) {
    return exporter.hasError || session.hasError || analysis.hasError || playback.hasError
        || playback.resultErrorMessage.length > 0
}

// "error", "warning" or "success": the colour of the status dot.
function tone(exporter, session, analysis, playback) {
    if (hasError(exporter, session, analysis, playback))
        return "error"
    if ((analysis.ready && analysis.stale) || session.cancelled)
        return "warning"
    return "success"
}

// Whether any operation runs, so that the spinner replaces the dot.
function active(exporter, session, analysis, playback) {
    return exporter.busy || session.busy || analysis.busy || playback.busy || playback.playPending
        || playback.pausePending || exporter.cancelling || session.cancelling || analysis.cancelling
}

// "m:ss left" for a remaining time in microseconds, or nothing while it cannot be told.
function remaining(microseconds) {
    if (!(microseconds > 0))
        return ""
    var seconds = Math.ceil(microseconds / 1000000)
    var clock = Math.floor(seconds / 60) + ":" + String(seconds % 60).padStart(2, "0")
    return qsTr("%1 left").arg(clock)
}
