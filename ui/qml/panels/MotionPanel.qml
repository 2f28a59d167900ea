// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// The frequency band (fields, a two-handle slider and, with a spectrum controller, the motion
// spectrum to pick it from, and with a map controller the way to the map of the band) and,
// optionally, the amplification factor.
InspectorCard {
    id: root

    component SliderHandle: Rectangle {
        required property real position
        required property bool pressed
        required property RangeSlider slider
        x: slider.leftPadding + position * (slider.availableWidth - width)
        y: slider.topPadding + slider.availableHeight / 2 - height / 2
        implicitWidth: 18
        implicitHeight: 18
        radius: 9
        color: pressed ? Theme.primaryPressed : Theme.primary
        border.color: Theme.textPrimary
        border.width: slider.activeFocus ? 2 : 1
    }

    required property ProcessingSettingsController processingSettings
    property SpectrumController spectrum: null
    property bool spectrumShown: false
    property VibrationMapController vibrationMap: null
    // frequencyHz 0: the band set here; else the band around that frequency.
    signal vibrationMapRequested(real frequencyHz)
    property bool amplificationShown: true
    readonly property ProcessingSettingsController settings: processingSettings
    readonly property real sliderFrom: settings.frequencyEditingAvailable ? settings.frequencyStepHz : 0
    readonly property real sliderTo: settings.frequencyEditingAvailable
                                     ? Math.max(2 * settings.frequencyStepHz, settings.maximumFrequencyHz) : 1

    title: qsTr("Motion amplification")
    description: qsTr("Choose a frequency band and amplification factor after the source is analyzed.")

    Text {
        width: parent.width
        wrapMode: Text.WordWrap
        font.pixelSize: Theme.noteFontSize
        color: root.settings.captureFrameRate > 0 ? Theme.textSecondary : Theme.warning
        text: root.settings.captureFrameRate > 0
              ? qsTr("Capture %1 FPS · Nyquist %2 Hz").arg(Format.number(root.settings.captureFrameRate, 2))
                                                     .arg(Format.number(root.settings.nyquistFrequencyHz, 2))
              : qsTr("Capture frame rate is not set")
    }
    RowLayout {
        width: parent.width
        spacing: Theme.itemSpacing
        NumericField {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            label: qsTr("Lower frequency")
            unit: qsTr("Hz")
            minimumValue: 0
            maximumValue: 10000
            decimals: 2
            value: root.settings.lowerFrequencyHz
            inputEnabled: root.settings.frequencyEditingAvailable
            valueValid: root.settings.lowerFrequencyValid
            onValueCommitted: function (value) { root.settings.setLowerFrequencyHz(value) }
        }
        NumericField {
            Layout.fillWidth: true
            Layout.preferredWidth: 1
            label: qsTr("Upper frequency")
            unit: qsTr("Hz")
            minimumValue: 0
            maximumValue: 10000
            decimals: 2
            value: root.settings.upperFrequencyHz
            inputEnabled: root.settings.frequencyEditingAvailable
            valueValid: root.settings.upperFrequencyValid
            onValueCommitted: function (value) { root.settings.setUpperFrequencyHz(value) }
        }
    }
    RangeSlider {
        id: slider
        width: parent.width
        enabled: root.settings.frequencyEditingAvailable
        from: root.sliderFrom
        to: root.sliderTo
        stepSize: Math.max(root.settings.frequencyStepHz, 0.0001)
        snapMode: RangeSlider.SnapAlways
        objectName: "bandSlider"
        Accessible.name: qsTr("Frequency band")
        // The band in force, a pressed handle staying under the pointer. Both handles take it in
        // one step: one after the other, the first would be held back by the other's old
        // position whenever the band jumps past it (40–50 Hz to 7.5–9.2 Hz).
        readonly property var shownBand: [first.pressed ? first.value : clamped(root.settings.lowerFrequencyHz),
                                          second.pressed ? second.value : clamped(root.settings.upperFrequencyHz)]
        function clamped(frequencyHz) { return Math.min(Math.max(frequencyHz, from), to) }
        onShownBandChanged: setValues(shownBand[0], shownBand[1])
        Component.onCompleted: setValues(shownBand[0], shownBand[1])
        first.handle: SliderHandle { position: slider.first.visualPosition; pressed: slider.first.pressed; slider: slider }
        second.handle: SliderHandle { position: slider.second.visualPosition; pressed: slider.second.pressed; slider: slider }
        first.onMoved: root.settings.setLowerFrequencyHz(first.value)
        second.onMoved: root.settings.setUpperFrequencyHz(second.value)
        background: Item {
            x: slider.leftPadding
            y: slider.topPadding + slider.availableHeight / 2 - 3
            implicitWidth: 200
            implicitHeight: 6
            width: slider.availableWidth
            height: 6
            readonly property real span: Math.max(slider.to - slider.from, 0.0001)
            Rectangle {
                anchors.fill: parent
                radius: 3
                color: Theme.border
            }
            Rectangle {
                readonly property real start: root.settings.captureFrameRate > 0
                    ? Math.min(Math.max((root.settings.nyquistWarningFrequencyHz - slider.from) / parent.span, 0), 1) : 0
                x: start * parent.width
                width: (1 - start) * parent.width
                height: parent.height
                radius: 3
                color: Theme.warning
                opacity: 0.35
            }
            Rectangle {
                x: slider.first.visualPosition * parent.width
                width: (slider.second.visualPosition - slider.first.visualPosition) * parent.width
                height: parent.height
                radius: 3
                color: Theme.primary
            }
        }
    }
    Row {
        spacing: Theme.groupSpacing
        AppButton {
            visible: root.spectrum !== null
            text: root.spectrumShown ? qsTr("Hide spectrum") : qsTr("Spectrum")
            toolTipText: qsTr("Measure how the selected region moves and find the frequencies it vibrates at.")
            onClicked: {
                root.spectrumShown = !root.spectrumShown
                // Refused while the video, the capture rate or the fragment do not allow it, saying why.
                if (root.spectrumShown && (!root.spectrum.ready || root.spectrum.stale || root.spectrum.spot))
                    root.spectrum.analyze()
            }
        }
        AppButton {
            visible: root.vibrationMap !== null
            text: qsTr("Vibration map")
            toolTipText: qsTr("Show over the source video where the region moves within this band.")
            enabled: root.vibrationMap !== null && root.vibrationMap.available
            onClicked: root.vibrationMapRequested(0)
        }
    }
    Loader {
        width: parent.width
        active: root.spectrum !== null && root.spectrumShown
        visible: active
        // Qt 6.4's Loader cannot load a component bound to this document (pragma ComponentBehavior:
        // Bound), so the view reaches the panel through the document's context, unchecked.
        sourceComponent: SpectrumView {
            spectrum: root.spectrum // qmllint disable unqualified
            processingSettings: root.settings // qmllint disable unqualified
            mapAvailable: root.vibrationMap !== null && root.vibrationMap.available // qmllint disable unqualified
            onPeakMapRequested: function (frequencyHz) { root.vibrationMapRequested(frequencyHz) } // qmllint disable unqualified
        }
    }
    NumericField {
        visible: root.amplificationShown
        width: parent.width
        label: qsTr("Amplification")
        unit: qsTr("Factor")
        decimals: 1
        minimumValue: root.settings.minimumAmplificationFactor
        maximumValue: root.settings.maximumAmplificationFactor
        value: root.settings.amplificationFactor
        inputEnabled: root.settings.available
        valueValid: root.settings.amplificationValid
        onValueCommitted: function (value) { root.settings.setAmplificationFactor(value) }
    }
    NoticeText {
        width: parent.width
        processingSettings: root.settings
    }
}
