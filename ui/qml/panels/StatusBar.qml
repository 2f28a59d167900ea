// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui
import "StatusText.js" as StatusText

// One line of what is going on, with progress and cancel while an operation runs.
Rectangle {
    id: root

    required property ApplicationController applicationController
    readonly property ExportController exporter: applicationController.exporter
    readonly property VideoSessionController session: applicationController.videoSession
    readonly property AnalysisController analysis: applicationController.analysis
    readonly property StatusLine line: applicationController.statusLine
    readonly property bool anyCancelling: exporter.cancelling || analysis.cancelling || session.cancelling
    readonly property int operation: applicationController.currentOperation
    readonly property bool progressShown: operation !== ApplicationController.None
    readonly property real progressValue: operation === ApplicationController.Export ? exporter.progress
                                        : operation === ApplicationController.SourceAnalysis ? session.progress
                                                                                             : analysis.progress
    readonly property string remainingText: StatusText.remaining(
        operation === ApplicationController.Export ? exporter.remainingTimeUs // qmllint disable type
        : operation === ApplicationController.Analysis ? analysis.remainingTimeUs : 0) // qmllint disable type

    implicitHeight: 48
    color: Theme.surface

    Rectangle {
        width: parent.width
        height: 1
        color: Theme.border
    }
    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: Theme.panelPadding
        anchors.rightMargin: Theme.panelPadding
        spacing: Theme.itemSpacing

        Item {
            implicitWidth: 18
            implicitHeight: 18
            ActivitySpinner {
                anchors.fill: parent
                visible: running
                running: root.line.active
            }
            Rectangle {
                anchors.centerIn: parent
                visible: !root.line.active
                width: 8
                height: 8
                radius: 4
                color: root.line.tone === StatusLine.Error ? Theme.error
                     : root.line.tone === StatusLine.Warning ? Theme.warning : Theme.success
            }
        }
        Text {
            objectName: "statusText"
            Layout.fillWidth: true
            text: root.line.text
            color: root.line.tone === StatusLine.Error ? Theme.error : Theme.textSecondary
            font.pixelSize: Theme.bodyFontSize
            elide: Text.ElideRight
        }
        Text {
            visible: root.progressShown && !(root.session.busy && !root.session.progressKnown)
            text: root.remainingText ? qsTr("%1% · %2").arg(Math.round(root.progressValue * 100)).arg(root.remainingText)
                                     : qsTr("%1%").arg(Math.round(root.progressValue * 100))
            color: Theme.textSecondary
            font.pixelSize: Theme.bodyFontSize
        }
        ProgressBar {
            visible: root.progressShown
            Layout.preferredWidth: 120
            from: 0
            to: 1
            value: root.progressValue
            indeterminate: root.session.busy && !root.session.progressKnown
        }
        AppButton {
            visible: root.progressShown
            text: qsTr("Cancel")
            enabled: !root.anyCancelling
            onClicked: root.applicationController.cancelCurrentOperation()
        }
        AppButton {
            visible: root.exporter.completed
            kind: AppButton.Ghost
            text: qsTr("Open folder")
            onClicked: root.exporter.openOutputFolder()
        }
    }
}
