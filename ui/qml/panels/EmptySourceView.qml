// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// The drop area shown until a source is ready: what state the session is in and what to do next.
Item {
    id: root

    required property VideoSessionController videoSession
    required property MediaRuntimeController mediaRuntime
    signal openRequested()
    signal fileDropped(url fileUrl)

    readonly property bool runtimeMissing: videoSession.hasError && videoSession.hasSource && !mediaRuntime.available
    readonly property string title: runtimeMissing ? qsTr("Embedded FFmpeg libraries are unavailable")
        : videoSession.cancelling ? qsTr("Cancelling video analysis…")
        : videoSession.busy ? qsTr("Analyzing video…")
        : videoSession.ready ? qsTr("Video metadata is ready")
        : videoSession.hasError ? qsTr("Could not analyze video")
        : videoSession.cancelled ? qsTr("Video analysis was cancelled")
        : qsTr("Drop a video here")
    readonly property string description: runtimeMissing || (!videoSession.cancelling && !videoSession.busy
                                                             && !videoSession.ready && videoSession.hasError)
        ? videoSession.errorMessage
        : videoSession.cancelling ? qsTr("Waiting for metadata analysis to stop safely.")
        : videoSession.busy ? qsTr("Reading metadata and checking frame timestamps. The interface remains available.")
        : videoSession.ready ? qsTr("Metadata is ready. Frame playback will be connected in the next step.")
        : videoSession.cancelled ? qsTr("Choose this file again or open another video.")
        : qsTr("Choose an MP4, MOV or AVI file. The original file will remain unchanged.")

    DropArea {
        id: dropArea
        anchors.fill: parent
        anchors.margins: Theme.panelPadding
        enabled: !root.videoSession.busy
        onDropped: function (drop) {
            if (drop.hasUrls && drop.urls.length > 0) {
                drop.acceptProposedAction()
                root.fileDropped(drop.urls[0])
            }
        }

        Rectangle {
            anchors.fill: parent
            radius: Theme.radiusMedium
            color: "transparent"
            border.width: dropArea.containsDrag ? 2 : 1
            border.color: dropArea.containsDrag ? Theme.primary
                        : root.videoSession.hasError ? Theme.error
                        : root.videoSession.ready ? Theme.success : Theme.borderStrong
        }
        Column {
            anchors.centerIn: parent
            width: Math.min(parent.width - 2 * Theme.contentMargin, 460)
            spacing: Theme.itemSpacing

            Text {
                width: parent.width
                text: root.title
                color: Theme.textPrimary
                font.pixelSize: Theme.headlineFontSize
                font.weight: Font.DemiBold
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
            }
            Text {
                width: parent.width
                visible: text.length > 0
                text: root.videoSession.fileName
                color: Theme.textSecondary
                font.pixelSize: Theme.bodyFontSize
                horizontalAlignment: Text.AlignHCenter
                elide: Text.ElideMiddle
            }
            Text {
                width: parent.width
                text: root.description
                color: Theme.textSecondary
                font.pixelSize: Theme.bodyFontSize
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
            }
            Text {
                width: parent.width
                visible: root.runtimeMissing
                text: root.mediaRuntime.errorMessage
                color: Theme.warning
                font.pixelSize: Theme.noteFontSize
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
            }
            AppButton {
                anchors.horizontalCenter: parent.horizontalCenter
                visible: !root.videoSession.busy
                kind: AppButton.Primary
                text: root.videoSession.hasSource || root.videoSession.hasError || root.videoSession.cancelled
                      ? qsTr("Choose another file") : qsTr("Choose video")
                toolTipText: qsTr("Open the system file dialog")
                onClicked: root.openRequested()
            }
            AppButton {
                anchors.horizontalCenter: parent.horizontalCenter
                visible: root.videoSession.busy
                text: root.videoSession.cancelling ? qsTr("Cancelling…") : qsTr("Cancel analysis")
                toolTipText: qsTr("Stop source video analysis")
                enabled: !root.videoSession.cancelling
                onClicked: root.videoSession.cancelAnalysis()
            }
        }
    }
}
