import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import OvraMotion.Theme
import OvraMotion.Components
import "SpectrumGeometry.js" as Geometry

// The motion spectrum of the fragment and region: log amplitude against frequency up to the
// Nyquist frequency, with the current band shaded and the shaft harmonics marked. A peak
// clicked becomes the band.
Column {
    id: root

    required property QtObject spectrum
    required property QtObject processingSettings
    readonly property QtObject settings: processingSettings
    property real failedPeakHz: 0
    // Copied once per result: every read of a list property converts the whole list.
    readonly property var frequencies: spectrum.frequencies
    readonly property var amplitudes: spectrum.amplitudes
    readonly property var noiseFloor: spectrum.noiseFloor
    readonly property var peakFrequencies: spectrum.peakFrequencies
    readonly property var peakAmplitudes: spectrum.peakAmplitudes
    readonly property var peakDirections: spectrum.peakDirections
    readonly property var decades: Geometry.amplitudeDecades([amplitudes, noiseFloor], 5)
    readonly property real nyquist: spectrum.nyquistHz
    readonly property var harmonics: settings.rotationSpeedValid
                                     ? Geometry.harmonics(settings.rotationSpeedRpm, nyquist, 10) : []
    readonly property bool peaksSelectable: spectrum.ready && !spectrum.stale && settings.frequencyEditingAvailable

    spacing: Theme.spacing8

    function peakText(index) {
        return qsTr("%1 Hz · %2 px · %3°").arg(Format.number(peakFrequencies[index], 2))
                                          .arg(Format.number(peakAmplitudes[index], 3))
                                          .arg(Format.number(peakDirections[index], 0))
    }
    function selectPeak(index) {
        failedPeakHz = spectrum.selectPeak(index) ? 0 : peakFrequencies[index]
    }

    Connections {
        target: root.spectrum
        function onResultChanged() { root.failedPeakHz = 0 }
    }

    RowLayout {
        width: parent.width
        spacing: Theme.spacing12
        ActivitySpinner {
            visible: root.spectrum.busy
            running: visible
        }
        Text {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            font.pixelSize: 12
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
                if (root.spectrum.stale)
                    return qsTr("The fragment, region or capture frame rate changed after this spectrum was made. Analyze again to update it.")
                return qsTr("Resolution %1 Hz · %2 frames · %3 segments").arg(Format.number(root.spectrum.resolutionHz, 3))
                    .arg(root.spectrum.analysedFrames).arg(root.spectrum.segmentCount)
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
            onClicked: root.spectrum.analyze()
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

    Item {
        id: plot
        visible: root.spectrum.ready
        width: parent.width
        height: 260
        opacity: root.spectrum.stale ? 0.6 : 1
        readonly property var frequencyTicks: Geometry.frequencyTicks(root.nyquist, area.width, 56)
        readonly property real harmonicSpacing: Geometry.xForFrequency(root.settings.rotationSpeedRpm / 60,
                                                                       root.nyquist, area.width)

        Text {
            // Along the amplitude axis, out of the way of the harmonic labels above the plot.
            x: (height - width) / 2
            y: area.y + (area.height - height) / 2
            rotation: -90
            text: qsTr("Amplitude, px")
            color: Theme.textSecondary
            font.pixelSize: 11
        }
        Rectangle {
            id: area
            x: 64
            y: 20
            width: plot.width - x - Theme.spacing12
            height: plot.height - y - 40
            color: Theme.viewport
            border.color: Theme.border

            Canvas {
                id: canvas
                anchors.fill: parent
                readonly property var inputs: [root.frequencies, root.amplitudes, root.noiseFloor, root.decades,
                    root.harmonics, root.nyquist, root.settings.lowerFrequencyHz, root.settings.upperFrequencyHz,
                    plot.frequencyTicks, width, height]
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
                    for (const frequency of plot.frequencyTicks.values)
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
                model: root.spectrum.ready ? root.peakFrequencies.length : 0
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
                    onClicked: root.selectPeak(index)
                }
            }
        }
        Repeater {
            model: Geometry.amplitudeTicks(root.decades)
            Text {
                required property var modelData
                x: area.x - width - Theme.spacing4
                y: area.y + Geometry.yForAmplitude(modelData.value, root.decades, area.height) - height / 2
                text: Format.number(modelData.value, modelData.decimals)
                color: Theme.textSecondary
                font.pixelSize: 11
            }
        }
        Repeater {
            model: plot.frequencyTicks.values
            Text {
                required property real modelData
                x: area.x + Geometry.xForFrequency(modelData, root.nyquist, area.width) - width / 2
                y: area.y + area.height + Theme.spacing4
                text: Format.number(modelData, plot.frequencyTicks.decimals)
                color: Theme.textSecondary
                font.pixelSize: 11
            }
        }
        Repeater {
            model: root.harmonics
            Text {
                required property int index
                required property real modelData
                // Only where the labels do not run into each other.
                visible: index === 0 || plot.harmonicSpacing >= 24
                x: area.x + Geometry.xForFrequency(modelData, root.nyquist, area.width) - width / 2
                y: area.y - height - 2
                text: qsTr("%1×").arg(index + 1)
                color: Theme.roi
                font.pixelSize: 11
            }
        }
        Text {
            anchors.right: area.right
            anchors.bottom: parent.bottom
            text: qsTr("Frequency, Hz")
            color: Theme.textSecondary
            font.pixelSize: 11
        }
    }

    Flow {
        visible: root.spectrum.ready
        width: parent.width
        spacing: Theme.spacing12
        Repeater {
            model: [
                { colour: Theme.primary, dashed: false, text: qsTr("Motion") },
                { colour: Theme.textMuted, dashed: true, text: qsTr("Noise floor") },
                { colour: Theme.roi, dashed: true, text: qsTr("Shaft harmonics") },
                { colour: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.35), dashed: false,
                  text: qsTr("Current band"), area: true }
            ]
            Row {
                required property var modelData
                spacing: Theme.spacing4
                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 14
                    height: modelData.area ? 10 : 2
                    color: modelData.colour
                    opacity: modelData.dashed ? 0.7 : 1
                }
                Text {
                    text: modelData.text
                    color: Theme.textSecondary
                    font.pixelSize: 11
                }
            }
        }
    }

    Text {
        visible: root.spectrum.ready
        width: parent.width
        wrapMode: Text.WordWrap
        font.pixelSize: 12
        color: Theme.textSecondary
        text: root.peakFrequencies.length === 0 ? qsTr("No peak rises above the noise floor.")
            : qsTr("Peaks, strongest first. Click one to set the band to ±%1 % around it.")
                .arg(Format.number(root.settings.defaultBandHalfWidthPercent, 0))
    }
    Flow {
        visible: root.spectrum.ready
        width: parent.width
        spacing: Theme.spacing8
        Repeater {
            model: root.spectrum.ready ? root.peakFrequencies.length : 0
            AppButton {
                required property int index
                readonly property real frequency: root.peakFrequencies[index]
                kind: root.settings.lowerFrequencyHz <= frequency && frequency <= root.settings.upperFrequencyHz
                      ? AppButton.Primary : AppButton.Secondary
                text: root.peakText(index)
                enabled: root.peaksSelectable
                onClicked: root.selectPeak(index)
            }
        }
    }
    Text {
        visible: root.failedPeakHz > 0
        width: parent.width
        wrapMode: Text.WordWrap
        font.pixelSize: 12
        color: Theme.error
        text: qsTr("The band around %1 Hz must be above zero and below the Nyquist frequency.")
            .arg(Format.number(root.failedPeakHz, 2))
    }
}
