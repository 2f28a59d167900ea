// SPDX-License-Identifier: GPL-3.0-or-later
.pragma library

// The timeline's rail runs 14 px in from each side; frames map linearly onto it.
var railInset = 14

function maximumFrame(frameCount) {
    return Math.max(1, frameCount - 1)
}

function clamp(value, low, high) {
    return Math.min(Math.max(value, low), high)
}

function railWidth(width) {
    return Math.max(1, width - 2 * railInset)
}

function xForFrame(frame, width, frameCount) {
    return railInset + clamp(frame / maximumFrame(frameCount), 0, 1) * railWidth(width)
}

function fractionForX(x, width) {
    return clamp((x - railInset) / railWidth(width), 0, 1)
}

// A frame that exists: a one-frame video maps the whole rail to frame 0.
function frameForX(x, width, frameCount) {
    return Math.min(Math.round(fractionForX(x, width) * maximumFrame(frameCount)), Math.max(0, frameCount - 1))
}
