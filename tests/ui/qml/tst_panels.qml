// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtTest
import OvraMotion.Panels
import OvraMotion.Ui

// The panels over the application's real controllers, with a 320 × 180 video open: what the band
// slider and the shaft-speed helper show and what the region editor's gestures do to the region.
TestCase {
    id: testCase
    name: "Panels"
    when: windowShown
    visible: true
    width: 400
    height: 400

    // The test's setup hands in the application's controllers and the media folder as context
    // properties, which qmllint cannot see; everything else reaches them through these two.
    readonly property ApplicationController app: applicationController // qmllint disable unqualified
    readonly property string mediaFolder: testMediaFolder // qmllint disable unqualified
    readonly property VideoSessionController session: app.videoSession
    readonly property ProcessingSettingsController settings: app.processingSettings
    readonly property PlaybackController playback: app.playback

    function initTestCase() {
        session.openSource(mediaFolder + "cfr30_bframes.mp4")
        tryVerify(function () { return session.ready && playback.canNavigate }, 30000, "the video did not open")
    }
    function init() {
        settings.useFullFrame()
        settings.setCameraMotion(ProcessingSettingsController.Off)
        session.setCaptureFrameRate(240)
    }

    Component {
        id: motionPanel
        MotionPanel {
            width: 400
            amplificationShown: false
        }
    }
    // One-step changes of the band, as the frequency helper, a spectrum peak, the dialog's restore
    // and the diagnostics service make them; "shown" where the slider's range clamps the band.
    function test_bandSlider_data() {
        return [
            { tag: "down past the old band", before: { lower: 40, upper: 50 }, after: { lower: 7.5, upper: 9.2 } },
            { tag: "up past the old band", before: { lower: 7.5, upper: 9.2 }, after: { lower: 40, upper: 50 } },
            { tag: "up, overlapping", before: { lower: 10, upper: 20 }, after: { lower: 15, upper: 30 } },
            { tag: "down, overlapping", before: { lower: 15, upper: 30 }, after: { lower: 10, upper: 20 } },
            { tag: "a wider range brings the band back",
              before: { lower: 40, upper: 50, rate: 60, shown: [29.9, 29.9] }, after: { lower: 40, upper: 50 } }
        ]
    }
    function test_bandSlider(data) {
        const panel = createTemporaryObject(motionPanel, testCase, { processingSettings: settings })
        const slider = findChild(panel, "bandSlider")
        for (const band of [data.before, data.after]) {
            session.setCaptureFrameRate(band.rate || 240)
            settings.setFrequencyBand(band.lower, band.upper)
            fuzzyCompare(slider.first.value, (band.shown || [band.lower])[0], 1e-9, "lower " + band.lower)
            fuzzyCompare(slider.second.value, (band.shown || [0, band.upper])[1], 1e-9, "upper " + band.upper)
        }
    }

    Component {
        id: rotationPanel
        RotationPanel {
            width: 400
        }
    }
    // The shaft-speed helper's band follows the capture rate: 700 RPM gives 10.5–12.83 Hz, usable
    // below the Nyquist limit of 240 FPS but not of 20 FPS.
    function test_rotationBandFollowsTheCaptureRate() {
        settings.setRotationSpeedRpm(700)
        const refusal = findChild(createTemporaryObject(rotationPanel, testCase, { processingSettings: settings }), "bandRefusal")
        verify(!refusal.visible)
        session.setCaptureFrameRate(20)
        verify(refusal.visible)
        session.setCaptureFrameRate(240)
        verify(!refusal.visible)
    }

    Component {
        id: regionEditor
        RegionEditor {
            width: 320
            height: 180
            paintedRect: Qt.rect(0, 0, 320, 180)
        }
    }
    SignalSpy {
        id: finished
        signalName: "editingFinished"
    }
    SignalSpy {
        id: cancelled
        signalName: "editingCancelled"
    }
    // An editor in editing mode over the region {x, y, width, height}, or the full frame.
    function startEditing(region) {
        if (region)
            verify(settings.setRegionOfInterest(region.x, region.y, region.width, region.height))
        const editor = createTemporaryObject(regionEditor, testCase, {
            processingSettings: settings, playback: playback, videoSession: session })
        finished.clear()
        cancelled.clear()
        finished.target = editor
        cancelled.target = editor
        editor.editing = true
        tryVerify(function () { return editor.interactionAvailable })
        return editor
    }
    function compareRegion(expected) {
        const region = settings.regionOfInterest
        for (const key of ["x", "y", "width", "height"])
            fuzzyCompare(region[key], expected[key], 1e-9, key)
    }
    function drag(editor, from, to) {
        mousePress(editor, from.x, from.y)
        mouseMove(editor, (from.x + to.x) / 2, (from.y + to.y) / 2, -1, Qt.LeftButton)
        mouseMove(editor, to.x, to.y, -1, Qt.LeftButton)
        mouseRelease(editor, to.x, to.y)
    }

    // Pixels of the 320 × 180 frame; the quarter region lies at 80, 45 and is 80 × 45.
    readonly property var quarter: ({ x: 0.25, y: 0.25, width: 0.25, height: 0.25 })
    function test_pointerGestures_data() {
        return [
            { tag: "draws on the full frame", region: null, from: Qt.point(32, 18), to: Qt.point(192, 108),
              expected: { x: 0.1, y: 0.1, width: 0.5, height: 0.5 } },
            { tag: "moves from inside", region: quarter, from: Qt.point(120, 67), to: Qt.point(152, 85),
              expected: { x: 0.35, y: 0.35, width: 0.25, height: 0.25 } },
            { tag: "resizes at an edge", region: quarter, from: Qt.point(160, 67), to: Qt.point(192, 67),
              expected: { x: 0.25, y: 0.25, width: 0.35, height: 0.25 } },
            { tag: "resizes at a corner", region: quarter, from: Qt.point(80, 45), to: Qt.point(48, 27),
              expected: { x: 0.15, y: 0.15, width: 0.35, height: 0.35 } },
            { tag: "draws anew from outside the region", region: quarter, from: Qt.point(240, 135),
              to: Qt.point(288, 162), expected: { x: 0.75, y: 0.75, width: 0.15, height: 0.15 } },
            { tag: "keeps the region when drawn too small", region: quarter, from: Qt.point(240, 135),
              to: Qt.point(252, 137), expected: quarter, message: "The region is too small." }
        ]
    }
    function test_pointerGestures(data) {
        const editor = startEditing(data.region)
        drag(editor, data.from, data.to)
        compareRegion(data.expected)
        compare(findChild(editor, "regionInstruction").text === data.message, !!data.message)
        compare(finished.count, 0)
        verify(editor.editing)
    }

    // A frame pixel a step, Shift resizing instead of moving.
    function test_keys_data() {
        return [
            { tag: "right", key: Qt.Key_Right, modifiers: Qt.NoModifier,
              expected: { x: 0.25 + 1 / 320, y: 0.25, width: 0.25, height: 0.25 } },
            { tag: "up", key: Qt.Key_Up, modifiers: Qt.NoModifier,
              expected: { x: 0.25, y: 0.25 - 1 / 180, width: 0.25, height: 0.25 } },
            { tag: "shift right widens", key: Qt.Key_Right, modifiers: Qt.ShiftModifier,
              expected: { x: 0.25, y: 0.25, width: 0.25 + 1 / 320, height: 0.25 } },
            { tag: "shift down heightens", key: Qt.Key_Down, modifiers: Qt.ShiftModifier,
              expected: { x: 0.25, y: 0.25, width: 0.25, height: 0.25 + 1 / 180 } }
        ]
    }
    function test_keys(data) {
        startEditing(quarter)
        keyClick(data.key, data.modifiers)
        compareRegion(data.expected)
    }

    function test_finish_data() {
        return [
            { tag: "Enter", finish: function (editor) { keyClick(Qt.Key_Return) } },
            { tag: "a click outside the region", finish: function (editor) { mouseClick(editor, 300, 170) } }
        ]
    }
    function test_finish(data) {
        data.finish(startEditing(quarter))
        compare(finished.count, 1)
        compareRegion(quarter)
    }
    // Escape drops a running gesture first; then it restores the region editing started with.
    function test_escape() {
        const editor = startEditing(quarter)
        drag(editor, Qt.point(120, 67), Qt.point(152, 85))
        mousePress(editor, 160, 67)
        mouseMove(editor, 200, 67, -1, Qt.LeftButton)
        keyClick(Qt.Key_Escape)
        mouseRelease(editor, 200, 67)
        compareRegion({ x: 0.35, y: 0.35, width: 0.25, height: 0.25 })
        compare(cancelled.count, 0)
        keyClick(Qt.Key_Escape)
        compareRegion(quarter)
        compare(cancelled.count, 1)
        compare(finished.count, 0)
    }

    Component {
        id: sourceViewport
        SourceViewport {
            width: 400
            height: 400
        }
    }
    // Both regions in the same place over the source: only the one being edited follows the
    // pointer and the keys.
    function test_editsOneRegionOfTwo_data() {
        return [
            { tag: "the reference region", reference: true },
            { tag: "the amplification region", reference: false }
        ]
    }
    function test_editsOneRegionOfTwo(data) {
        verify(settings.setRegionOfInterest(quarter.x, quarter.y, quarter.width, quarter.height))
        verify(settings.setReferenceRegion(quarter.x, quarter.y, quarter.width, quarter.height))
        settings.setCameraMotion(ProcessingSettingsController.ReferenceRegion)
        const viewport = createTemporaryObject(sourceViewport, testCase, {
            applicationController: app, interactionAllowed: true, referenceEditing: data.reference,
            regionEditing: true })
        const editor = findChild(viewport, data.reference ? "referenceRegionEditor" : "amplificationRegionEditor")
        tryVerify(function () { return editor.interactionAvailable })
        const painted = editor.paintedRect
        const centre = { x: painted.x + 0.375 * painted.width, y: painted.y + 0.375 * painted.height }
        drag(editor, centre, { x: centre.x + 0.1 * painted.width, y: centre.y })
        keyClick(Qt.Key_Down)
        const edited = data.reference ? settings.referenceRegion : settings.regionOfInterest
        const kept = data.reference ? settings.regionOfInterest : settings.referenceRegion
        fuzzyCompare(edited.x, 0.35, 1 / painted.width) // the pointer moves by whole pixels
        fuzzyCompare(edited.y, 0.25 + 1 / session.frameHeight, 1e-9)
        compare(kept, Qt.rect(quarter.x, quarter.y, quarter.width, quarter.height))
    }

    Component {
        id: scaleLineEditor
        ScaleLineEditor {
            width: 320
            height: 180
            paintedRect: Qt.rect(0, 0, 320, 180)
        }
    }
    readonly property MeasurementScaleController scale: app.measurementScale
    // Pixels of the 320 × 180 frame; the known line runs from 80, 90 to 240, 90 and spans 40 mm.
    readonly property var knownLine: ({ x1: 0.25, y1: 0.5, x2: 0.75, y2: 0.5 })
    function startLineEditing(line) {
        scale.clear()
        if (line) {
            verify(scale.setLine(Qt.point(line.x1, line.y1), Qt.point(line.x2, line.y2)))
            verify(scale.setLineMillimetres(40))
        }
        const editor = createTemporaryObject(scaleLineEditor, testCase, {
            measurementScale: scale, playback: playback, videoSession: session })
        finished.clear()
        finished.target = editor
        editor.editing = true
        tryVerify(function () { return editor.interactionAvailable })
        return editor
    }
    function compareLine(expected) {
        fuzzyCompare(scale.lineStart.x, expected.x1, 1e-9, "x1")
        fuzzyCompare(scale.lineStart.y, expected.y1, 1e-9, "y1")
        fuzzyCompare(scale.lineEnd.x, expected.x2, 1e-9, "x2")
        fuzzyCompare(scale.lineEnd.y, expected.y2, 1e-9, "y2")
    }
    function test_lineGestures_data() {
        return [
            { tag: "draws on a frame without a line", line: null, from: Qt.point(32, 18), to: Qt.point(192, 108),
              expected: { x1: 0.1, y1: 0.1, x2: 0.6, y2: 0.6 }, millimetresPerPixel: 0 },
            { tag: "moves from its middle", line: knownLine, from: Qt.point(160, 90), to: Qt.point(192, 108),
              expected: { x1: 0.35, y1: 0.6, x2: 0.85, y2: 0.6 }, millimetresPerPixel: 0.25 },
            { tag: "stays inside the frame", line: knownLine, from: Qt.point(160, 90), to: Qt.point(300, 0),
              expected: { x1: 0.5, y1: 0, x2: 1, y2: 0 }, millimetresPerPixel: 0.25 },
            { tag: "drags an end", line: knownLine, from: Qt.point(240, 90), to: Qt.point(240, 150),
              expected: { x1: 0.25, y1: 0.5, x2: 0.75, y2: 150 / 180 }, millimetresPerPixel: 40 / Math.hypot(160, 60) },
            { tag: "draws anew beside it", line: knownLine, from: Qt.point(40, 30), to: Qt.point(40, 150),
              expected: { x1: 0.125, y1: 30 / 180, x2: 0.125, y2: 150 / 180 }, millimetresPerPixel: 40 / 120 }
        ]
    }
    function test_lineGestures(data) {
        const editor = startLineEditing(data.line)
        drag(editor, data.from, data.to)
        compareLine(data.expected)
        fuzzyCompare(scale.millimetresPerPixel, data.millimetresPerPixel, 1e-12)
        compare(finished.count, 0)
    }
    // A frame pixel a step; with Shift the second end moves alone. Escape restores the line editing
    // started with, Enter keeps it.
    function test_lineKeys() {
        startLineEditing(knownLine)
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Down, Qt.ShiftModifier)
        compareLine({ x1: 0.25 + 1 / 320, y1: 0.5, x2: 0.75 + 1 / 320, y2: 0.5 + 1 / 180 })
        keyClick(Qt.Key_Escape)
        compareLine(knownLine)
        compare(finished.count, 1)
        startLineEditing(knownLine)
        keyClick(Qt.Key_Left)
        keyClick(Qt.Key_Return)
        compareLine({ x1: 0.25 - 1 / 320, y1: 0.5, x2: 0.75 - 1 / 320, y2: 0.5 })
        compare(finished.count, 1)
    }
}
