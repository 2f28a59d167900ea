// SPDX-License-Identifier: GPL-3.0-or-later
.pragma library

// "m:ss left" for a remaining time in microseconds, or nothing while it cannot be told.
function remaining(microseconds) {
    if (!(microseconds > 0))
        return ""
    var seconds = Math.ceil(microseconds / 1000000)
    var clock = Math.floor(seconds / 60) + ":" + String(seconds % 60).padStart(2, "0")
    return qsTr("%1 left").arg(clock)
}
