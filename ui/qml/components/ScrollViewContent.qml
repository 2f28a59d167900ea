// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme

// A vertical scroll area whose children are laid out in a column as wide as the view.
ScrollView {
    id: root

    default property alias content: column.data

    contentWidth: availableWidth
    Column {
        id: column
        width: root.availableWidth
        spacing: Theme.itemSpacing
    }
}
