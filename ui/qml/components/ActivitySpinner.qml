// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import OvraMotion.Theme

// Eight dots on a circle that turn while running.
Item {
    id: root

    property bool running: true
    property color color: Theme.primary

    implicitWidth: 24
    implicitHeight: 24

    Item {
        id: dots
        anchors.fill: parent
        Repeater {
            model: 8
            Rectangle {
                required property int index
                readonly property real angle: index * Math.PI / 4
                width: Math.max(2, root.width * 0.16)
                height: width
                radius: width / 2
                color: root.color
                opacity: 0.25 + 0.75 * index / 7
                x: root.width / 2 + root.width * 0.34 * Math.cos(angle) - width / 2
                y: root.height / 2 + root.height * 0.34 * Math.sin(angle) - height / 2
            }
        }
        RotationAnimation on rotation {
            running: root.running && root.visible
            from: 0
            to: 360
            duration: 1000
            loops: Animation.Infinite
        }
    }
}
