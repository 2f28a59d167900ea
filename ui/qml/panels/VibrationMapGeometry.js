// SPDX-License-Identifier: GPL-3.0-or-later
.pragma library
.import "RegionGeometry.js" as Region

// Which tile of a vibration map lies under the pointer. Tiles are {x, y, width, height}
// normalised to the frame, mapped onto the painted rectangle as the region editor maps its region.

// The index of the tile under the item position (x, y), or -1 outside the frame or off every
// tile. Where tiles overlap, the one whose centre is nearest on screen wins.
function tileAt(x, y, painted, tiles) {
    if (painted.width <= 0 || painted.height <= 0 || !Region.insideFrame(x, y, painted))
        return -1
    const point = Region.normalisedPoint(x, y, painted)
    let best = -1
    let bestDistance = Infinity
    for (let i = 0; i < tiles.length; ++i) {
        const tile = tiles[i]
        if (!Region.inside(point.x, point.y, tile))
            continue
        const dx = (point.x - tile.x - tile.width / 2) * painted.width
        const dy = (point.y - tile.y - tile.height / 2) * painted.height
        const distance = dx * dx + dy * dy
        if (distance < bestDistance) {
            best = i
            bestDistance = distance
        }
    }
    return best
}
