// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// The shaft-speed helper: a band around a harmonic of the rotation frequency.
InspectorCard {
    id: root

    required property ProcessingSettingsController processingSettings
    property bool editsEnabled: true
    property real bandHalfWidthPercent: settings.defaultBandHalfWidthPercent
    property bool bandApplicationFailed: false
    readonly property ProcessingSettingsController settings: processingSettings
    readonly property int harmonicOrder: harmonicBox.currentIndex + 1
    readonly property var harmonics: [settings.harmonic1FrequencyHz, settings.harmonic2FrequencyHz,
                                      settings.harmonic3FrequencyHz]
    readonly property real centre: harmonics[harmonicOrder - 1]
    readonly property var calculated: {
        settings.nyquistFrequencyHz // the capture rate decides whether the band is usable
        return settings.bandAroundPreview(centre, bandHalfWidthPercent)
    }
    readonly property real calculatedLower: calculated.lowerHz
    readonly property real calculatedUpper: calculated.upperHz
    readonly property bool calculatedValid: settings.rotationSpeedValid && calculated.usable

    title: qsTr("Rotation speed")
    description: qsTr("Reference harmonics are calculated from entered shaft speed and are not measurements.")

    NumericField {
        width: parent.width
        label: qsTr("Shaft speed")
        unit: qsTr("RPM")
        decimals: 1
        minimumValue: 0
        maximumValue: root.settings.maximumRotationSpeedRpm
        value: root.settings.rotationSpeedRpm
        inputEnabled: root.editsEnabled
        valueValid: root.settings.rotationSpeedValid
        onValueCommitted: function (value) { root.settings.setRotationSpeedRpm(value) }
    }
    Text {
        width: parent.width
        text: qsTr("1× is RPM / 60; 2× and 3× are two and three times that frequency. Half-width extends the band by the entered percentage on each side of its center.")
        color: Theme.textMuted
        font.pixelSize: Theme.noteFontSize
        wrapMode: Text.WordWrap
    }
    RowLayout {
        width: parent.width
        spacing: Theme.itemSpacing
        ComboBox {
            id: harmonicBox
            Layout.alignment: Qt.AlignBottom
            implicitHeight: Theme.controlHeight
            enabled: root.editsEnabled
            model: [qsTr("1×"), qsTr("2×"), qsTr("3×")]
            Accessible.name: qsTr("Harmonic")
        }
        NumericField {
            Layout.fillWidth: true
            label: qsTr("Band half-width")
            unit: qsTr("%")
            decimals: 1
            minimumValue: 0.1
            maximumValue: 99
            value: root.bandHalfWidthPercent
            inputEnabled: root.editsEnabled
            onValueCommitted: function (value) { root.bandHalfWidthPercent = value }
        }
        AppButton {
            Layout.alignment: Qt.AlignBottom
            text: qsTr("Apply band")
            enabled: root.editsEnabled && root.settings.frequencyEditingAvailable && root.settings.rotationSpeedValid
            onClicked: Qt.callLater(function () { // qmllint disable type
                root.bandApplicationFailed = !root.settings.applyRotationBand(root.harmonicOrder, root.bandHalfWidthPercent)
            })
        }
    }
    Text {
        width: parent.width
        wrapMode: Text.WordWrap
        font.pixelSize: Theme.bodyFontSize
        color: Theme.textPrimary
        text: root.settings.rotationSpeedValid
              ? qsTr("Calculated band: %1–%2 Hz · Center: %3 Hz").arg(Format.number(root.calculatedLower, 2))
                    .arg(Format.number(root.calculatedUpper, 2)).arg(Format.number(root.centre, 2))
              : qsTr("Calculated band: enter a valid shaft speed.")
    }
    Text {
        width: parent.width
        objectName: "bandRefusal"
        visible: root.bandApplicationFailed || (root.settings.rotationSpeedValid && !root.calculatedValid)
        wrapMode: Text.WordWrap
        font.pixelSize: Theme.noteFontSize
        color: Theme.error
        text: qsTr("The calculated band must be above zero and below the Nyquist frequency.")
    }
    Text {
        width: parent.width
        wrapMode: Text.WordWrap
        font.pixelSize: Theme.bodyFontSize
        color: Theme.textPrimary
        text: qsTr("Current filter band: %1–%2 Hz").arg(Format.number(root.settings.lowerFrequencyHz, 2))
                                                  .arg(Format.number(root.settings.upperFrequencyHz, 2))
    }
    Text {
        width: parent.width
        text: qsTr("Harmonic cards below refer to the current filter band, not the calculated band above.")
        color: Theme.textMuted
        font.pixelSize: Theme.noteFontSize
        wrapMode: Text.WordWrap
    }
    RowLayout {
        width: parent.width
        spacing: Theme.groupSpacing
        Repeater {
            model: 3
            Rectangle {
                id: card
                required property int index
                readonly property real frequency: root.harmonics[index]
                readonly property bool calculated: root.settings.rotationSpeedValid && frequency > 0
                readonly property bool aboveNyquist: calculated && root.settings.captureFrameRate > 0
                                                     && frequency >= root.settings.nyquistFrequencyHz
                readonly property bool inBand: calculated && root.settings.frequencyBandValid
                    && root.settings.lowerFrequencyHz <= frequency && frequency <= root.settings.upperFrequencyHz
                Layout.fillWidth: true
                implicitHeight: cardColumn.implicitHeight + Theme.panelPadding
                radius: Theme.radiusSmall
                color: Theme.surfaceRaised
                border.color: aboveNyquist ? Theme.error : inBand ? Theme.primary : Theme.border
                Column {
                    id: cardColumn
                    anchors.centerIn: parent
                    width: parent.width - Theme.panelPadding
                    spacing: 2
                    Text {
                        text: [qsTr("1×"), qsTr("2×"), qsTr("3×")][card.index]
                        color: Theme.textSecondary
                        font.pixelSize: Theme.noteFontSize
                    }
                    Text {
                        width: parent.width
                        text: card.calculated ? qsTr("%1 Hz").arg(Format.number(card.frequency, 2)) : qsTr("Not calculated")
                        color: Theme.textPrimary
                        font.pixelSize: Theme.headingFontSize
                        font.weight: Font.DemiBold
                        elide: Text.ElideRight
                    }
                    Text {
                        width: parent.width
                        text: card.aboveNyquist ? qsTr("Above Nyquist")
                            : card.inBand ? qsTr("In selected band") : qsTr("Outside selected band")
                        color: card.aboveNyquist ? Theme.error : Theme.textSecondary
                        font.pixelSize: Theme.noteFontSize
                        elide: Text.ElideRight
                    }
                }
            }
        }
    }
    Text {
        width: parent.width
        visible: !root.settings.rotationSpeedValid
        text: root.settings.rotationSpeedValidationMessage
        color: Theme.error
        font.pixelSize: Theme.noteFontSize
        wrapMode: Text.WordWrap
    }
    InspectorCard {
        width: parent.width
        collapsible: true
        expanded: false
        title: qsTr("How to choose the band")
        Repeater {
            model: [
                qsTr("Example: 600 RPM gives 1× = 10 Hz. A 10% half-width gives 9–11 Hz (10 Hz ± 1 Hz)."),
                qsTr("In selected band: the reference harmonic lies within the current filter. Outside selected band: it is outside the current filter. Above Nyquist: it reaches or exceeds the capture-rate limit."),
                qsTr("Nyquist frequency is half the capture frame rate. The entire filter band must be above zero and strictly below this limit. Check the capture rate in the first section of Processing.")
            ]
            Text {
                required property string modelData
                width: parent.width
                text: modelData
                color: Theme.textSecondary
                font.pixelSize: Theme.noteFontSize
                wrapMode: Text.WordWrap
            }
        }
    }
}
