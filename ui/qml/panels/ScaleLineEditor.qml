// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui
import "LineGeometry.js" as Line
import "RegionGeometry.js" as Region
import "RegionGesture.js" as Gesture

// Draws the scale's calibration line over the source frame and, while editing, lets the user
// draw it, move it and drag its ends with the pointer, or move it (Shift: its second end) with
// the arrow keys. The line lives in the scale controller; this item keeps the running gesture.
Item {
    id: root

    required property MeasurementScaleController measurementScale
    required property PlaybackController playback
    required property VideoSessionController videoSession
    required property rect paintedRect
    property bool editing: false
    signal editingFinished()

    readonly property bool interactionAvailable: editing && paintedRect.width > 0 && paintedRect.height > 0
        && videoSession.ready && playback.ready && !playback.busy && !playback.playing
        && !playback.playPending && !playback.pausePending
    readonly property bool hasLine: measurementScale.hasLine
    readonly property var storedLine: {
        const a = measurementScale.lineStart
        const b = measurementScale.lineEnd
        return { x1: a.x, y1: a.y, x2: b.x, y2: b.y }
    }
    property var gesture: null
    readonly property bool gestureRunning: gesture !== null
    readonly property var shownLine: gestureRunning && gesture.draft ? gesture.draft : storedLine
    readonly property bool lineShown: hasLine || (gestureRunning && gesture.kind === "draw")
    readonly property var shownPixels: Line.toPixels(shownLine, paintedRect)
    property var editStartLine: null

    function finish() {
        gesture = null
        editingFinished()
    }
    function commit(line) {
        return measurementScale.setLine(Qt.point(line.x1, line.y1), Qt.point(line.x2, line.y2))
    }

    onEditingChanged: {
        if (editing) {
            gesture = null
            editStartLine = hasLine ? storedLine : null
            forceActiveFocus()
        }
    }
    Connections {
        target: root.playback
        function onStateChanged() {
            if (root.editing && !root.interactionAvailable)
                root.finish()
        }
    }
    Connections {
        target: root.videoSession
        function onSourceChanged() {
            if (root.editing)
                root.finish()
        }
    }

    Canvas {
        id: canvas
        anchors.fill: parent
        visible: root.lineShown
        readonly property var pixels: root.shownPixels
        onPixelsChanged: requestPaint()
        onVisibleChanged: requestPaint()
        onPaint: {
            const context = getContext("2d")
            context.clearRect(0, 0, width, height)
            const p = pixels
            context.lineCap = "round"
            context.strokeStyle = Theme.background
            context.lineWidth = root.editing ? 5 : 4
            context.beginPath()
            context.moveTo(p.x1, p.y1)
            context.lineTo(p.x2, p.y2)
            context.stroke()
            context.strokeStyle = Theme.scaleLine
            context.lineWidth = root.editing ? 2.5 : 1.5
            context.stroke()
        }
    }
    Repeater {
        model: root.lineShown ? 2 : 0
        Rectangle {
            required property int index
            readonly property real centreX: index === 0 ? root.shownPixels.x1 : root.shownPixels.x2
            readonly property real centreY: index === 0 ? root.shownPixels.y1 : root.shownPixels.y2
            x: centreX - width / 2
            y: centreY - height / 2
            width: root.editing ? 12 : 7
            height: width
            radius: width / 2
            color: Theme.scaleLine
            border.color: Theme.background
        }
    }
    Text {
        objectName: "scaleLineLabel"
        visible: root.hasLine && !root.gestureRunning
        x: Region.clamp((root.shownPixels.x1 + root.shownPixels.x2) / 2 - width / 2, root.paintedRect.x,
                        root.paintedRect.x + root.paintedRect.width - width)
        y: Region.clamp(Math.min(root.shownPixels.y1, root.shownPixels.y2) - height - 6, root.paintedRect.y,
                        root.paintedRect.y + root.paintedRect.height - height)
        color: Theme.scaleLine
        style: Text.Outline
        styleColor: Theme.background
        font.pixelSize: Theme.noteFontSize
        text: root.measurementScale.lineMillimetres > 0
              ? qsTr("%1 mm over %2 px").arg(Format.number(root.measurementScale.lineMillimetres, 2))
                    .arg(Format.number(root.measurementScale.linePixels, 1))
              : qsTr("%1 px").arg(Format.number(root.measurementScale.linePixels, 1))
    }

    MouseArea {
        anchors.fill: parent
        enabled: root.interactionAvailable
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton
        cursorShape: {
            if (!root.interactionAvailable)
                return Qt.ArrowCursor
            if (root.gestureRunning)
                return root.gesture.kind === "move" ? Qt.ClosedHandCursor : Qt.CrossCursor
            if (root.hasLine && Line.line.grip(mouseX, mouseY, root.shownPixels))
                return Qt.SizeAllCursor
            if (root.hasLine && Line.line.contains(mouseX, mouseY, root.shownPixels))
                return Qt.OpenHandCursor
            return Region.insideFrame(mouseX, mouseY, root.paintedRect) ? Qt.CrossCursor : Qt.ArrowCursor
        }
        onPressed: function (mouse) {
            root.forceActiveFocus()
            root.gesture = Gesture.begin(Line.line, mouse.x, mouse.y, root.storedLine, root.hasLine, root.paintedRect)
        }
        onPositionChanged: function (mouse) {
            if (pressed && root.gestureRunning)
                root.gesture = Gesture.follow(root.gesture, mouse.x, mouse.y, root.paintedRect, 0, 0,
                                              Qt.styleHints.startDragDistance)
        }
        onReleased: {
            const gesture = root.gesture
            root.gesture = null
            if (!gesture)
                return
            if (Gesture.isClick(gesture))
                root.finish()
            else if (gesture.draft)
                root.commit(gesture.draft)
        }
        onCanceled: root.gesture = null
    }

    Keys.onPressed: function (event) {
        if (!root.interactionAvailable)
            return
        if (event.key === Qt.Key_Escape) {
            if (root.gestureRunning) {
                root.gesture = null
            } else {
                if (root.editStartLine)
                    root.commit(root.editStartLine)
                root.finish()
            }
            event.accepted = true
        } else if ((event.key === Qt.Key_Return || event.key === Qt.Key_Enter) && !root.gestureRunning) {
            root.finish()
            event.accepted = true
        } else if (root.hasLine && !root.gestureRunning && [Qt.Key_Left, Qt.Key_Right, Qt.Key_Up,
                                                             Qt.Key_Down].indexOf(event.key) >= 0) {
            const stepX = 1 / Math.max(1, root.videoSession.frameWidth)
            const stepY = 1 / Math.max(1, root.videoSession.frameHeight)
            const dx = event.key === Qt.Key_Left ? -stepX : event.key === Qt.Key_Right ? stepX : 0
            const dy = event.key === Qt.Key_Up ? -stepY : event.key === Qt.Key_Down ? stepY : 0
            root.commit((event.modifiers & Qt.ShiftModifier) ? Line.movedEnd(root.storedLine, 2, dx, dy)
                                                             : Line.moved(root.storedLine, dx, dy))
            event.accepted = true
        }
    }
}
