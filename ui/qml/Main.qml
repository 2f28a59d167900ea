// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Pages
import OvraMotion.Ui

// The window. Its actions go through the save workflow, which asks before an unsaved result or
// a running operation would be lost and saves before continuing; the window shows its questions.
ApplicationWindow {
    id: window

    required property ApplicationController applicationController
    readonly property SaveWorkflowController workflow: applicationController.saveWorkflow
    readonly property bool operationBusy: applicationController.currentOperation !== ApplicationController.None

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

    Connections {
        target: window.workflow
        function onDecisionRequested() { unsavedDialog.open() }
        function onDestinationRequested(suggestedFileUrl) {
            saveDialog.selectedFile = suggestedFileUrl
            saveDialog.open()
        }
        function onCloseDuringOperationRequested() { busyCloseDialog.open() }
        function onCloseApproved() { window.close() }
    }
    onClosing: function (close) { close.accepted = window.workflow.approveClose() }

    // A video dropped anywhere on the window opens as if chosen in the open dialog.
    DropArea {
        anchors.fill: parent
        enabled: !window.operationBusy
        onDropped: function (drop) {
            if (drop.hasUrls && drop.urls.length > 0) {
                drop.acceptProposedAction()
                window.workflow.openSource(drop.urls[0])
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
        onFileDropped: function (fileUrl) { window.workflow.openSource(fileUrl) }
        onSaveRequested: window.workflow.save()
        onAnalysisRequested: window.workflow.startAnalysis()
        onAboutRequested: aboutDialog.open()
    }

    FileDialog {
        id: openDialog
        title: qsTr("Open source video")
        fileMode: FileDialog.OpenFile
        nameFilters: [qsTr("Video files (*.mp4 *.mov *.avi)"), qsTr("All files (*)")]
        onAccepted: window.workflow.openSource(selectedFile)
    }
    FileDialog {
        id: saveDialog
        title: qsTr("Save analysis result")
        fileMode: FileDialog.SaveFile
        defaultSuffix: "mp4"
        nameFilters: [qsTr("MP4 video (*.mp4)"), qsTr("Lossless video (FFV1 Matroska, *.mkv)")]
        onAccepted: window.workflow.saveTo(selectedFile)
        onRejected: window.workflow.cancelSave()
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
                    unsavedDialog.close()
                    window.workflow.discardAndContinue()
                }
            }
            AppButton {
                kind: AppButton.Primary
                text: qsTr("Save")
                onClicked: {
                    unsavedDialog.close()
                    window.workflow.saveAndContinue()
                }
            }
        }
        onRejected: window.workflow.cancelAction()
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
                    window.workflow.cancelOperationsAndClose()
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
