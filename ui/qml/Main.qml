// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Pages
import OvraMotion.Ui

// The window. It guards every action that would lose an unsaved result or interrupt a running
// operation, and sequences saving before continuing.
ApplicationWindow {
    id: window

    required property ApplicationController applicationController
    readonly property VideoSessionController videoSession: applicationController.videoSession
    readonly property PreviewController preview: applicationController.preview
    readonly property ExportController exporter: applicationController.exporter
    readonly property PlaybackController playback: applicationController.playback
    readonly property bool operationBusy: videoSession.busy || preview.busy || exporter.busy

    property var pendingAction: null
    property bool continueAfterSave: false
    property bool saveStarted: false
    property bool saveAfterPause: false
    property bool closeAfterCancel: false
    property bool allowClose: false

    width: 1440
    height: 900
    minimumWidth: 960
    minimumHeight: 600
    visible: true
    title: applicationController.applicationDisplayName
    color: Theme.background
    palette.window: Theme.background
    palette.windowText: Theme.textPrimary
    palette.base: Theme.surfaceRaised
    palette.text: Theme.textPrimary
    palette.button: Theme.surfaceRaised
    palette.buttonText: Theme.textPrimary
    palette.highlight: Theme.primary
    palette.highlightedText: Theme.textOnPrimary
    palette.toolTipBase: Theme.surfaceRaised
    palette.toolTipText: Theme.textPrimary
    // The file dialogs draw their header and footer in the light and dark roles.
    palette.light: Theme.surface
    palette.midlight: Theme.surfaceRaised
    palette.mid: Theme.border
    palette.dark: Theme.borderStrong
    palette.shadow: "#000000"
    palette.placeholderText: Theme.textMuted

    // Runs the action at once, or after the user decided about an unsaved result.
    function requestAction(action) {
        if (operationBusy)
            return
        if (preview.unsaved) {
            pendingAction = action
            unsavedDialog.open()
        } else {
            action()
        }
    }
    function finishPendingAction() {
        const action = pendingAction
        pendingAction = null
        continueAfterSave = false
        if (action)
            action()
    }
    function dropContinuation() {
        continueAfterSave = false
        pendingAction = null
    }
    function requestSave() {
        if (!preview.ready || operationBusy)
            return
        if (!exporter.available) {
            saveAfterPause = true
            playback.pause()
            return
        }
        saveAfterPause = false
        saveDialog.selectedFile = exporter.suggestedFileUrl
        saveDialog.open()
    }
    function continueAfterExporterChange() {
        if (saveAfterPause && exporter.available)
            requestSave()
        if (!continueAfterSave)
            return
        if (exporter.busy) {
            saveStarted = true
            return
        }
        if (!saveStarted)
            return
        if (exporter.completed)
            finishPendingAction()
        else
            dropContinuation()
    }
    function openSource(fileUrl) {
        requestAction(function () { window.videoSession.openSource(fileUrl) })
    }

    Connections {
        target: window.exporter
        function onStateChanged() { window.continueAfterExporterChange() }
    }
    onOperationBusyChanged: {
        if (!operationBusy && closeAfterCancel) {
            closeAfterCancel = false
            close()
        }
    }
    onClosing: function (close) {
        if (allowClose)
            return
        close.accepted = false
        if (operationBusy) {
            busyCloseDialog.open()
            return
        }
        Qt.callLater(function () {
            window.requestAction(function () {
                window.allowClose = true
                window.close()
            })
        })
    }

    // A video dropped anywhere on the window opens as if chosen in the open dialog.
    DropArea {
        anchors.fill: parent
        enabled: !window.operationBusy
        onDropped: function (drop) {
            if (drop.hasUrls && drop.urls.length > 0) {
                drop.acceptProposedAction()
                window.openSource(drop.urls[0])
            }
        }
    }
    WorkspacePage {
        anchors.fill: parent
        applicationController: window.applicationController
        operationBusy: window.operationBusy
        onOpenRequested: {
            if (!window.operationBusy)
                openDialog.open()
        }
        onFileDropped: function (fileUrl) { window.openSource(fileUrl) }
        onSaveRequested: window.requestSave()
        onAnalysisRequested: window.requestAction(function () { window.preview.createPreview() })
        onAboutRequested: aboutDialog.open()
    }

    FileDialog {
        id: openDialog
        title: qsTr("Open source video")
        fileMode: FileDialog.OpenFile
        nameFilters: [qsTr("Video files (*.mp4 *.mov *.avi)"), qsTr("All files (*)")]
        onAccepted: window.openSource(selectedFile)
    }
    FileDialog {
        id: saveDialog
        title: qsTr("Save analysis result")
        fileMode: FileDialog.SaveFile
        defaultSuffix: "mp4"
        nameFilters: [qsTr("MP4 video (*.mp4)"), qsTr("Lossless video (FFV1 Matroska, *.mkv)")]
        onAccepted: {
            if (!window.exporter.setDestination(selectedFile)) {
                window.dropContinuation()
                return
            }
            Qt.callLater(function () { // qmllint disable type
                if (window.exporter.canStart)
                    window.exporter.startExport()
                else
                    window.dropContinuation()
            })
        }
        onRejected: window.dropContinuation()
    }

    AppDialog {
        id: unsavedDialog
        title: qsTr("Unsaved analysis result")
        width: Math.min(580, window.width - 32)
        Text {
            width: parent.width
            text: qsTr("The analysis result has not been saved. Save it before continuing?")
            color: Theme.textPrimary
            font.pixelSize: Theme.bodyFontSize
            wrapMode: Text.WordWrap
        }
        footer: DialogFooter {
            AppButton {
                text: qsTr("Cancel")
                onClicked: unsavedDialog.reject()
            }
            AppButton {
                text: qsTr("Discard")
                onClicked: {
                    window.preview.acknowledgeDiscard()
                    unsavedDialog.close()
                    window.finishPendingAction()
                }
            }
            AppButton {
                kind: AppButton.Primary
                text: qsTr("Save")
                onClicked: {
                    window.saveStarted = false
                    window.continueAfterSave = true
                    unsavedDialog.close()
                    window.requestSave()
                }
            }
        }
        onRejected: window.dropContinuation()
    }

    AppDialog {
        id: busyCloseDialog
        title: qsTr("Operation in progress")
        width: Math.min(520, window.width - 32)
        Text {
            width: parent.width
            text: qsTr("Cancel the current operation and close the application after it stops?")
            color: Theme.textPrimary
            font.pixelSize: Theme.bodyFontSize
            wrapMode: Text.WordWrap
        }
        footer: DialogFooter {
            AppButton {
                text: qsTr("No")
                onClicked: busyCloseDialog.close()
            }
            AppButton {
                kind: AppButton.Primary
                text: qsTr("Yes")
                onClicked: {
                    busyCloseDialog.close()
                    window.closeAfterCancel = true
                    if (window.exporter.busy)
                        window.exporter.cancel()
                    if (window.preview.busy)
                        window.preview.cancel()
                    if (window.videoSession.busy)
                        window.videoSession.cancelAnalysis()
                }
            }
        }
    }

    AppDialog {
        id: aboutDialog
        title: qsTr("About")
        width: Math.min(460, window.width - 32)
        Row {
            spacing: Theme.panelPadding
            Image {
                width: 64
                height: 64
                sourceSize.width: 64
                sourceSize.height: 64
                source: "qrc:/ui/icons/application.png"
            }
            Column {
                spacing: Theme.labelSpacing
                anchors.verticalCenter: parent.verticalCenter
                Text {
                    text: window.applicationController.applicationDisplayName
                    color: Theme.textPrimary
                    font.pixelSize: Theme.displayFontSize
                    font.weight: Font.DemiBold
                }
                Text {
                    text: qsTr("Motion analysis application")
                    color: Theme.textSecondary
                    font.pixelSize: Theme.bodyFontSize
                }
                Text {
                    text: qsTr("OVRA")
                    color: Theme.textSecondary
                    font.pixelSize: Theme.bodyFontSize
                }
            }
        }
        footer: DialogFooter {
            AppButton {
                text: qsTr("Close")
                onClicked: aboutDialog.close()
            }
        }
    }
}
