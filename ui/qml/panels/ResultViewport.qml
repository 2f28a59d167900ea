// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// The analysis result, paired frame by frame with the source, with its progress and state.
ViewportFrame {
    id: root

    required property ApplicationController applicationController
    required property bool interactionAllowed
    readonly property AnalysisController analysis: applicationController.analysis
    readonly property PlaybackController playback: applicationController.playback
    readonly property ExportController exporter: applicationController.exporter
    readonly property string resultError: analysis.errorMessage || playback.resultErrorMessage
    signal saveRequested()

    title: qsTr("Analysis result")
    headerButtons: [
        ComboBox {
            implicitHeight: Theme.controlHeight
            implicitContentWidthPolicy: ComboBox.WidestText
            anchors.verticalCenter: parent.verticalCenter
            enabled: root.interactionAllowed
            model: root.exporter.layoutNames
            currentIndex: root.exporter.layoutIndex
            onActivated: function (index) { root.exporter.layoutIndex = index }
            Accessible.name: qsTr("Layout of the saved video")
            ToolTip.visible: hovered
            ToolTip.delay: 600
            ToolTip.text: qsTr("Layout of the saved video: the result alone, or the source beside or above it")
        },
        IconButton {
            iconSource: "qrc:/ui/icons/save.svg"
            toolTipText: qsTr("Save analysis result")
            enabled: root.interactionAllowed && root.analysis.ready
            onClicked: root.saveRequested()
        }
    ]

    VideoFrameItem {
        id: frame
        anchors.fill: parent
        visible: root.playback.hasResultFrame
        showsResult: true
        playbackController: root.playback
        pixelAspectRatio: root.applicationController.videoSession.pixelAspectRatio
    }
    Rectangle {
        anchors.fill: parent
        visible: root.analysis.busy || !root.playback.hasResultFrame
        color: frame.visible ? Theme.scrim : Theme.viewport
        Column {
            anchors.centerIn: parent
            width: Math.min(parent.width - 2 * Theme.contentMargin, 420)
            spacing: Theme.itemSpacing
            ActivitySpinner {
                anchors.horizontalCenter: parent.horizontalCenter
                visible: root.analysis.busy
                running: visible
                width: 32
                height: 32
            }
            Text {
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                font.pixelSize: root.analysis.busy || root.resultError ? Theme.bodyFontSize : Theme.titleFontSize
                font.weight: root.analysis.busy || root.resultError ? Font.Normal : Font.DemiBold
                color: root.analysis.busy ? Theme.textPrimary : root.resultError ? Theme.error : Theme.textPrimary
                text: root.analysis.busy ? (root.analysis.cancelling ? qsTr("Cancelling analysis…")
                                                                   : qsTr("Analyzing selected fragment…"))
                    : root.resultError ? root.resultError : qsTr("No analysis result yet")
            }
            Text {
                width: parent.width
                visible: !root.analysis.busy && !root.resultError
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                font.pixelSize: Theme.noteFontSize
                color: Theme.textSecondary
                text: qsTr("Use Processing to configure and start analysis. Save the finished result with the icon above.")
            }
            ProgressBar {
                visible: root.analysis.busy
                width: parent.width
                from: 0
                to: 1
                value: root.analysis.progress
            }
            Text {
                visible: root.analysis.busy
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("%1%").arg(Math.round(root.analysis.progress * 100))
                color: Theme.textSecondary
                font.pixelSize: Theme.noteFontSize
            }
        }
    }
    Rectangle {
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: Theme.itemSpacing
        visible: root.playback.hasResultFrame && root.analysis.ready && root.analysis.cameraMotionMeasured
        width: cameraMotion.implicitWidth + 2 * Theme.groupSpacing
        height: cameraMotion.implicitHeight + Theme.groupSpacing
        radius: Theme.radiusSmall
        color: Theme.scrim
        Text {
            id: cameraMotion
            objectName: "cameraMotionFigures"
            anchors.centerIn: parent
            color: Theme.textPrimary
            font.pixelSize: Theme.noteFontSize
            text: qsTr("Camera motion: RMS %1 px, peak %2 px")
                      .arg(Format.number(root.analysis.cameraMotionRmsPixels, 2))
                      .arg(Format.number(root.analysis.cameraMotionPeakPixels, 2))
        }
    }
    Rectangle {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: Theme.itemSpacing
        visible: root.playback.hasResultFrame && !root.analysis.busy && (root.analysis.stale || root.resultError)
        height: banner.implicitHeight + Theme.panelPadding
        radius: Theme.radiusSmall
        color: Theme.surfaceRaised
        border.color: Theme.warning
        Text {
            id: banner
            anchors.centerIn: parent
            width: parent.width - 2 * Theme.itemSpacing
            wrapMode: Text.WordWrap
            font.pixelSize: Theme.noteFontSize
            color: root.resultError ? Theme.error : Theme.warning
            text: root.resultError ? root.resultError
                                   : qsTr("Settings changed. The displayed result keeps its original analysis parameters.")
        }
    }
}
