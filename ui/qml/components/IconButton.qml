// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme

// A square icon button with a tooltip; the checked state gets a primary outline.
Button {
    id: root

    property url iconSource
    property string toolTipText: ""

    implicitWidth: 36
    implicitHeight: 36
    hoverEnabled: true
    Accessible.name: toolTipText

    ToolTip.visible: toolTipText.length > 0 && hovered
    ToolTip.delay: 500
    ToolTip.text: toolTipText

    contentItem: Item {
        Image {
            anchors.centerIn: parent
            width: 22
            height: 22
            sourceSize.width: 22
            sourceSize.height: 22
            source: root.iconSource
            opacity: root.enabled ? 1.0 : 0.4
        }
    }

    background: Rectangle {
        radius: Theme.radiusSmall
        color: root.checked || root.down || root.hovered ? Theme.surfaceHover : "transparent"
        border.width: root.checked || root.activeFocus ? 1 : 0
        border.color: Theme.primary
    }
}
