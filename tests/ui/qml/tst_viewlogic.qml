// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtTest
import "../../../ui/qml/components/NumberText.js" as NumberText
import "../../../ui/qml/panels/RegionGeometry.js" as Region
import "../../../ui/qml/panels/SpectrumGeometry.js" as Spectrum
import "../../../ui/qml/panels/StatusText.js" as Status
import "../../../ui/qml/panels/TimelineGeometry.js" as Timeline
import "../../../ui/qml/panels/VibrationMapGeometry.js" as VibrationMap

// The view arithmetic of the window: what a user types, where the timeline, the region editor
// the spectrum and the vibration map put things, and which status wins.
TestCase {
    name: "ViewLogic"

    function test_numbers_data() {
        return [
            { tag: "English decimal", locale: "en_US", text: "12.5", expected: 12.5 },
            { tag: "Russian decimal comma", locale: "ru_RU", text: "0,25", expected: 0.25 },
            { tag: "below the range", locale: "en_US", text: "-1", expected: NaN },
            { tag: "above the range", locale: "en_US", text: "10001", expected: NaN },
            { tag: "not a number", locale: "en_US", text: "12x", expected: NaN },
            { tag: "empty", locale: "en_US", text: "  ", expected: NaN }
        ]
    }
    function test_numbers(data) {
        const parsed = NumberText.parse(data.text, Qt.locale(data.locale), 0, 10000)
        if (isNaN(data.expected))
            verify(isNaN(parsed), data.text + " was accepted as " + parsed)
        else
            compare(parsed, data.expected)
    }
    function test_formatRoundTrips() {
        const russian = Qt.locale("ru_RU")
        const text = NumberText.format(1234.5, 2, russian)
        compare(NumberText.parse(text, russian, 0, 10000), 1234.5)
    }

    function test_timeline_data() {
        return [
            { tag: "one-frame video", frameCount: 1, x: 300, frame: 0 },
            { tag: "left of the rail", frameCount: 101, x: 0, frame: 0 },
            { tag: "right of the rail", frameCount: 101, x: 1000, frame: 100 },
            { tag: "middle", frameCount: 101, x: 14 + 186, frame: 50 },
            { tag: "rounds to the nearest frame", frameCount: 4, x: 14 + 372 * 0.5, frame: 2 }
        ]
    }
    function test_timeline(data) {
        const width = 400
        compare(Timeline.frameForX(data.x, width, data.frameCount), data.frame)
        if (data.frameCount > 1)
            compare(Timeline.frameForX(Timeline.xForFrame(data.frame, width, data.frameCount), width, data.frameCount),
                    data.frame)
    }

    readonly property var painted: ({ x: 100, y: 50, width: 400, height: 200 })

    function test_pointerMapsIntoTheFrame() {
        compare(Region.normalisedPoint(300, 150, painted), { x: 0.5, y: 0.5 })
        compare(Region.normalisedPoint(0, 1000, painted), { x: 0, y: 1 })
    }
    function test_edges_data() {
        const region = { x: 100, y: 100, width: 200, height: 100 }
        return [
            { tag: "left edge", x: 105, y: 150, rect: region, horizontal: -1, vertical: 0 },
            { tag: "bottom right corner", x: 298, y: 199, rect: region, horizontal: 1, vertical: 1 },
            { tag: "top edge widened", x: 250, y: 90, rect: region, horizontal: 0, vertical: -1 },
            { tag: "inside", x: 200, y: 150, rect: region, horizontal: 0, vertical: 0 },
            { tag: "beyond the widened extent", x: 100, y: 230, rect: region, horizontal: 0, vertical: 0 }
        ]
    }
    function test_edges(data) {
        const directions = Region.edgeDirections(data.x, data.y, data.rect)
        compare(directions.horizontal, data.horizontal)
        compare(directions.vertical, data.vertical)
    }
    function test_moveStaysInside() {
        const region = { x: 0.7, y: 0.1, width: 0.2, height: 0.3 }
        const moved = Region.moved(region, 0.5, -0.5)
        fuzzyCompare(moved.x, 0.8, 1e-12)
        compare(moved.y, 0)
        compare(moved.width, 0.2)
    }
    function test_resize_data() {
        const region = { x: 0.2, y: 0.2, width: 0.4, height: 0.4 }
        return [
            { tag: "left edge keeps the minimum", region: region, h: -1, v: 0, dx: 0.5, dy: 0,
              expected: { x: 0.55, y: 0.2, width: 0.05, height: 0.4 } },
            { tag: "right edge stops at the frame", region: region, h: 1, v: 0, dx: 0.9, dy: 0,
              expected: { x: 0.2, y: 0.2, width: 0.8, height: 0.4 } },
            { tag: "top edge stops at the frame", region: region, h: 0, v: -1, dx: 0, dy: -0.5,
              expected: { x: 0.2, y: 0, width: 0.4, height: 0.6 } },
            { tag: "corner", region: region, h: 1, v: 1, dx: 0.1, dy: 0.1,
              expected: { x: 0.2, y: 0.2, width: 0.5, height: 0.5 } }
        ]
    }
    function test_resize(data) {
        const resized = Region.resized(data.region, data.h, data.v, data.dx, data.dy, 0.05, 0.05)
        for (const key of ["x", "y", "width", "height"])
            fuzzyCompare(resized[key], data.expected[key], 1e-12)
    }
    function test_tooSmall() {
        verify(Region.tooSmall({ width: 0.049, height: 0.5 }, 0.05, 0.05))
        verify(!Region.tooSmall({ width: 0.05 - 1e-10, height: 0.5 }, 0.05, 0.05))
    }

    function test_spectrumScales_data() {
        return [
            { tag: "decades around the values", lists: [[0.3, 0.02], [0.004]], low: -3, high: 0 },
            { tag: "a power of ten is the top", lists: [[1, 0.5]], low: -1, high: 0 },
            { tag: "no deeper than the limit", lists: [[2, 1e-9]], low: -4, high: 1 },
            { tag: "zeros and gaps ignored", lists: [[0, NaN, 0.05], []], low: -2, high: -1 },
            { tag: "nothing to show", lists: [[0]], low: -3, high: 0 }
        ]
    }
    function test_spectrumScales(data) {
        const decades = Spectrum.amplitudeDecades(data.lists, 5)
        compare(decades.low, data.low)
        compare(decades.high, data.high)
        compare(Spectrum.yForAmplitude(Math.pow(10, data.low), decades, 200), 200)
        compare(Spectrum.yForAmplitude(0, decades, 200), 200)
        fuzzyCompare(Spectrum.yForAmplitude(Math.pow(10, data.high), decades, 200), 0, 1e-9)
    }
    function test_spectrumFrequencyTicks_data() {
        return [
            { tag: "240 fps on 600 px", nyquist: 120, width: 600, step: 20, decimals: 0, last: 120 },
            { tag: "a slow camera", nyquist: 2.5, width: 600, step: 0.5, decimals: 1, last: 2.5 },
            { tag: "narrow", nyquist: 30, width: 120, step: 20, decimals: 0, last: 20 },
            { tag: "no spectrum", nyquist: 0, width: 600, step: 0, decimals: 0, last: undefined }
        ]
    }
    function test_spectrumFrequencyTicks(data) {
        const ticks = Spectrum.frequencyTicks(data.nyquist, data.width, 56)
        compare(ticks.decimals, data.decimals)
        compare(ticks.values[ticks.values.length - 1], data.last)
        if (ticks.values.length > 1)
            fuzzyCompare(ticks.values[1] - ticks.values[0], data.step, 1e-9)
    }
    function test_shaftHarmonics() {
        compare(Spectrum.harmonics(600, 35, 10), [10, 20, 30])
        compare(Spectrum.harmonics(600, 30, 10), [10, 20])
        compare(Spectrum.harmonics(60, 1000, 3), [1, 2, 3])
        compare(Spectrum.harmonics(0, 100, 10), [])
    }

    function test_remaining_data() {
        return [
            { tag: "unknown", us: 0, text: "" },
            { tag: "under a minute rounds up", us: 8200000, text: "0:09 left" },
            { tag: "minutes", us: 125000000, text: "2:05 left" }
        ]
    }
    function test_remaining(data) {
        compare(Status.remaining(data.us), data.text)
    }
    // A 2 x 2 grid of overlapping tiles (0.6 wide, 0.6 high) over a letter-boxed frame drawn
    // 400 x 200 at (100, 50): stretched pixels, as a non-square pixel shape draws them.
    function test_vibrationMapTileAt_data() {
        return [
            { tag: "top left", x: 100 + 0.1 * 400, y: 50 + 0.1 * 200, tile: 0 },
            { tag: "bottom right", x: 100 + 0.9 * 400, y: 50 + 0.9 * 200, tile: 3 },
            { tag: "overlap nearer the right centre", x: 100 + 0.55 * 400, y: 50 + 0.1 * 200, tile: 1 },
            { tag: "overlap nearer the left centre", x: 100 + 0.45 * 400, y: 50 + 0.1 * 200, tile: 0 },
            { tag: "all four overlap", x: 100 + 0.46 * 400, y: 50 + 0.56 * 200, tile: 2 },
            { tag: "letter box", x: 60, y: 100, tile: -1 },
            { tag: "past the bottom", x: 300, y: 251, tile: -1 }
        ]
    }
    function test_vibrationMapTileAt(data) {
        const tiles = [{ x: 0, y: 0, width: 0.6, height: 0.6 }, { x: 0.4, y: 0, width: 0.6, height: 0.6 },
                       { x: 0, y: 0.4, width: 0.6, height: 0.6 }, { x: 0.4, y: 0.4, width: 0.6, height: 0.6 }]
        compare(VibrationMap.tileAt(data.x, data.y, Qt.rect(100, 50, 400, 200), tiles), data.tile)
    }
    function test_vibrationMapWithoutFrame() {
        compare(VibrationMap.tileAt(0, 0, Qt.rect(0, 0, 0, 0), [{ x: 0, y: 0, width: 1, height: 1 }]), -1)
    }
}
