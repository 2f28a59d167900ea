// SPDX-License-Identifier: GPL-3.0-or-later
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui
import "RegionGeometry.js" as Geometry
import "VibrationMapGeometry.js" as MapGeometry

// The vibration map over the source frame, mapped onto the painted frame as the region editor
// maps its region, with its legend, opacity and export; hovering a tile tells its amplitude and
// axis, clicking one asks for the spectrum of that spot.
Item {
    id: root

    required property VibrationMapController vibrationMap
    required property rect paintedRect
    property bool interactive: true
    signal spotSpectrumRequested()
    signal exportRequested()
    signal hideRequested()

    // Copied once per map: every read of a list property converts the whole list.
    readonly property var tiles: vibrationMap.tileRects
    readonly property bool tilesShown: vibrationMap.ready && paintedRect.width > 0 && paintedRect.height > 0
    property int hoveredTile: -1
    readonly property rect hoveredPixels: {
        if (hoveredTile < 0 || hoveredTile >= tiles.length)
            return Qt.rect(0, 0, 0, 0)
        const p = Geometry.toPixels(tiles[hoveredTile], paintedRect)
        return Qt.rect(p.x, p.y, p.width, p.height)
    }

    onTilesChanged: hoveredTile = -1

    VibrationMapItem {
        objectName: "vibrationMapTiles"
        visible: root.tilesShown
        controller: root.vibrationMap
        x: root.paintedRect.x
        y: root.paintedRect.y
        width: root.paintedRect.width
        height: root.paintedRect.height
        opacity: opacitySlider.value * (root.vibrationMap.stale ? 0.6 : 1)
    }
    Rectangle {
        visible: pointer.containsMouse && root.hoveredTile >= 0
        x: root.hoveredPixels.x
        y: root.hoveredPixels.y
        width: root.hoveredPixels.width
        height: root.hoveredPixels.height
        color: "transparent"
        border.color: Theme.textPrimary
        border.width: 2
    }
    MouseArea {
        id: pointer
        anchors.fill: parent
        enabled: root.tilesShown && root.interactive
        hoverEnabled: true
        cursorShape: root.hoveredTile >= 0 ? Qt.PointingHandCursor : Qt.ArrowCursor
        onPositionChanged: function (mouse) {
            root.hoveredTile = MapGeometry.tileAt(mouse.x, mouse.y, root.paintedRect, root.tiles)
        }
        onExited: root.hoveredTile = -1
        onClicked: function (mouse) {
            const index = MapGeometry.tileAt(mouse.x, mouse.y, root.paintedRect, root.tiles)
            if (index >= 0 && root.vibrationMap.showSpectrumAt(index))
                root.spotSpectrumRequested()
        }
    }
    Rectangle {
        id: hoverBox
        objectName: "vibrationMapHover"
        visible: pointer.containsMouse && root.hoveredTile >= 0
        readonly property real gap: 14
        x: Math.min(pointer.mouseX + gap, root.width - width - Theme.labelSpacing)
        y: Math.max(pointer.mouseY - height - gap, Theme.labelSpacing)
        width: hoverText.implicitWidth + 2 * Theme.groupSpacing
        height: hoverText.implicitHeight + Theme.groupSpacing
        radius: Theme.radiusSmall
        color: Theme.surfaceRaised
        border.color: Theme.borderStrong
        Text {
            id: hoverText
            anchors.centerIn: parent
            font.pixelSize: Theme.noteFontSize
            color: Theme.textPrimary
            text: root.hoveredTile >= 0 ? root.vibrationMap.tileText(root.hoveredTile) + "\n"
                                          + qsTr("Click for the spectrum of this spot") : ""
        }
    }

    // The legend, the run's progress and the map's own controls, over the bottom of the frame.
    Rectangle {
        id: legend
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: Theme.groupSpacing
        width: Math.min(parent.width - 2 * Theme.groupSpacing, 420)
        height: legendColumn.implicitHeight + 2 * Theme.groupSpacing
        radius: Theme.radiusSmall
        color: Theme.surfaceRaised
        border.color: Theme.border
        opacity: 0.94

        // The legend keeps the pointer to itself: no tile is hovered or clicked through it.
        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
        }
        Column {
            id: legendColumn
            x: Theme.groupSpacing
            y: Theme.groupSpacing
            width: parent.width - 2 * Theme.groupSpacing
            spacing: Theme.labelSpacing

            Text {
                width: parent.width
                elide: Text.ElideRight
                font.pixelSize: Theme.noteFontSize
                font.weight: Font.DemiBold
                color: Theme.textPrimary
                text: root.vibrationMap.ready ? qsTr("Vibration map · %1").arg(root.vibrationMap.bandText)
                                              : qsTr("Vibration map")
            }
            Row {
                visible: root.vibrationMap.ready
                spacing: Theme.groupSpacing
                Row {
                    id: colourBar
                    anchors.verticalCenter: parent.verticalCenter
                    readonly property var colours: root.vibrationMap.colours
                    Repeater {
                        model: colourBar.colours.length - 1
                        Rectangle {
                            id: segment
                            required property int index
                            width: 18
                            height: 10
                            gradient: Gradient {
                                orientation: Gradient.Horizontal
                                GradientStop { position: 0; color: colourBar.colours[segment.index] }
                                GradientStop { position: 1; color: colourBar.colours[segment.index + 1] }
                            }
                        }
                    }
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    font.pixelSize: Theme.noteFontSize
                    color: Theme.textSecondary
                    text: qsTr("0 to %1").arg(root.vibrationMap.largestAmplitudeText)
                }
            }
            Text {
                visible: root.vibrationMap.ready
                width: parent.width
                wrapMode: Text.WordWrap
                font.pixelSize: Theme.chartFontSize
                color: Theme.textMuted
                text: qsTr("Tiles without texture have no data and stay clear.")
            }
            Text {
                id: status
                visible: text.length > 0
                width: parent.width
                wrapMode: Text.WordWrap
                font.pixelSize: Theme.noteFontSize
                color: root.vibrationMap.busy ? Theme.textPrimary
                     : root.vibrationMap.errorMessage.length > 0 ? Theme.error : Theme.warning
                text: {
                    if (root.vibrationMap.busy)
                        return root.vibrationMap.cancelling ? root.vibrationMap.stageName
                            : qsTr("%1 · %2 %").arg(root.vibrationMap.stageName)
                                               .arg(Math.round(root.vibrationMap.progress * 100))
                    if (root.vibrationMap.errorMessage.length > 0)
                        return root.vibrationMap.errorMessage
                    if (root.vibrationMap.stale)
                        return qsTr("The video, fragment, region or band changed after this map was made. Map again to update it.")
                    return ""
                }
            }
            Rectangle {
                visible: root.vibrationMap.busy
                width: parent.width
                height: 4
                radius: 2
                color: Theme.border
                Rectangle {
                    width: parent.width * Math.min(Math.max(root.vibrationMap.progress, 0), 1)
                    height: parent.height
                    radius: 2
                    color: Theme.primary
                }
            }
            Text {
                visible: root.vibrationMap.exportMessage.length > 0
                width: parent.width
                wrapMode: Text.WordWrap
                font.pixelSize: Theme.noteFontSize
                color: Theme.textSecondary
                text: root.vibrationMap.exportMessage
            }
            Flow {
                width: parent.width
                spacing: Theme.groupSpacing
                Row {
                    visible: root.vibrationMap.ready
                    height: Theme.controlHeight
                    spacing: Theme.labelSpacing
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        font.pixelSize: Theme.noteFontSize
                        color: Theme.textSecondary
                        text: qsTr("Opacity")
                    }
                    Slider {
                        id: opacitySlider
                        objectName: "vibrationMapOpacity"
                        anchors.verticalCenter: parent.verticalCenter
                        width: 110
                        from: 0.1
                        to: 1
                        value: 0.6
                        Accessible.name: qsTr("Opacity")
                        handle: Rectangle {
                            x: opacitySlider.leftPadding + opacitySlider.visualPosition * (opacitySlider.availableWidth - width)
                            y: opacitySlider.topPadding + (opacitySlider.availableHeight - height) / 2
                            implicitWidth: 14
                            implicitHeight: 14
                            radius: 7
                            color: opacitySlider.pressed ? Theme.primaryPressed : Theme.primary
                            border.color: Theme.textPrimary
                        }
                    }
                }
                AppButton {
                    visible: root.vibrationMap.busy
                    text: qsTr("Cancel")
                    enabled: !root.vibrationMap.cancelling
                    onClicked: root.vibrationMap.cancel()
                }
                AppButton {
                    visible: !root.vibrationMap.busy && (root.vibrationMap.stale || root.vibrationMap.errorMessage.length > 0)
                    text: qsTr("Map again")
                    enabled: root.vibrationMap.available
                    onClicked: root.vibrationMap.analyzeAgain()
                }
                AppButton {
                    visible: root.vibrationMap.ready
                    implicitWidth: contentItem.implicitWidth + 2 * Theme.itemSpacing
                    text: qsTr("Export…")
                    toolTipText: qsTr("Save the map as a PNG picture and its tiles as a CSV table beside it")
                    onClicked: root.exportRequested()
                }
                AppButton {
                    kind: AppButton.Ghost
                    implicitWidth: contentItem.implicitWidth + 2 * Theme.itemSpacing
                    text: qsTr("Hide")
                    onClicked: root.hideRequested()
                }
            }
        }
    }
}
