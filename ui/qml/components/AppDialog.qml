// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme

// A modal dialog in the theme's colours, centred in the window, closed by Escape.
Dialog {
    id: root

    modal: true
    anchors.centerIn: Overlay.overlay
    closePolicy: Popup.CloseOnEscape
    padding: Theme.panelPadding
    palette.window: Theme.surface
    palette.windowText: Theme.textPrimary
    palette.text: Theme.textPrimary
    palette.base: Theme.surfaceRaised
    palette.button: Theme.surfaceRaised
    palette.buttonText: Theme.textPrimary

    background: Rectangle {
        color: Theme.surface
        radius: Theme.radiusMedium
        border.color: Theme.borderStrong
    }
    header: Text {
        text: root.title
        visible: text.length > 0
        color: Theme.textPrimary
        font.pixelSize: Theme.titleFontSize
        font.weight: Font.DemiBold
        padding: Theme.panelPadding
        bottomPadding: 0
        elide: Text.ElideRight
    }
    Overlay.modal: Rectangle {
        color: Theme.scrim
    }
}
