// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// How many worker threads the motion processor may use.
InspectorCard {
    id: root

    required property ProcessingSettingsController processingSettings
    readonly property ProcessingSettingsController settings: processingSettings
    readonly property bool automatic: settings.workerThreadCount === 0

    title: qsTr("Computing resources")
    description: qsTr("Choose how many worker threads the motion processor may use.")

    Switch {
        text: qsTr("Automatic (recommended)")
        checked: root.automatic
        enabled: root.settings.maximumWorkerThreadCount > 0
        palette.windowText: Theme.textPrimary
        onToggled: root.settings.setWorkerThreadCount(
                       checked ? 0 : Math.min(root.settings.maximumWorkerThreadCount,
                                              root.settings.effectiveWorkerThreadCount))
    }
    NumericField {
        width: parent.width
        label: qsTr("Manual worker count")
        unit: qsTr("threads")
        decimals: 0
        minimumValue: 1
        maximumValue: Math.max(1, root.settings.maximumWorkerThreadCount)
        value: root.automatic ? root.settings.effectiveWorkerThreadCount : root.settings.workerThreadCount
        inputEnabled: !root.automatic
        onValueCommitted: function (value) { root.settings.setWorkerThreadCount(Math.round(value)) }
    }
    InfoRow {
        width: parent.width
        label: qsTr("Available logical processors")
        value: root.settings.availableLogicalProcessorCount
    }
    InfoRow {
        width: parent.width
        label: qsTr("Worker threads in use")
        value: qsTr("%n thread(s)", "", root.settings.effectiveWorkerThreadCount)
    }
    Text {
        width: parent.width
        text: root.automatic ? qsTr("The worker count is selected automatically for the available CPU.")
                             : qsTr("The selected worker count will be used for motion processing.")
        color: Theme.textMuted
        font.pixelSize: Theme.noteFontSize
        wrapMode: Text.WordWrap
    }
}
