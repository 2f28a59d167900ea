// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import OvraMotion.Theme
import OvraMotion.Ui

// The settings' validation message in the error colour, else their warning, else nothing.
Rectangle {
    id: root

    required property ProcessingSettingsController processingSettings
    readonly property bool isError: processingSettings.validationMessage.length > 0
    readonly property string message: isError ? processingSettings.validationMessage : processingSettings.warningMessage

    visible: message.length > 0
    implicitHeight: visible ? noticeText.implicitHeight + Theme.panelPadding : 0
    radius: Theme.radiusSmall
    color: Theme.surfaceRaised
    border.color: isError ? Theme.error : Theme.warning

    Text {
        id: noticeText
        anchors.centerIn: parent
        width: parent.width - 2 * Theme.itemSpacing
        text: root.message
        color: root.isError ? Theme.error : Theme.warning
        font.pixelSize: Theme.noteFontSize
        wrapMode: Text.WordWrap
    }
}
