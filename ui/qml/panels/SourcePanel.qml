// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// The source recording's metadata, as the analysis found it.
InspectorCard {
    id: root

    required property VideoSessionController videoSession
    readonly property VideoSessionController session: videoSession
    readonly property string missing: qsTr("Not available")

    title: qsTr("Source")
    description: session.cancelling ? qsTr("Stopping metadata analysis safely.")
        : session.busy ? qsTr("Reading metadata and validating the frame time grid.")
        : session.ready ? qsTr("Metadata analysis completed.")
        : session.hasError ? qsTr("The source video could not be analyzed.")
        : session.cancelled ? qsTr("Metadata analysis was cancelled.")
        : qsTr("Open a source video to inspect its recording parameters.")

    Row {
        visible: root.session.busy
        spacing: Theme.groupSpacing
        ActivitySpinner {
            width: 18
            height: 18
            running: parent.visible
        }
        Text {
            text: root.session.cancelling ? qsTr("Cancelling…") : qsTr("Analyzing…")
            color: Theme.textSecondary
            font.pixelSize: Theme.noteFontSize
        }
    }
    Text {
        width: parent.width
        visible: root.session.hasError
        text: root.session.errorMessage
        color: Theme.error
        font.pixelSize: Theme.noteFontSize
        wrapMode: Text.WordWrap
    }
    Rectangle {
        width: parent.width
        visible: root.session.captureFrameRateRequired
        implicitHeight: note.implicitHeight + Theme.panelPadding
        radius: Theme.radiusSmall
        color: Theme.surfaceRaised
        border.color: Theme.warning
        Text {
            id: note
            anchors.centerIn: parent
            width: parent.width - 2 * Theme.itemSpacing
            text: qsTr("Capture frame rate is not available in this file. Enter the camera recording rate to calculate physical time and vibration frequencies.")
            color: Theme.warning
            font.pixelSize: Theme.noteFontSize
            wrapMode: Text.WordWrap
        }
    }
    InfoRow {
        width: parent.width
        label: qsTr("File")
        value: root.session.fileName || qsTr("Not selected")
    }
    InfoRow {
        width: parent.width
        label: qsTr("Path")
        value: root.session.filePath || qsTr("Not selected")
    }
    InfoRow {
        width: parent.width
        label: qsTr("Container")
        value: root.session.containerName || root.missing
    }
    InfoRow {
        width: parent.width
        label: qsTr("Video codec")
        value: root.session.codecName || root.missing
    }
    InfoRow {
        width: parent.width
        label: qsTr("Resolution")
        value: root.session.frameWidth > 0 ? qsTr("%1 × %2 px").arg(root.session.frameWidth).arg(root.session.frameHeight)
                                           : root.missing
    }
    InfoRow {
        width: parent.width
        label: qsTr("Frames")
        value: root.session.frameCount > 0 ? Format.number(root.session.frameCount, 0) : root.missing // qmllint disable type
    }
    InfoRow {
        width: parent.width
        label: root.session.captureTimingMapRequired ? qsTr("Slow-motion capture frame rate") : qsTr("Capture frame rate")
        value: root.session.captureFrameRate > 0
               ? qsTr("%1 - %2").arg(qsTr("%1 FPS").arg(Format.number(root.session.captureFrameRate, 3)))
                                .arg(root.session.captureFrameRateManual ? qsTr("Manual") : qsTr("Metadata"))
               : qsTr("Not reported")
    }
    InfoRow {
        width: parent.width
        label: qsTr("Time grid")
        value: root.session.hasSource || root.session.ready
               ? (root.session.variableFrameRate ? qsTr("Variable") : qsTr("Constant")) : root.missing
        valueColor: root.session.variableFrameRate ? Theme.warning : Theme.textPrimary
    }
}
