// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// Play, step and navigate; the timeline edits the analysis fragment.
Rectangle {
    id: root

    required property ApplicationController applicationController
    required property bool interactionAllowed
    readonly property PlaybackController playback: applicationController.playback
    readonly property AnalysisFragmentController fragment: applicationController.analysisFragment
    readonly property VideoSessionController session: applicationController.videoSession
    readonly property ProcessingSettingsController settings: applicationController.processingSettings
    readonly property bool pending: playback.playPending || playback.pausePending
    readonly property bool stepping: interactionAllowed && playback.canNavigate && !playback.playing
                                     && !playback.busy && !pending

    implicitHeight: layout.implicitHeight + 2 * Theme.itemSpacing
    radius: Theme.radiusMedium
    color: Theme.surface
    border.color: Theme.border

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.margins: Theme.itemSpacing
        spacing: Theme.itemSpacing

        TransportButton {
            objectName: "playButton"
            primaryAction: true
            readonly property bool pausing: root.playback.playing || root.playback.playPending
            iconSource: pausing ? "qrc:/ui/icons/pause.svg" : "qrc:/ui/icons/play.svg"
            toolTipText: pausing ? qsTr("Pause video") : qsTr("Play selection")
            enabled: root.interactionAllowed && root.playback.canPlay && !root.playback.pausePending
            onClicked: root.playback.togglePlayback()
        }
        TransportButton {
            iconSource: "qrc:/ui/icons/previous-frame.svg"
            toolTipText: qsTr("Previous frame")
            enabled: root.stepping
            onClicked: root.playback.stepBackward()
        }
        TransportButton {
            iconSource: "qrc:/ui/icons/next-frame.svg"
            toolTipText: qsTr("Next frame")
            enabled: root.stepping
            onClicked: root.playback.stepForward()
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Timeline {
                Layout.fillWidth: true
                Layout.minimumWidth: 120
                playback: root.playback
                fragment: root.fragment
                editable: root.stepping
            }
            RowLayout {
                Layout.fillWidth: true
                spacing: Theme.panelPadding
                Text {
                    text: qsTr("Frame %1 / %2").arg(root.playback.hasFrame ? root.playback.currentFrameIndex + 1 : 0) // qmllint disable type
                                                .arg(root.playback.frameCount)
                    color: Theme.textSecondary
                    font.pixelSize: Theme.noteFontSize
                }
                Text {
                    text: qsTr("Selected: %n frame(s)", "", root.fragment.selectedFrameCount) // qmllint disable type
                    color: Theme.textSecondary
                    font.pixelSize: Theme.noteFontSize
                }
                Text {
                    visible: root.fragment.autoStartAdjusted
                    text: qsTr("Start moved to frame %1: irregular timing at the beginning.").arg(root.fragment.startFrame + 1) // qmllint disable type
                    color: Theme.textMuted
                    font.pixelSize: Theme.noteFontSize
                }
                Text {
                    Layout.fillWidth: true
                    visible: root.session.ready && !root.settings.fragmentDurationSufficient
                    text: root.settings.fragmentValidationMessage
                    color: Theme.warning
                    font.pixelSize: Theme.noteFontSize
                    elide: Text.ElideRight
                }
            }
        }
    }
}
