// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui
import "SpectrumGeometry.js" as Geometry

// Log amplitude against frequency from 0 to the Nyquist frequency, with the current band shaded,
// the shaft harmonics marked and the peaks as buttons.
Item {
    id: root

    required property ProcessingSettingsController processingSettings
    required property var frequencies
    required property var amplitudes
    required property var noiseFloor
    required property var peakFrequencies
    required property var peakAmplitudes
    required property var peakDirections
    // Each peak in mm (or µm) and mm/s; empty without a scale.
    property var peakMillimetreTexts: []
    required property real nyquist
    required property bool peaksSelectable
    readonly property ProcessingSettingsController settings: processingSettings
    readonly property var decades: Geometry.amplitudeDecades([amplitudes, noiseFloor], 5)
    readonly property var harmonics: settings.rotationSpeedValid
                                     ? Geometry.harmonics(settings.rotationSpeedRpm, nyquist, 10) : []
    readonly property var frequencyTicks: Geometry.frequencyTicks(nyquist, area.width, 56)
    readonly property real harmonicSpacing: Geometry.xForFrequency(settings.rotationSpeedRpm / 60, nyquist, area.width)
    signal peakClicked(int index)

    // A peak as its marker's tooltip and the list of peaks describe it.
    function peakText(index) {
        const text = qsTr("%1 Hz · %2 px · %3°").arg(Format.number(peakFrequencies[index], 2))
                                                .arg(Format.number(peakAmplitudes[index], 3))
                                                .arg(Math.round(peakDirections[index]) % 180) // an axis: 180° is 0°
        const millimetres = peakMillimetreTexts[index]
        return millimetres ? text + " · " + millimetres : text
    }

    implicitHeight: 260

    Text {
        // Along the amplitude axis, out of the way of the harmonic labels above the plot.
        x: (height - width) / 2
        y: area.y + (area.height - height) / 2
        rotation: -90
        text: qsTr("Amplitude, px")
        color: Theme.textSecondary
        font.pixelSize: Theme.chartFontSize
    }
    Rectangle {
        id: area
        x: 64
        y: 20
        width: root.width - x - Theme.itemSpacing
        height: root.height - y - 40
        color: Theme.viewport
        border.color: Theme.border

        Canvas {
            anchors.fill: parent
            readonly property var inputs: [root.frequencies, root.amplitudes, root.noiseFloor, root.decades,
                root.harmonics, root.nyquist, root.settings.lowerFrequencyHz, root.settings.upperFrequencyHz,
                root.frequencyTicks, width, height]
            onInputsChanged: requestPaint()

            function verticalLine(context, frequency) {
                const x = Math.round(Geometry.xForFrequency(frequency, root.nyquist, width)) + 0.5
                context.beginPath()
                context.moveTo(x, 0)
                context.lineTo(x, height)
                context.stroke()
            }
            function curve(context, values) {
                context.beginPath()
                for (let i = 0; i < values.length; ++i) {
                    const x = Geometry.xForFrequency(root.frequencies[i], root.nyquist, width)
                    const y = Geometry.yForAmplitude(values[i], root.decades, height)
                    if (i === 0)
                        context.moveTo(x, y)
                    else
                        context.lineTo(x, y)
                }
                context.stroke()
            }
            onPaint: {
                const context = getContext("2d")
                context.reset()
                const lower = Geometry.xForFrequency(root.settings.lowerFrequencyHz, root.nyquist, width)
                const upper = Geometry.xForFrequency(root.settings.upperFrequencyHz, root.nyquist, width)
                context.fillStyle = Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.22)
                context.fillRect(lower, 0, Math.max(upper - lower, 1), height)
                context.lineWidth = 1
                context.strokeStyle = Theme.border
                for (const frequency of root.frequencyTicks.values)
                    verticalLine(context, frequency)
                for (const tick of Geometry.amplitudeTicks(root.decades)) {
                    const y = Math.round(Geometry.yForAmplitude(tick.value, root.decades, height)) + 0.5
                    context.beginPath()
                    context.moveTo(0, y)
                    context.lineTo(width, y)
                    context.stroke()
                }
                context.setLineDash([4, 3])
                context.strokeStyle = Theme.roi
                for (const frequency of root.harmonics)
                    verticalLine(context, frequency)
                context.strokeStyle = Theme.textMuted
                curve(context, root.noiseFloor)
                context.setLineDash([])
                context.lineWidth = 1.5
                context.strokeStyle = Theme.primary
                curve(context, root.amplitudes)
            }
        }

        Repeater {
            model: root.peakFrequencies.length
            AbstractButton {
                id: marker
                required property int index
                readonly property real frequency: root.peakFrequencies[index]
                readonly property bool inBand: root.settings.lowerFrequencyHz <= frequency
                                               && frequency <= root.settings.upperFrequencyHz
                x: Geometry.xForFrequency(frequency, root.nyquist, area.width) - width / 2
                y: Geometry.yForAmplitude(root.peakAmplitudes[index], root.decades, area.height) - height / 2
                width: 16
                height: 16
                enabled: root.peaksSelectable
                hoverEnabled: true
                Accessible.name: qsTr("Peak %1").arg(root.peakText(index))
                ToolTip.visible: hovered
                ToolTip.delay: 300
                ToolTip.text: root.peakText(index)
                background: Rectangle {
                    radius: width / 2
                    color: marker.inBand ? Theme.primary : Theme.viewport
                    border.width: 2
                    border.color: !marker.enabled ? Theme.textMuted
                                : marker.hovered ? Theme.textPrimary : Theme.success
                }
                onClicked: root.peakClicked(index)
            }
        }
    }
    Repeater {
        model: Geometry.amplitudeTicks(root.decades)
        Text {
            required property var modelData
            x: area.x - width - Theme.labelSpacing
            y: area.y + Geometry.yForAmplitude(modelData.value, root.decades, area.height) - height / 2
            text: Format.number(modelData.value, modelData.decimals)
            color: Theme.textSecondary
            font.pixelSize: Theme.chartFontSize
        }
    }
    Repeater {
        model: root.frequencyTicks.values
        Text {
            required property real modelData
            x: area.x + Geometry.xForFrequency(modelData, root.nyquist, area.width) - width / 2
            y: area.y + area.height + Theme.labelSpacing
            text: Format.number(modelData, root.frequencyTicks.decimals)
            color: Theme.textSecondary
            font.pixelSize: Theme.chartFontSize
        }
    }
    Repeater {
        model: root.harmonics
        Text {
            required property int index
            required property real modelData
            // Only where the labels do not run into each other.
            visible: index === 0 || root.harmonicSpacing >= 24
            x: area.x + Geometry.xForFrequency(modelData, root.nyquist, area.width) - width / 2
            y: area.y - height - 2
            text: qsTr("%1×").arg(index + 1)
            color: Theme.roi
            font.pixelSize: Theme.chartFontSize
        }
    }
    Text {
        anchors.right: area.right
        anchors.bottom: parent.bottom
        text: qsTr("Frequency, Hz")
        color: Theme.textSecondary
        font.pixelSize: Theme.chartFontSize
    }
}
