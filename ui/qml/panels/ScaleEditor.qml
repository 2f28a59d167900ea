// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// The measurement scale: typed in millimetres per pixel, or calibrated from the line drawn over
// the frame and its known length.
Rectangle {
    id: root

    required property MeasurementScaleController measurementScale
    signal doneClicked()

    implicitHeight: column.implicitHeight + 2 * Theme.itemSpacing
    radius: Theme.radiusMedium
    color: Theme.surfaceRaised
    border.color: Theme.border

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: Theme.itemSpacing
        spacing: Theme.groupSpacing

        Text {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            font.pixelSize: Theme.noteFontSize
            color: Theme.textPrimary
            text: {
                const millimetres = Format.number(root.measurementScale.millimetresPerPixel, 5)
                switch (root.measurementScale.origin) {
                case MeasurementScaleController.Typed:
                    return qsTr("Scale: %1 mm per pixel, typed.").arg(millimetres)
                case MeasurementScaleController.Line:
                    return qsTr("Scale: %1 mm per pixel, from the line.").arg(millimetres)
                default:
                    return qsTr("No scale: amplitudes are given in pixels.")
                }
            }
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: Theme.itemSpacing
            NumericField {
                objectName: "typedScale"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                label: qsTr("Millimetres per pixel")
                unit: qsTr("mm/px")
                decimals: 5
                value: root.measurementScale.millimetresPerPixel
                onValueCommitted: function (value) { root.measurementScale.setTypedScale(value) }
            }
            NumericField {
                objectName: "lineLength"
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                label: qsTr("Length of the line")
                unit: qsTr("mm")
                value: root.measurementScale.lineMillimetres
                onValueCommitted: function (value) { root.measurementScale.setLineMillimetres(value) }
            }
        }
        Text {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            font.pixelSize: Theme.noteFontSize
            color: root.measurementScale.message ? Theme.error : Theme.textSecondary
            text: root.measurementScale.message ? root.measurementScale.message
                : qsTr("Type the scale, or drag a line over something of known length on the frame and type its length. Arrow keys move the line, with Shift its second end; Enter or a click outside finishes.")
        }
        RowLayout {
            Layout.alignment: Qt.AlignRight
            spacing: Theme.groupSpacing
            AppButton {
                kind: AppButton.Ghost
                text: qsTr("Clear scale")
                enabled: root.measurementScale.origin !== MeasurementScaleController.None
                         || root.measurementScale.hasLine
                onClicked: root.measurementScale.clear()
            }
            AppButton {
                text: qsTr("Done")
                onClicked: root.doneClicked()
            }
        }
    }
}
