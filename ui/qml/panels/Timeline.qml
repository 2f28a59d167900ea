// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme
import OvraMotion.Ui
import "TimelineGeometry.js" as Geometry

// The playback position over the video, with the fragment and its in and out handles.
Item {
    id: root

    required property PlaybackController playback
    required property AnalysisFragmentController fragment
    required property bool editable
    property real requestedFraction: -1

    implicitHeight: 44
    opacity: playback.ready ? 1.0 : 0.62

    readonly property int frameCount: playback.frameCount // qmllint disable type
    readonly property real startX: Geometry.xForFrame(fragment.startFrame, width, frameCount) // qmllint disable type
    readonly property real endX: Geometry.xForFrame(fragment.endFrameExclusive - 1, width, frameCount) // qmllint disable type

    Rectangle {
        id: rail
        x: Geometry.railInset
        width: Geometry.railWidth(root.width)
        height: 4
        radius: 2
        anchors.verticalCenter: parent.verticalCenter
        color: Theme.border
    }
    Rectangle {
        x: root.startX
        width: Math.max(2, root.endX - root.startX)
        height: 6
        radius: 3
        anchors.verticalCenter: parent.verticalCenter
        color: root.editable ? Theme.warning : Theme.textMuted
    }
    MouseArea {
        anchors.fill: parent
        enabled: root.editable
        onPressed: function (mouse) { root.requestedFraction = Geometry.fractionForX(mouse.x, root.width) }
        onPositionChanged: function (mouse) {
            if (pressed)
                root.requestedFraction = Geometry.fractionForX(mouse.x, root.width)
        }
        onReleased: {
            root.playback.seekToFraction(root.requestedFraction)
            root.requestedFraction = -1
        }
        onCanceled: root.requestedFraction = -1
    }
    Rectangle {
        objectName: "positionMarker"
        width: 3
        height: 28
        radius: 1
        anchors.verticalCenter: parent.verticalCenter
        x: Geometry.railInset + (root.requestedFraction >= 0 ? root.requestedFraction : root.playback.progress)
           * Geometry.railWidth(root.width) - 1
        color: Theme.textPrimary
    }
    Repeater {
        model: [
            { inHandle: true },
            { inHandle: false }
        ]
        Item {
            id: handle
            required property var modelData
            readonly property real centre: modelData.inHandle ? root.startX : root.endX
            x: centre - width / 2
            width: 12 + 16
            height: 28 + 16
            anchors.verticalCenter: parent.verticalCenter
            Rectangle {
                anchors.centerIn: parent
                width: 12
                height: 28
                radius: 3
                color: root.editable ? Theme.warning : Theme.textMuted
                border.color: Theme.background
            }
            MouseArea {
                id: handleArea
                anchors.fill: parent
                enabled: root.editable
                hoverEnabled: true
                cursorShape: Qt.SizeHorCursor
                preventStealing: true
                onPositionChanged: function (mouse) {
                    if (!pressed)
                        return
                    const frame = Geometry.frameForX(handle.mapToItem(root, mouse.x, 0).x, root.width, root.frameCount)
                    if (handle.modelData.inHandle)
                        root.fragment.setStartFrame(frame)
                    else
                        root.fragment.setEndFrameInclusive(frame)
                }
            }
            ToolTip.visible: handleArea.containsMouse
            ToolTip.delay: 350
            ToolTip.text: modelData.inHandle
                          ? qsTr("In: frame %1").arg(Number(root.fragment.startFrame + 1).toLocaleString(Qt.locale(), "f", 0))
                          : qsTr("Out: frame %1").arg(Number(root.fragment.endFrameExclusive).toLocaleString(Qt.locale(), "f", 0))
        }
    }
}
