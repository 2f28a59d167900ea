// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Panels
import OvraMotion.Ui

// The top bar, the two viewports side by side, the transport bar and the status bar.
Item {
    id: root

    required property ApplicationController applicationController
    required property bool operationBusy
    readonly property PlaybackController playback: applicationController.playback
    property bool regionEditing: false
    property bool regionEditPending: false
    readonly property bool interactionAllowed: !operationBusy && !regionEditing && !regionEditPending
    signal openRequested()
    signal fileDropped(url fileUrl)
    signal saveRequested()
    signal analysisRequested()
    signal aboutRequested()

    onOperationBusyChanged: {
        if (operationBusy) {
            regionEditing = false
            regionEditPending = false
        }
    }

    function requestRegionEditing() {
        if (playback.playing || playback.playPending) {
            regionEditPending = true
            playback.pause()
        } else {
            regionEditing = true
        }
    }

    Connections {
        target: root.playback
        function onStateChanged() {
            if (root.regionEditPending && !root.playback.playing && !root.playback.playPending
                    && !root.playback.pausePending && !root.playback.busy) {
                root.regionEditPending = false
                root.regionEditing = true
            }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        TopBar {
            Layout.fillWidth: true
            applicationController: root.applicationController
            operationBusy: root.operationBusy
            onOpenRequested: root.openRequested()
            onAboutRequested: root.aboutRequested()
            onProcessingRequested: {
                root.regionEditing = false
                root.playback.pause()
                processingDialog.open()
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.margins: Theme.itemSpacing
            spacing: Theme.itemSpacing

            RowLayout {
                Layout.fillWidth: true
                Layout.fillHeight: true
                spacing: Theme.itemSpacing
                SourceViewport {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.minimumWidth: 320
                    applicationController: root.applicationController
                    interactionAllowed: !root.operationBusy
                    regionEditing: root.regionEditing
                    onOpenRequested: root.openRequested()
                    onFileDropped: function (fileUrl) { root.fileDropped(fileUrl) }
                    onParametersRequested: parametersDialog.open()
                    onRegionEditingRequested: root.requestRegionEditing()
                    onRegionEditingFinished: root.regionEditing = false
                    onRegionEditingCancelled: root.regionEditing = false
                }
                ResultViewport {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.minimumWidth: 320
                    applicationController: root.applicationController
                    interactionAllowed: !root.operationBusy
                    onSaveRequested: root.saveRequested()
                }
            }
            TransportBar {
                Layout.fillWidth: true
                applicationController: root.applicationController
                interactionAllowed: root.interactionAllowed
            }
        }
        StatusBar {
            Layout.fillWidth: true
            applicationController: root.applicationController
        }
    }

    ProcessingDialog {
        id: processingDialog
        applicationController: root.applicationController
        onAnalysisRequested: root.analysisRequested()
    }
    AppDialog {
        id: parametersDialog
        title: qsTr("Video parameters")
        width: Math.min(660, root.width - 32)
        height: Math.min(740, root.height - 32)
        ScrollViewContent {
            anchors.fill: parent
            SourcePanel {
                width: parent.width
                videoSession: root.applicationController.videoSession
            }
        }
        footer: DialogFooter {
            AppButton {
                text: qsTr("Close")
                onClicked: parametersDialog.close()
            }
        }
    }
}
