// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import OvraMotion.Theme
import OvraMotion.Ui
import "RegionGeometry.js" as Geometry
import "RegionGesture.js" as Gesture

// Draws the amplification region, or with reference set the camera motion's reference region,
// over the source frame and, while editing, lets the user draw, move and resize it with the
// pointer or the keyboard. The region lives in the settings controller; this item only keeps the
// running gesture and its draft.
Item {
    id: root

    required property ProcessingSettingsController processingSettings
    required property PlaybackController playback
    required property VideoSessionController videoSession
    required property rect paintedRect
    property bool editing: false
    property bool reference: false
    // Both regions shown at once are told apart by their labels, not only by their colours.
    property bool labelAlwaysShown: false
    signal editingFinished()
    signal editingCancelled()

    readonly property bool interactionAvailable: editing && paintedRect.width > 0 && paintedRect.height > 0
        && videoSession.ready && playback.ready && !playback.busy && !playback.playing
        && !playback.playPending && !playback.pausePending
    readonly property bool customized: reference ? processingSettings.referenceRegion.width > 0
                                                 : processingSettings.regionCustomized
    readonly property var storedRegion: {
        const r = reference ? processingSettings.referenceRegion : processingSettings.regionOfInterest
        return { x: r.x, y: r.y, width: r.width, height: r.height }
    }
    readonly property color color: reference ? Theme.referenceRegion : Theme.roi
    property var gesture: null
    readonly property bool gestureRunning: gesture !== null
    readonly property bool drawing: gestureRunning && gesture.kind === "draw"
    readonly property var shownRegion: gestureRunning && gesture.draft ? gesture.draft : storedRegion
    readonly property bool outlineShown: customized || drawing
    readonly property rect shownPixels: {
        const p = Geometry.toPixels(shownRegion, paintedRect)
        return Qt.rect(p.x, p.y, p.width, p.height)
    }

    property var editStartRegion: null
    property string message: ""

    function cancelGesture() {
        gesture = null
    }
    function finish() {
        cancelGesture()
        editingFinished()
    }
    function store(region) {
        return reference ? processingSettings.setReferenceRegion(region.x, region.y, region.width, region.height)
                         : processingSettings.setRegionOfInterest(region.x, region.y, region.width, region.height)
    }
    function commitRegion(region) {
        if (Geometry.tooSmall(region, processingSettings.minimumRegionWidth, processingSettings.minimumRegionHeight)) {
            message = qsTr("The region is too small.")
            return false
        }
        if (!store(region)) {
            message = qsTr("The region is invalid.")
            return false
        }
        message = ""
        return true
    }

    onEditingChanged: {
        if (editing) {
            cancelGesture()
            message = ""
            editStartRegion = storedRegion
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

    // The frame outside the region darkens while editing.
    Repeater {
        model: root.editing && root.outlineShown ? 4 : 0
        Rectangle {
            required property int index
            readonly property rect frame: root.paintedRect
            readonly property rect hole: root.shownPixels
            color: Theme.scrim
            x: index === 1 ? hole.x + hole.width : frame.x
            y: index === 0 ? frame.y : index === 3 ? hole.y + hole.height : hole.y
            width: index === 0 || index === 3 ? frame.width : index === 2 ? hole.x - frame.x
                                                                          : frame.x + frame.width - hole.x - hole.width
            height: index === 0 ? hole.y - frame.y : index === 3 ? frame.y + frame.height - hole.y - hole.height
                                                                 : hole.height
        }
    }
    Rectangle {
        visible: root.outlineShown
        x: root.shownPixels.x
        y: root.shownPixels.y
        width: root.shownPixels.width
        height: root.shownPixels.height
        color: "transparent"
        border.color: root.color
        border.width: root.editing ? 2 : 1
        opacity: root.editing ? 1.0 : 0.8

        Text {
            visible: root.editing || root.labelAlwaysShown
            // Above the outline, or inside it where the frame leaves no room above.
            y: parent.y >= implicitHeight + 2 ? -implicitHeight - 2 : 2
            text: root.reference ? qsTr("Reference") : qsTr("Amplification region")
            color: root.color
            style: Text.Outline
            styleColor: Theme.background
            font.pixelSize: Theme.noteFontSize
        }
    }
    Repeater {
        model: root.editing && root.customized && !root.drawing ? 8 : 0
        Item {
            required property int index
            readonly property real fx: [0, 0.5, 1, 1, 1, 0.5, 0, 0][index]
            readonly property real fy: [0, 0, 0, 0.5, 1, 1, 1, 0.5][index]
            width: 28
            height: 28
            x: Geometry.clamp(root.shownPixels.x + fx * root.shownPixels.width - 14, root.paintedRect.x,
                              root.paintedRect.x + root.paintedRect.width - 28)
            y: Geometry.clamp(root.shownPixels.y + fy * root.shownPixels.height - 14, root.paintedRect.y,
                              root.paintedRect.y + root.paintedRect.height - 28)
            Rectangle {
                anchors.centerIn: parent
                width: 12
                height: 12
                color: root.color
                border.color: Theme.background
            }
        }
    }
    Rectangle {
        visible: root.editing
        anchors.top: parent.top
        anchors.topMargin: Theme.itemSpacing
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(instruction.implicitWidth + 2 * Theme.itemSpacing, parent.width - 2 * Theme.itemSpacing)
        height: instruction.implicitHeight + Theme.itemSpacing
        radius: Theme.radiusSmall
        color: Theme.surfaceRaised
        border.color: Theme.border
        Text {
            id: instruction
            objectName: "regionInstruction"
            anchors.centerIn: parent
            width: parent.width - 2 * Theme.itemSpacing
            horizontalAlignment: Text.AlignHCenter
            elide: Text.ElideRight
            font.pixelSize: Theme.noteFontSize
            color: root.message ? Theme.error : Theme.textPrimary
            text: root.message ? root.message
                : root.drawing ? (root.reference ? qsTr("Drag to draw the reference region over something that stands still.")
                                                 : qsTr("Drag to draw the amplification region."))
                : root.reference ? qsTr("Editing reference region · Click outside or Enter to finish · Esc to cancel")
                : qsTr("Editing amplification region · Click outside or Enter to finish · Esc to cancel")
        }
    }

    MouseArea {
        id: pointer
        anchors.fill: parent
        enabled: root.interactionAvailable
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton
        cursorShape: {
            if (!root.interactionAvailable)
                return Qt.ArrowCursor
            const kind = root.gestureRunning ? root.gesture.kind : ""
            if (kind === "move")
                return Qt.ClosedHandCursor
            const d = kind === "resize" ? root.gesture.grip
                                        : root.customized ? Geometry.edgeDirections(mouseX, mouseY, root.shownPixels)
                                                          : Geometry.noEdges
            if (d.horizontal !== 0 && d.vertical !== 0)
                return d.horizontal === d.vertical ? Qt.SizeFDiagCursor : Qt.SizeBDiagCursor
            if (d.horizontal !== 0)
                return Qt.SizeHorCursor
            if (d.vertical !== 0)
                return Qt.SizeVerCursor
            if (root.customized && Geometry.inside(mouseX, mouseY, root.shownPixels))
                return Qt.OpenHandCursor
            return Geometry.insideFrame(mouseX, mouseY, root.paintedRect) ? Qt.CrossCursor : Qt.ArrowCursor
        }

        onPressed: function (mouse) {
            root.forceActiveFocus()
            root.message = ""
            root.gesture = Gesture.begin(Geometry.rectangle, mouse.x, mouse.y, root.storedRegion, root.customized,
                                         root.paintedRect)
        }
        onPositionChanged: function (mouse) {
            if (pressed && root.gestureRunning)
                root.gesture = Gesture.follow(root.gesture, mouse.x, mouse.y, root.paintedRect,
                                              root.processingSettings.minimumRegionWidth,
                                              root.processingSettings.minimumRegionHeight,
                                              Qt.styleHints.startDragDistance)
        }
        onReleased: {
            const gesture = root.gesture
            root.cancelGesture()
            if (!gesture)
                return
            if (Gesture.isClick(gesture))
                root.finish()
            else if (gesture.draft)
                root.commitRegion(gesture.draft)
        }
        onCanceled: root.cancelGesture()
    }

    Keys.onPressed: function (event) {
        if (!root.interactionAvailable)
            return
        if (event.key === Qt.Key_Escape) {
            if (root.gestureRunning) {
                root.cancelGesture()
            } else {
                const r = root.editStartRegion
                if (r)
                    root.store(r)
                root.editingCancelled()
            }
            event.accepted = true
        } else if ((event.key === Qt.Key_Return || event.key === Qt.Key_Enter) && !root.gestureRunning) {
            root.finish()
            event.accepted = true
        } else if (root.customized && !root.gestureRunning && [Qt.Key_Left, Qt.Key_Right, Qt.Key_Up,
                                                                Qt.Key_Down].indexOf(event.key) >= 0) {
            const stepX = 1 / Math.max(1, root.videoSession.frameWidth)
            const stepY = 1 / Math.max(1, root.videoSession.frameHeight)
            const dx = event.key === Qt.Key_Left ? -stepX : event.key === Qt.Key_Right ? stepX : 0
            const dy = event.key === Qt.Key_Up ? -stepY : event.key === Qt.Key_Down ? stepY : 0
            const region = (event.modifiers & Qt.ShiftModifier)
                ? Geometry.resized(root.storedRegion, dx !== 0 ? 1 : 0, dy !== 0 ? 1 : 0, dx, dy,
                                   root.processingSettings.minimumRegionWidth,
                                   root.processingSettings.minimumRegionHeight)
                : Geometry.moved(root.storedRegion, dx, dy)
            root.store(region)
            event.accepted = true
        }
    }
}
