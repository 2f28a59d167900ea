// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme
import "NumberText.js" as NumberText

// A labelled number field. It shows the model value in the current locale; an edit is committed
// only when it parses and lies in range, and the field then shows the model value again, so a
// rejected or clamped entry snaps back.
Column {
    id: root

    property string label
    property string unit: ""
    property real value: 0
    property real minimumValue: -1000000
    property real maximumValue: 1000000
    property int decimals: 2
    property bool inputEnabled: true
    property bool valueValid: true
    readonly property bool editing: field.activeFocus
    signal valueCommitted(real value)

    spacing: Theme.labelSpacing

    function formattedValue() {
        return NumberText.format(root.value, root.decimals, Qt.locale())
    }
    function commit() {
        const parsed = NumberText.parse(field.text, Qt.locale(), root.minimumValue, root.maximumValue)
        if (!isNaN(parsed))
            root.valueCommitted(parsed)
        field.text = Qt.binding(root.formattedValue)
    }

    Text {
        text: root.label
        color: Theme.textSecondary
        font.pixelSize: Theme.noteFontSize
        visible: text.length > 0
    }
    TextField {
        id: field
        width: root.width
        implicitHeight: Theme.controlHeight
        enabled: root.inputEnabled
        text: root.formattedValue()
        color: enabled ? Theme.textPrimary : Theme.textMuted
        font.pixelSize: Theme.bodyFontSize
        rightPadding: unitText.visible ? unitText.implicitWidth + 2 * Theme.groupSpacing : Theme.groupSpacing
        selectByMouse: true
        inputMethodHints: Qt.ImhFormattedNumbersOnly
        Accessible.name: root.label
        readonly property bool textAcceptable:
            !isNaN(NumberText.parse(text, Qt.locale(), root.minimumValue, root.maximumValue))
        onEditingFinished: root.commit()
        background: Rectangle {
            radius: Theme.radiusSmall
            color: field.enabled ? Theme.surfaceRaised : Theme.disabledSurface
            border.width: 1
            border.color: !root.valueValid || (field.activeFocus && !field.textAcceptable) ? Theme.error
                        : field.activeFocus ? Theme.primary : Theme.border
        }
        Text {
            id: unitText
            anchors.right: parent.right
            anchors.rightMargin: Theme.groupSpacing
            anchors.verticalCenter: parent.verticalCenter
            text: root.unit
            visible: text.length > 0
            color: Theme.textMuted
            font.pixelSize: Theme.noteFontSize
        }
    }
}
