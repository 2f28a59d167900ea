// SPDX-License-Identifier: GPL-3.0-or-later
.pragma library
.import "RegionGeometry.js" as Geometry

// One pointer gesture of the region editor, from press to release, as a value: each step
// returns a new gesture, so that bindings on it follow. Its kind is "draw", "move", "resize" or
// "press": a press outside the region (or anywhere outside the frame) that stays a click unless
// it is dragged, and then draws a new region when it began inside the frame. The draft is the
// region the gesture shapes, null while it shapes none.

var noEdges = { horizontal: 0, vertical: 0 }

function begin(x, y, region, customized, painted) {
    var pixels = Geometry.toPixels(region, painted)
    var edges = customized ? Geometry.edgeDirections(x, y, pixels) : noEdges
    var insideFrame = Geometry.insideFrame(x, y, painted)
    var kind = edges.horizontal !== 0 || edges.vertical !== 0 ? "resize"
        : customized && Geometry.inside(x, y, pixels) ? "move"
        : customized || !insideFrame ? "press" : "draw"
    var start = Geometry.normalisedPoint(x, y, painted)
    return {
        kind: kind,
        pointerStart: { x: x, y: y },
        start: start,
        startRegion: region,
        edges: edges,
        insideFrame: insideFrame,
        dragged: false,
        draft: kind === "draw" ? Geometry.span(start, start) : kind === "press" ? null : region
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
        next.draft = Geometry.span(next.start, point)
    else if (next.kind === "move")
        next.draft = Geometry.moved(next.startRegion, dx, dy)
    else
        next.draft = Geometry.resized(next.startRegion, next.edges.horizontal, next.edges.vertical, dx, dy,
                                      minimumWidth, minimumHeight)
    return next
}

// A press released where it began finishes the editing.
function isClick(gesture) {
    return gesture.kind === "press" && !gesture.dragged
}
