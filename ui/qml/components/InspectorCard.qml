// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme

// A titled card; a collapsible one shows a header with a one-line summary and opens on click.
Rectangle {
    id: root

    property string title
    property string description: ""
    property bool collapsible: false
    property bool expanded: !collapsible
    property bool expansionEnabled: true
    property string summary: ""
    // A flat card sits inside another one: no frame, no padding, no heading of its own.
    property bool flat: false
    default property alias content: contentColumn.data
    readonly property bool open: !collapsible || (expanded && expansionEnabled)

    readonly property int padding: flat ? 0 : Theme.panelPadding
    implicitHeight: column.implicitHeight + 2 * padding
    radius: Theme.radiusMedium
    color: flat ? "transparent" : Theme.surface
    border.color: Theme.border
    border.width: flat ? 0 : 1

    Column {
        id: column
        x: root.padding
        y: root.padding
        width: root.width - 2 * root.padding
        spacing: Theme.itemSpacing

        AbstractButton {
            id: header
            visible: !root.flat
            width: parent.width
            implicitHeight: implicitContentHeight
            enabled: root.collapsible && root.expansionEnabled
            onClicked: root.expanded = !root.expanded
            Accessible.name: root.title
            contentItem: Row {
                spacing: Theme.groupSpacing
                Text {
                    visible: root.collapsible
                    text: root.open ? "▾" : "▸"
                    color: Theme.textSecondary
                    font.pixelSize: Theme.headingFontSize
                }
                Column {
                    width: header.width - (root.collapsible ? 24 : 0)
                    spacing: 2
                    Text {
                        width: parent.width
                        text: root.title
                        color: root.collapsible && !root.expansionEnabled ? Theme.textMuted : Theme.textPrimary
                        font.pixelSize: Theme.headingFontSize
                        font.weight: Font.DemiBold
                        elide: Text.ElideRight
                    }
                    Text {
                        width: parent.width
                        visible: root.collapsible && text.length > 0
                        text: root.summary
                        color: Theme.textSecondary
                        font.pixelSize: Theme.noteFontSize
                        elide: Text.ElideRight
                    }
                }
            }
        }
        Text {
            width: parent.width
            visible: root.description.length > 0 && root.open
            text: root.description
            color: Theme.textSecondary
            font.pixelSize: Theme.noteFontSize
            wrapMode: Text.WordWrap
        }
        Column {
            id: contentColumn
            width: parent.width
            spacing: Theme.itemSpacing
            visible: root.open
        }
    }
}
