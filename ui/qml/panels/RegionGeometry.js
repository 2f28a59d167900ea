// SPDX-License-Identifier: GPL-3.0-or-later
.pragma library

// Region arithmetic of the region editor. Regions are {x, y, width, height} normalised to the
// frame (0..1, origin top-left); the frame is drawn in a painted rectangle of item pixels.

var edgeTolerance = 14
var noEdges = { horizontal: 0, vertical: 0 }

function clamp(value, low, high) {
    return Math.min(Math.max(value, low), high)
}

// A pointer position as a normalised point, clamped into the frame.
function normalisedPoint(x, y, painted) {
    return {
        x: clamp((x - painted.x) / painted.width, 0, 1),
        y: clamp((y - painted.y) / painted.height, 0, 1)
    }
}

function insideFrame(x, y, painted) {
    return x >= painted.x && x <= painted.x + painted.width && y >= painted.y && y <= painted.y + painted.height
}

function toPixels(region, painted) {
    return {
        x: painted.x + region.x * painted.width,
        y: painted.y + region.y * painted.height,
        width: region.width * painted.width,
        height: region.height * painted.height
    }
}

function inside(x, y, rect) {
    return x >= rect.x && x <= rect.x + rect.width && y >= rect.y && y <= rect.y + rect.height
}

// Resize directions for a press near an edge: {horizontal, vertical} in {-1, 0, 1}; both 0 when
// the press is not within the tolerance of an edge (within the region's extent widened by it).
function edgeDirections(x, y, rect) {
    var t = edgeTolerance
    var withinRows = y >= rect.y - t && y <= rect.y + rect.height + t
    var withinColumns = x >= rect.x - t && x <= rect.x + rect.width + t
    var horizontal = 0
    var vertical = 0
    if (withinRows && Math.abs(x - rect.x) <= t)
        horizontal = -1
    else if (withinRows && Math.abs(x - (rect.x + rect.width)) <= t)
        horizontal = 1
    if (withinColumns && Math.abs(y - rect.y) <= t)
        vertical = -1
    else if (withinColumns && Math.abs(y - (rect.y + rect.height)) <= t)
        vertical = 1
    return { horizontal: horizontal, vertical: vertical }
}

// The rectangle spanned by two normalised points.
function span(a, b) {
    return {
        x: Math.min(a.x, b.x),
        y: Math.min(a.y, b.y),
        width: Math.abs(b.x - a.x),
        height: Math.abs(b.y - a.y)
    }
}

// The region shifted by a normalised delta, kept inside the frame.
function moved(region, dx, dy) {
    return {
        x: clamp(region.x + dx, 0, 1 - region.width),
        y: clamp(region.y + dy, 0, 1 - region.height),
        width: region.width,
        height: region.height
    }
}

// One axis of a resize: the chosen edge follows the delta, the other stays, the size keeps the
// minimum and the edges stay inside 0..1.
function resizedAxis(start, size, direction, delta, minimum) {
    if (direction < 0) {
        var end = start + size
        var newStart = clamp(start + delta, 0, end - minimum)
        return { start: newStart, size: end - newStart }
    }
    if (direction > 0)
        return { start: start, size: clamp(size + delta, minimum, 1 - start) }
    return { start: start, size: size }
}

function resized(region, horizontal, vertical, dx, dy, minimumWidth, minimumHeight) {
    var h = resizedAxis(region.x, region.width, horizontal, dx, minimumWidth)
    var v = resizedAxis(region.y, region.height, vertical, dy, minimumHeight)
    return { x: h.start, y: v.start, width: h.size, height: v.size }
}

function tooSmall(region, minimumWidth, minimumHeight) {
    return region.width + 0.000000001 < minimumWidth || region.height + 0.000000001 < minimumHeight
}

// The region as a shape of the editors' gesture: its grip is the edges a press resizes.
var rectangle = {
    toPixels: toPixels,
    grip: function (x, y, pixels) {
        var edges = edgeDirections(x, y, pixels)
        return edges.horizontal !== 0 || edges.vertical !== 0 ? edges : null
    },
    contains: inside,
    span: span,
    moved: moved,
    resized: function (region, edges, dx, dy, minimumWidth, minimumHeight) {
        return resized(region, edges.horizontal, edges.vertical, dx, dy, minimumWidth, minimumHeight)
    }
}
