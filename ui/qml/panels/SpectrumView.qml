// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Dialogs
import QtQuick.Layouts
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// The motion spectrum of the fragment and region with its progress, refusals and peaks; a peak
// clicked, on the plot or in the list, becomes the band.
Column {
    id: root

    required property SpectrumController spectrum
    required property ProcessingSettingsController processingSettings
    readonly property ProcessingSettingsController settings: processingSettings
    property real failedPeakHz: 0
    // Whether a peak's vibration map may be asked for; each peak then offers it.
    property bool mapAvailable: false
    signal peakMapRequested(real frequencyHz)
    // Copied once per result: every read of a list property converts the whole list.
    readonly property var frequencies: spectrum.frequencies
    readonly property var amplitudes: spectrum.amplitudes
    readonly property var noiseFloor: spectrum.noiseFloor
    readonly property var peakFrequencies: spectrum.peakFrequencies
    readonly property var peakAmplitudes: spectrum.peakAmplitudes
    readonly property var peakDirections: spectrum.peakDirections
    readonly property var peakMillimetreTexts: spectrum.peakMillimetreTexts
    readonly property bool peaksSelectable: spectrum.ready && !spectrum.stale && settings.frequencyEditingAvailable

    spacing: Theme.groupSpacing

    function selectPeak(index) {
        failedPeakHz = spectrum.selectPeak(index) ? 0 : peakFrequencies[index]
    }

    Connections {
        target: root.spectrum
        function onResultChanged() { root.failedPeakHz = 0 }
    }

    RowLayout {
        width: parent.width
        spacing: Theme.itemSpacing
        ActivitySpinner {
            visible: root.spectrum.busy
            running: visible
        }
        Text {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            font.pixelSize: Theme.noteFontSize
            color: root.spectrum.busy ? Theme.textPrimary
                 : root.spectrum.errorMessage.length > 0 ? Theme.error
                 : root.spectrum.ready && root.spectrum.stale ? Theme.warning : Theme.textSecondary
            text: {
                if (root.spectrum.busy)
                    return root.spectrum.cancelling ? root.spectrum.stageName
                        : qsTr("%1 · %2 %").arg(root.spectrum.stageName).arg(Math.round(root.spectrum.progress * 100))
                if (root.spectrum.errorMessage.length > 0)
                    return root.spectrum.errorMessage
                if (!root.spectrum.ready)
                    return qsTr("Analyze the motion of the selected fragment and region to find its frequencies.")
                if (root.spectrum.spot && !root.spectrum.stale)
                    return qsTr("Spot around the clicked tile · resolution %1 Hz · %2 frames")
                        .arg(Format.number(root.spectrum.resolutionHz, 3)).arg(root.spectrum.analysedFrames) // qmllint disable type
                if (root.spectrum.stale)
                    return qsTr("The fragment, region or capture frame rate changed after this spectrum was made. Analyze again to update it.")
                return qsTr("Resolution %1 Hz · %2 frames · %3 segments").arg(Format.number(root.spectrum.resolutionHz, 3))
                    .arg(root.spectrum.analysedFrames).arg(root.spectrum.segmentCount) // qmllint disable type
            }
        }
        AppButton {
            visible: root.spectrum.busy
            text: qsTr("Cancel")
            enabled: !root.spectrum.cancelling
            onClicked: root.spectrum.cancel()
        }
        AppButton {
            visible: !root.spectrum.busy
            text: root.spectrum.ready ? qsTr("Analyze again") : qsTr("Analyze")
            enabled: root.spectrum.available
            onClicked: root.spectrum.analyzeAgain()
        }
    }
    Rectangle {
        visible: root.spectrum.busy
        width: parent.width
        height: 4
        radius: 2
        color: Theme.border
        Rectangle {
            width: parent.width * Math.min(Math.max(root.spectrum.progress, 0), 1)
            height: parent.height
            radius: 2
            color: Theme.primary
        }
    }

    SpectrumPlot {
        id: plot
        visible: root.spectrum.ready
        width: parent.width
        opacity: root.spectrum.stale ? 0.6 : 1
        processingSettings: root.settings
        frequencies: root.frequencies
        amplitudes: root.amplitudes
        noiseFloor: root.noiseFloor
        peakFrequencies: root.peakFrequencies
        peakAmplitudes: root.peakAmplitudes
        nyquist: root.spectrum.nyquistHz
        peaksSelectable: root.peaksSelectable
        peakDirections: root.peakDirections
        peakMillimetreTexts: root.peakMillimetreTexts
        onPeakClicked: function (index) { root.selectPeak(index) }
    }

    Flow {
        visible: root.spectrum.ready
        width: parent.width
        spacing: Theme.itemSpacing
        Repeater {
            model: [
                { colour: Theme.primary, dashed: false, text: qsTr("Motion") },
                { colour: Theme.textMuted, dashed: true, text: qsTr("Noise floor") },
                { colour: Theme.roi, dashed: true, text: qsTr("Shaft harmonics") },
                { colour: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.35), dashed: false,
                  text: qsTr("Current band"), area: true }
            ]
            Row {
                id: legendEntry
                required property var modelData
                spacing: Theme.labelSpacing
                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 14
                    height: legendEntry.modelData.area ? 10 : 2
                    color: legendEntry.modelData.colour
                    opacity: legendEntry.modelData.dashed ? 0.7 : 1
                }
                Text {
                    text: legendEntry.modelData.text
                    color: Theme.textSecondary
                    font.pixelSize: Theme.chartFontSize
                }
            }
        }
    }

    Text {
        visible: root.spectrum.ready
        width: parent.width
        wrapMode: Text.WordWrap
        font.pixelSize: Theme.noteFontSize
        color: Theme.textSecondary
        text: root.peakFrequencies.length === 0 ? qsTr("No peak rises above the noise floor.")
            : qsTr("Peaks, strongest first. Click one to set the band to ±%1 % around it.")
                .arg(Format.number(root.settings.defaultBandHalfWidthPercent, 0))
    }
    Flow {
        visible: root.spectrum.ready
        width: parent.width
        spacing: Theme.groupSpacing
        Repeater {
            model: root.spectrum.ready ? root.peakFrequencies.length : 0
            Row {
                id: peakEntry
                required property int index
                readonly property real frequency: root.peakFrequencies[index]
                spacing: Theme.labelSpacing
                AppButton {
                    kind: root.settings.lowerFrequencyHz <= peakEntry.frequency
                          && peakEntry.frequency <= root.settings.upperFrequencyHz ? AppButton.Primary : AppButton.Secondary
                    text: plot.peakText(peakEntry.index)
                    enabled: root.peaksSelectable
                    onClicked: root.selectPeak(peakEntry.index)
                }
                AppButton {
                    visible: root.mapAvailable
                    kind: AppButton.Ghost
                    implicitWidth: contentItem.implicitWidth + 2 * Theme.groupSpacing
                    text: qsTr("Map")
                    toolTipText: qsTr("Show where the picture vibrates at this peak")
                    enabled: root.spectrum.ready && !root.spectrum.stale
                    onClicked: root.peakMapRequested(peakEntry.frequency)
                }
            }
        }
    }
    Text {
        visible: root.failedPeakHz > 0
        width: parent.width
        wrapMode: Text.WordWrap
        font.pixelSize: Theme.noteFontSize
        color: Theme.error
        text: qsTr("The band around %1 Hz must be above zero and below the Nyquist frequency.")
            .arg(Format.number(root.failedPeakHz, 2))
    }
    RowLayout {
        visible: root.spectrum.ready
        width: parent.width
        spacing: Theme.itemSpacing
        Text {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            font.pixelSize: Theme.noteFontSize
            color: Theme.textSecondary
            text: root.spectrum.exportMessage
        }
        AppButton {
            text: qsTr("Save CSV…")
            toolTipText: qsTr("Write every bin of the spectrum, with millimetres when a scale is set")
            onClicked: csvDialog.open()
        }
    }
    FileDialog {
        id: csvDialog
        title: qsTr("Save spectrum as CSV")
        fileMode: FileDialog.SaveFile
        defaultSuffix: "csv"
        nameFilters: [qsTr("CSV table (*.csv)")]
        onAccepted: root.spectrum.exportCsv(selectedFile)
    }
}
