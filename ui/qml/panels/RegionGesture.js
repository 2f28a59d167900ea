// SPDX-License-Identifier: GPL-3.0-or-later
.pragma library
.import "RegionGeometry.js" as Geometry

// One pointer gesture of an editor that shapes a region or a line over the frame, from press
// to release, as a value: each step returns a new gesture, so that bindings on it follow. Its
// kind is "draw", "move", "resize" or "press": a press outside the shape (or anywhere outside
// the frame) that stays a click unless it is dragged, and then draws a new shape when it began
// inside the frame. The draft is the shape the gesture makes, null while it makes none. The
// shape's geometry (RegionGeometry.rectangle, LineGeometry.line) says what a press grips, what
// the shape contains and how it is drawn, moved and resized; values are normalised to the frame.

function begin(shape, x, y, value, customized, painted) {
    var pixels = shape.toPixels(value, painted)
    var grip = customized ? shape.grip(x, y, pixels) : null
    var insideFrame = Geometry.insideFrame(x, y, painted)
    var kind = grip ? "resize"
        : customized && shape.contains(x, y, pixels) ? "move"
        : customized || !insideFrame ? "press" : "draw"
    var start = Geometry.normalisedPoint(x, y, painted)
    return {
        shape: shape,
        kind: kind,
        pointerStart: { x: x, y: y },
        start: start,
        startValue: value,
        grip: grip,
        insideFrame: insideFrame,
        dragged: false,
        draft: kind === "draw" ? shape.span(start, start) : kind === "press" ? null : value
    }
}

// The gesture once the pointer is at x, y; minimum sizes are normalised, dragDistance in pixels.
function follow(gesture, x, y, painted, minimumWidth, minimumHeight, dragDistance) {
    var next = Object.assign({}, gesture)
    if (next.kind === "press") {
        next.dragged = next.dragged
            || Math.hypot(x - next.pointerStart.x, y - next.pointerStart.y) >= Math.max(1, dragDistance)
        if (!next.dragged || !next.insideFrame)
            return next
        next.kind = "draw"
    }
    var point = Geometry.normalisedPoint(x, y, painted)
    var dx = point.x - next.start.x
    var dy = point.y - next.start.y
    if (next.kind === "draw")
        next.draft = next.shape.span(next.start, point)
    else if (next.kind === "move")
        next.draft = next.shape.moved(next.startValue, dx, dy)
    else
        next.draft = next.shape.resized(next.startValue, next.grip, dx, dy, minimumWidth, minimumHeight)
    return next
}

// A press released where it began finishes the editing.
function isClick(gesture) {
    return gesture.kind === "press" && !gesture.dragged
}
