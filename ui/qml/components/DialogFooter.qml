// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import OvraMotion.Theme

// A dialog's button row, aligned right.
Rectangle {
    id: root

    default property alias buttons: row.data

    implicitHeight: row.implicitHeight + 2 * Theme.itemSpacing
    color: "transparent"
    RowLayout {
        anchors.fill: parent
        anchors.margins: Theme.itemSpacing
        spacing: Theme.itemSpacing
        Item { Layout.fillWidth: true }
        Row {
            id: row
            spacing: Theme.itemSpacing
        }
    }
}
