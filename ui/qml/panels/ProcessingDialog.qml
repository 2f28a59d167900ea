// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// Everything an analysis needs, edited live; closing without starting restores what was there.
AppDialog {
    id: root

    required property ApplicationController applicationController
    readonly property VideoSessionController session: applicationController.videoSession
    readonly property ProcessingSettingsController settings: applicationController.processingSettings
    readonly property AnalysisController analysis: applicationController.analysis
    readonly property ExportController exporter: applicationController.exporter
    signal analysisRequested()
    signal vibrationMapRequested(real frequencyHz)
    signal referenceEditingRequested()

    title: qsTr("Analysis settings")
    width: Math.min(760, Overlay.overlay ? Overlay.overlay.width - 32 : 760)
    height: Math.min(820, Overlay.overlay ? Overlay.overlay.height - 32 : 820)

    function summaryRate(rate) {
        return Format.number(rate, Math.abs(rate - Math.round(rate)) < 1e-9 ? 0 : 3)
    }

    function cameraMotionText(choice) {
        return choice === ProcessingSettingsController.WholeFrame ? qsTr("Whole frame")
             : choice === ProcessingSettingsController.ReferenceRegion ? qsTr("Reference region")
             : qsTr("Off")
    }
    // Leaves the dialog with the settings as edited, for what the user goes on to do outside it.
    function closeKeepingSettings(then) {
        focusSink.forceActiveFocus()
        Qt.callLater(function () { // qmllint disable type
            root.applicationController.settingsSnapshot.keep()
            root.close()
            then()
        })
    }

    onAboutToShow: {
        root.applicationController.settingsSnapshot.take()
        for (const card of [rateCard, bandCard, amplificationCard, resourcesCard, regionCard, cameraCard])
            card.expanded = false
        motionPanel.spectrumShown = false
    }
    onAboutToHide: {
        helper.close()
        // Moving the focus commits a field that is still being edited.
        focusSink.forceActiveFocus()
    }
    onClosed: root.applicationController.settingsSnapshot.restore()

    Item {
        id: focusSink
        activeFocusOnTab: false
    }
    FrequencyHelperDialog {
        id: helper
        processingSettings: root.settings
    }

    ScrollView {
        anchors.fill: parent
        contentWidth: availableWidth
        enabled: !root.analysis.busy && !root.exporter.busy

        Column {
            width: parent.width
            spacing: Theme.itemSpacing

            InspectorCard {
                id: rateCard
                width: parent.width
                collapsible: true
                title: qsTr("Source recording frame rate")
                summary: qsTr("%1 FPS").arg(root.summaryRate(root.session.captureFrameRate))
                NumericField {
                    width: parent.width
                    label: qsTr("Capture frame rate")
                    unit: qsTr("FPS")
                    decimals: 3
                    minimumValue: 0.001
                    maximumValue: 10000
                    value: root.session.captureFrameRate
                    inputEnabled: root.session.ready
                    onValueCommitted: function (value) { root.session.setCaptureFrameRate(value) }
                }
            }
            InspectorCard {
                id: bandCard
                width: parent.width
                collapsible: true
                title: qsTr("Frequency filter")
                summary: qsTr("%1–%2 Hz").arg(Format.number(root.settings.lowerFrequencyHz, 2))
                                         .arg(Format.number(root.settings.upperFrequencyHz, 2))
                MotionPanel {
                    id: motionPanel
                    width: parent.width
                    flat: true
                    processingSettings: root.settings
                    spectrum: root.applicationController.spectrum
                    vibrationMap: root.applicationController.vibrationMap
                    amplificationShown: false
                    // The map is drawn over the source video: the settings edited here stay.
                    onVibrationMapRequested: function (frequencyHz) {
                        root.closeKeepingSettings(function () { root.vibrationMapRequested(frequencyHz) })
                    }
                }
                AppButton {
                    anchors.right: parent.right
                    text: qsTr("Frequency filter helper…")
                    onClicked: helper.open()
                }
            }
            InspectorCard {
                id: amplificationCard
                width: parent.width
                collapsible: true
                title: qsTr("Amplification")
                summary: qsTr("Factor: %1").arg(Format.number(root.settings.amplificationFactor, 1))
                NumericField {
                    width: parent.width
                    label: qsTr("Amplification factor")
                    decimals: 1
                    minimumValue: root.settings.minimumAmplificationFactor
                    maximumValue: root.settings.maximumAmplificationFactor
                    value: root.settings.amplificationFactor
                    inputEnabled: root.settings.available
                    valueValid: root.settings.amplificationValid
                    onValueCommitted: function (value) { root.settings.setAmplificationFactor(value) }
                }
            }
            InspectorCard {
                id: resourcesCard
                width: parent.width
                collapsible: true
                title: qsTr("Computing resources")
                summary: root.settings.workerThreadCount === 0
                         ? qsTr("Automatic · %n thread(s)", "", root.settings.effectiveWorkerThreadCount)
                         : qsTr("Manual · %n thread(s)", "", root.settings.workerThreadCount)
                ResourcesPanel {
                    width: parent.width
                    flat: true
                    processingSettings: root.settings
                }
            }
            InspectorCard {
                id: regionCard
                width: parent.width
                collapsible: true
                expansionEnabled: root.settings.regionCustomized
                title: qsTr("Frame processing")
                summary: root.settings.regionCustomized
                         ? qsTr("ROI: %1 × %2 px").arg(Math.round(root.settings.regionOfInterest.width * root.session.frameWidth))
                                                  .arg(Math.round(root.settings.regionOfInterest.height * root.session.frameHeight))
                           + " · " + (root.settings.regionProcessingOptimizationEnabled ? qsTr("Optimization on")
                                                                                         : qsTr("Optimization off"))
                         : qsTr("This section is available when a frame region is selected.")
                CheckBox {
                    text: qsTr("Optimize processing for selected region")
                    enabled: root.settings.regionCustomized
                    checked: root.settings.regionProcessingOptimizationEnabled
                    palette.windowText: Theme.textPrimary
                    onToggled: root.settings.setRegionProcessingOptimizationEnabled(checked)
                }
                Text {
                    width: parent.width
                    text: root.settings.regionCustomized
                          ? qsTr("The selected region uses the configured amplification; the surrounding ring uses half.")
                          : qsTr("The full frame will be processed.")
                    color: Theme.textSecondary
                    font.pixelSize: Theme.noteFontSize
                    wrapMode: Text.WordWrap
                }
            }
            InspectorCard {
                id: cameraCard
                width: parent.width
                collapsible: true
                title: qsTr("Camera motion")
                summary: root.cameraMotionText(root.settings.cameraMotion)
                Row {
                    spacing: Theme.itemSpacing
                    Repeater {
                        model: [ProcessingSettingsController.Off, ProcessingSettingsController.WholeFrame,
                                ProcessingSettingsController.ReferenceRegion]
                        RadioButton {
                            required property int modelData
                            objectName: "cameraMotion" + modelData
                            text: root.cameraMotionText(modelData)
                            enabled: root.settings.available
                            checked: root.settings.cameraMotion === modelData
                            palette.windowText: Theme.textPrimary
                            onToggled: root.settings.setCameraMotion(modelData)
                        }
                    }
                }
                Text {
                    width: parent.width
                    text: root.settings.cameraMotion === ProcessingSettingsController.WholeFrame
                          ? qsTr("The camera's shake, measured over the whole frame, is taken out before amplification.")
                          : root.settings.cameraMotion === ProcessingSettingsController.ReferenceRegion
                          ? qsTr("The camera's shake, measured in the reference region, is taken out before amplification.")
                          : qsTr("Frames are used as recorded, for a camera that stands firm.")
                    color: Theme.textSecondary
                    font.pixelSize: Theme.noteFontSize
                    wrapMode: Text.WordWrap
                }
                AppButton {
                    visible: root.settings.cameraMotion === ProcessingSettingsController.ReferenceRegion
                    text: qsTr("Edit reference region…")
                    onClicked: root.closeKeepingSettings(function () { root.referenceEditingRequested() })
                }
            }
        }
    }

    footer: Rectangle {
        implicitHeight: footerColumn.implicitHeight + 2 * Theme.itemSpacing
        color: Theme.surface
        radius: Theme.radiusMedium
        Column {
            id: footerColumn
            anchors.fill: parent
            anchors.margins: Theme.itemSpacing
            spacing: Theme.groupSpacing
            NoticeText {
                width: parent.width
                processingSettings: root.settings
            }
            RowLayout {
                width: parent.width
                spacing: Theme.itemSpacing
                Item { Layout.fillWidth: true }
                AppButton {
                    text: qsTr("Close")
                    onClicked: root.close()
                }
                AppButton {
                    kind: AppButton.Primary
                    text: qsTr("Start analysis")
                    enabled: root.analysis.available && !root.exporter.busy
                    onClicked: {
                        focusSink.forceActiveFocus()
                        Qt.callLater(function () { // qmllint disable type
                            if (!root.analysis.available)
                                return
                            root.applicationController.settingsSnapshot.keep()
                            root.close()
                            root.analysisRequested()
                        })
                    }
                }
            }
        }
    }
}
