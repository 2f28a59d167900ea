// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// The rotation-speed helper in a dialog of its own.
AppDialog {
    id: root

    required property ProcessingSettingsController processingSettings

    title: qsTr("Frequency filter helper")
    width: Math.min(720, Overlay.overlay ? Overlay.overlay.width - 32 : 720)
    height: Math.min(640, Overlay.overlay ? Overlay.overlay.height - 32 : 640)

    onOpened: {
        rotation.bandApplicationFailed = false
        rotation.editsEnabled = true
    }
    onClosed: rotation.editsEnabled = false

    ScrollView {
        anchors.fill: parent
        contentWidth: availableWidth
        Column {
            width: parent.width
            spacing: Theme.itemSpacing
            Text {
                width: parent.width
                text: qsTr("Choose a filter band around the shaft rotation frequency: enter the speed, select a harmonic and half-width, then apply the band.")
                color: Theme.textSecondary
                font.pixelSize: Theme.bodyFontSize
                wrapMode: Text.WordWrap
            }
            RotationPanel {
                id: rotation
                width: parent.width
                processingSettings: root.processingSettings
                editsEnabled: false
            }
        }
    }
    footer: Rectangle {
        implicitHeight: footerRow.implicitHeight + 2 * Theme.itemSpacing
        color: Theme.surface
        Row {
            id: footerRow
            anchors.fill: parent
            anchors.margins: Theme.itemSpacing
            spacing: Theme.itemSpacing
            Text {
                width: parent.width - closeButton.width - Theme.itemSpacing
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("Apply band changes the filter settings only. Close this helper, then choose Start analysis in Processing.")
                color: Theme.textMuted
                font.pixelSize: Theme.noteFontSize
                wrapMode: Text.WordWrap
            }
            AppButton {
                id: closeButton
                text: qsTr("Close")
                onClicked: root.close()
            }
        }
    }
}
