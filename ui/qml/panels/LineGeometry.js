// SPDX-License-Identifier: GPL-3.0-or-later
.pragma library
.import "RegionGeometry.js" as Region

// Line arithmetic of the scale editor. A line is {x1, y1, x2, y2}, its ends normalised to the
// frame (0..1, origin top-left); a press within the region editor's tolerance of an end grips
// that end, a press near the line grips the whole line.

var lineTolerance = 6

function toPixels(line, painted) {
    return {
        x1: painted.x + line.x1 * painted.width,
        y1: painted.y + line.y1 * painted.height,
        x2: painted.x + line.x2 * painted.width,
        y2: painted.y + line.y2 * painted.height
    }
}

// The end (1 or 2) a press at x, y grips, the nearer one when both are in reach; 0 for none.
function endAt(x, y, pixels) {
    var first = Math.hypot(x - pixels.x1, y - pixels.y1)
    var second = Math.hypot(x - pixels.x2, y - pixels.y2)
    if (Math.min(first, second) > Region.edgeTolerance)
        return 0
    return first <= second ? 1 : 2
}

// The distance from x, y to the segment, in the units of pixels.
function distance(x, y, pixels) {
    var dx = pixels.x2 - pixels.x1
    var dy = pixels.y2 - pixels.y1
    var squared = dx * dx + dy * dy
    var t = squared > 0 ? Region.clamp(((x - pixels.x1) * dx + (y - pixels.y1) * dy) / squared, 0, 1) : 0
    return Math.hypot(x - (pixels.x1 + t * dx), y - (pixels.y1 + t * dy))
}

function span(a, b) {
    return { x1: a.x, y1: a.y, x2: b.x, y2: b.y }
}

// The line shifted by a normalised delta, both ends kept inside the frame.
function moved(line, dx, dy) {
    var sx = Region.clamp(dx, -Math.min(line.x1, line.x2), 1 - Math.max(line.x1, line.x2))
    var sy = Region.clamp(dy, -Math.min(line.y1, line.y2), 1 - Math.max(line.y1, line.y2))
    return { x1: line.x1 + sx, y1: line.y1 + sy, x2: line.x2 + sx, y2: line.y2 + sy }
}

// The line with one end (1 or 2) shifted by a normalised delta, kept inside the frame.
function movedEnd(line, end, dx, dy) {
    var next = Object.assign({}, line)
    next["x" + end] = Region.clamp(line["x" + end] + dx, 0, 1)
    next["y" + end] = Region.clamp(line["y" + end] + dy, 0, 1)
    return next
}

var line = {
    toPixels: toPixels,
    grip: function (x, y, pixels) {
        var end = endAt(x, y, pixels)
        return end !== 0 ? { end: end } : null
    },
    contains: function (x, y, pixels) {
        return distance(x, y, pixels) <= lineTolerance
    },
    span: span,
    moved: moved,
    resized: function (value, grip, dx, dy) {
        return movedEnd(value, grip.end, dx, dy)
    }
}
