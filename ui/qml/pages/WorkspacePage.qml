// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Dialogs
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
    property bool referenceEditing: false
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

    // frequencyHz 0: the map of the settings' band; else of the band around that frequency.
    function showVibrationMap(frequencyHz) {
        const map = applicationController.vibrationMap
        // Shown even when refused: the legend says why.
        sourceViewport.vibrationMapShown = true
        if (frequencyHz > 0)
            map.analyzeAround(frequencyHz)
        else
            map.analyze()
    }

    // reference: the camera motion's reference region rather than the amplification region.
    function requestRegionEditing(reference) {
        referenceEditing = reference
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
                    id: sourceViewport
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.minimumWidth: 320
                    applicationController: root.applicationController
                    interactionAllowed: !root.operationBusy
                    regionEditing: root.regionEditing
                    referenceEditing: root.referenceEditing
                    onOpenRequested: root.openRequested()
                    onFileDropped: function (fileUrl) { root.fileDropped(fileUrl) }
                    onParametersRequested: parametersDialog.open()
                    onRegionEditingRequested: function (reference) { root.requestRegionEditing(reference) }
                    onRegionEditingFinished: root.regionEditing = false
                    onRegionEditingCancelled: root.regionEditing = false
                    onSpotSpectrumRequested: spotSpectrumDialog.open()
                    onVibrationMapExportRequested: mapExportDialog.open()
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
        onReferenceEditingRequested: root.requestRegionEditing(true)
        onVibrationMapRequested: function (frequencyHz) { root.showVibrationMap(frequencyHz) }
    }
    AppDialog {
        id: spotSpectrumDialog
        title: qsTr("Spectrum of the spot")
        width: Math.min(720, root.width - 32)
        height: Math.min(640, root.height - 32)
        ScrollViewContent {
            anchors.fill: parent
            SpectrumView {
                width: parent.width
                spectrum: root.applicationController.spectrum
                processingSettings: root.applicationController.processingSettings
                mapAvailable: root.applicationController.vibrationMap.available
                onPeakMapRequested: function (frequencyHz) {
                    spotSpectrumDialog.close()
                    root.showVibrationMap(frequencyHz)
                }
            }
        }
        footer: DialogFooter {
            AppButton {
                text: qsTr("Close")
                onClicked: spotSpectrumDialog.close()
            }
        }
    }
    FileDialog {
        id: mapExportDialog
        title: qsTr("Export vibration map")
        fileMode: FileDialog.SaveFile
        defaultSuffix: "png"
        nameFilters: [qsTr("PNG picture with a CSV table beside it (*.png)")]
        onAccepted: root.applicationController.vibrationMap.exportTo(selectedFile)
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
