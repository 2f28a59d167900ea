// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// The product's name, About, "Open video", the source's name and the way into processing.
Rectangle {
    id: root

    required property ApplicationController applicationController
    required property bool operationBusy
    readonly property VideoSessionController videoSession: applicationController.videoSession
    signal openRequested()
    signal aboutRequested()
    signal processingRequested()

    implicitHeight: 68
    color: Theme.surface

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: Theme.panelPadding
        anchors.rightMargin: Theme.panelPadding
        spacing: Theme.itemSpacing

        Text {
            text: root.applicationController.applicationDisplayName
            color: Theme.textPrimary
            font.pixelSize: Theme.titleFontSize
            font.weight: Font.DemiBold
        }
        IconButton {
            iconSource: "qrc:/ui/icons/about.svg"
            toolTipText: qsTr("About")
            onClicked: root.aboutRequested()
        }
        AppButton {
            text: qsTr("Open video")
            enabled: !root.operationBusy
            onClicked: root.openRequested()
        }
        Text {
            Layout.fillWidth: true
            text: root.videoSession.fileName || qsTr("No video selected")
            color: root.videoSession.fileName ? Theme.textPrimary : Theme.textMuted
            font.pixelSize: Theme.bodyFontSize
            elide: Text.ElideMiddle
        }
        AppButton {
            kind: AppButton.Primary
            text: qsTr("Processing")
            toolTipText: qsTr("Configure analysis of the selected fragment")
            enabled: root.videoSession.ready && !root.operationBusy && !root.videoSession.captureFrameRateRequired
            onClicked: root.processingRequested()
        }
    }
    Rectangle {
        anchors.bottom: parent.bottom
        width: parent.width
        height: 1
        color: Theme.border
    }
}
