// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import OvraMotion.Theme

// A viewport's frame: a header with the title and its buttons, and the body below.
Rectangle {
    id: root

    property string title
    default property alias body: bodyItem.data
    property alias headerButtons: buttonRow.data

    color: Theme.viewport
    radius: Theme.radiusMedium
    border.color: Theme.border
    clip: true

    Rectangle {
        id: header
        width: parent.width
        height: 48
        color: Theme.surfaceRaised
        radius: Theme.radiusMedium
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: Theme.radiusMedium
            color: parent.color
        }
        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: Theme.panelPadding
            anchors.rightMargin: Theme.groupSpacing
            spacing: Theme.groupSpacing
            Text {
                Layout.fillWidth: true
                text: root.title
                color: Theme.textPrimary
                font.pixelSize: Theme.bodyFontSize
                font.weight: Font.DemiBold
                elide: Text.ElideRight
            }
            Row {
                id: buttonRow
                spacing: Theme.groupSpacing
            }
        }
    }
    Item {
        id: bodyItem
        anchors.top: header.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 1
    }
}
