// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme

// A text button in one of three kinds; disabled buttons go flat and muted.
Button {
    id: root

    enum Kind { Primary, Secondary, Ghost }
    property int kind: AppButton.Secondary
    property string toolTipText: ""

    implicitHeight: Theme.controlHeight
    implicitWidth: Math.max(112, contentItem.implicitWidth + 2 * Theme.panelPadding)
    hoverEnabled: true
    font.pixelSize: Theme.bodyFontSize
    font.weight: kind === AppButton.Primary ? Font.DemiBold : Font.Normal

    ToolTip.visible: toolTipText.length > 0 && hovered
    ToolTip.delay: 500
    ToolTip.text: toolTipText

    contentItem: Text {
        text: root.text
        font: root.font
        color: !root.enabled ? Theme.textMuted
                             : root.kind === AppButton.Primary ? Theme.textOnPrimary : Theme.textPrimary
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: Rectangle {
        radius: Theme.radiusSmall
        color: {
            if (!root.enabled)
                return Theme.disabledSurface
            if (root.kind === AppButton.Primary)
                return root.down ? Theme.primaryPressed : Theme.primary
            if (root.down || root.hovered)
                return Theme.surfaceHover
            return root.kind === AppButton.Ghost ? "transparent" : Theme.surfaceRaised
        }
        border.width: root.kind === AppButton.Secondary && root.enabled ? 1 : 0
        border.color: root.activeFocus ? Theme.primary : Theme.border
    }
}
