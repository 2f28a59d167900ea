// SPDX-License-Identifier: GPL-3.0-or-later
.pragma library

// The spectrum plot: frequency runs linearly from 0 to the Nyquist frequency across the width,
// amplitude on a logarithmic scale over whole decades down the height.

function clamp(value, low, high) {
    return Math.min(Math.max(value, low), high)
}

// The decades [low, high] (powers of ten) that hold the positive values of the lists, at most
// maximumDecades deep below the strongest; one decade at least.
function amplitudeDecades(lists, maximumDecades) {
    var top = 0
    var bottom = Infinity
    for (var i = 0; i < lists.length; ++i) {
        for (var j = 0; j < lists[i].length; ++j) {
            var value = lists[i][j]
            if (value > 0 && isFinite(value)) {
                top = Math.max(top, value)
                bottom = Math.min(bottom, value)
            }
        }
    }
    if (top <= 0)
        return { low: -3, high: 0 }
    var high = Math.ceil(Math.log10(top) - 1e-9)
    var low = Math.max(Math.floor(Math.log10(bottom) + 1e-9), high - maximumDecades)
    return { low: Math.min(low, high - 1), high: high }
}

// Zero and below sit on the bottom edge.
function yForAmplitude(amplitude, decades, height) {
    if (!(amplitude > 0))
        return height
    var position = (Math.log10(amplitude) - decades.low) / (decades.high - decades.low)
    return height * (1 - clamp(position, 0, 1))
}

function xForFrequency(frequency, nyquist, width) {
    return nyquist > 0 ? width * clamp(frequency / nyquist, 0, 1) : 0
}

// A step of 1, 2 or 5 times a power of ten that leaves at least minimumSpacing pixels between ticks.
function frequencyStep(nyquist, width, minimumSpacing) {
    var raw = nyquist / Math.max(1, Math.floor(width / minimumSpacing))
    var power = Math.pow(10, Math.floor(Math.log10(raw)))
    var multiples = [1, 2, 5, 10]
    for (var i = 0; i < multiples.length; ++i) {
        if (multiples[i] * power >= raw * (1 - 1e-9))
            return multiples[i] * power
    }
    return 10 * power
}

// The ticks from 0 up to the Nyquist frequency, with the decimals their labels need.
function frequencyTicks(nyquist, width, minimumSpacing) {
    if (!(nyquist > 0) || !(width > 0))
        return { values: [], decimals: 0 }
    var step = frequencyStep(nyquist, width, minimumSpacing)
    var values = []
    for (var i = 0; i * step <= nyquist * (1 + 1e-9); ++i)
        values.push(i * step)
    return { values: values, decimals: Math.max(0, -Math.floor(Math.log10(step) + 1e-9)) }
}

// The powers of ten of the decades, each with the decimals its label needs.
function amplitudeTicks(decades) {
    var ticks = []
    for (var k = decades.low; k <= decades.high; ++k)
        ticks.push({ value: Math.pow(10, k), decimals: Math.max(0, -k) })
    return ticks
}

// The shaft-speed harmonics n x rpm / 60 (n = 1 .. maximumOrder) below the Nyquist frequency.
function harmonics(rpm, nyquist, maximumOrder) {
    var frequencies = []
    if (!(rpm > 0))
        return frequencies
    for (var n = 1; n <= maximumOrder && n * rpm / 60 < nyquist; ++n)
        frequencies.push(n * rpm / 60)
    return frequencies
}
