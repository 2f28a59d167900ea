// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import OvraMotion.Theme

// A label on the left and its value right-aligned, elided in the middle when long.
Item {
    id: root

    property string label
    property string value
    property color valueColor: Theme.textPrimary

    implicitHeight: Math.max(labelText.implicitHeight, valueText.implicitHeight) + Theme.labelSpacing

    Text {
        id: labelText
        anchors.left: parent.left
        anchors.right: valueText.left
        anchors.rightMargin: Theme.groupSpacing
        anchors.verticalCenter: parent.verticalCenter
        text: root.label
        color: Theme.textSecondary
        font.pixelSize: Theme.bodyFontSize
        elide: Text.ElideRight
    }
    Text {
        id: valueText
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        width: Math.min(implicitWidth, root.width * 0.58)
        text: root.value
        color: root.valueColor
        font.pixelSize: Theme.bodyFontSize
        horizontalAlignment: Text.AlignRight
        elide: Text.ElideMiddle
    }
}
