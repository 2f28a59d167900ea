// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme

// A large icon button of the transport bar; the primary action is drawn filled.
Button {
    id: root

    property url iconSource
    property string toolTipText: ""
    property bool primaryAction: false

    implicitWidth: 52
    implicitHeight: 48
    hoverEnabled: true
    Accessible.name: toolTipText

    ToolTip.visible: toolTipText.length > 0 && hovered
    ToolTip.delay: 500
    ToolTip.text: toolTipText

    contentItem: Item {
        Image {
            anchors.centerIn: parent
            width: 28
            height: 28
            sourceSize.width: 28
            sourceSize.height: 28
            source: root.iconSource
            opacity: root.enabled ? 1.0 : 0.4
        }
    }

    background: Rectangle {
        radius: Theme.radiusMedium
        color: {
            if (!root.enabled)
                return Theme.disabledSurface
            if (root.primaryAction)
                return root.down ? Theme.primaryPressed : Theme.primary
            return root.down || root.hovered ? Theme.surfaceHover : Theme.surfaceRaised
        }
        border.width: root.activeFocus ? 1 : 0
        border.color: Theme.textPrimary
    }
}
