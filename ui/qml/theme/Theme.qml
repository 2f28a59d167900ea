// SPDX-License-Identifier: GPL-3.0-or-later
pragma Singleton
import QtQuick

// The one source of colours and metrics for every component.
QtObject {
    readonly property color background: "#11151B"
    readonly property color surface: "#1A2029"
    readonly property color surfaceRaised: "#222A35"
    readonly property color surfaceHover: "#293443"
    readonly property color viewport: "#0C1015"
    readonly property color border: "#313C4B"
    readonly property color borderStrong: "#465466"
    readonly property color textPrimary: "#EDF2F7"
    readonly property color textSecondary: "#AAB6C4"
    readonly property color textMuted: "#98A6B7"
    readonly property color textOnPrimary: "#07111E"
    readonly property color roi: "#FFB547"
    readonly property color referenceRegion: "#C792EA"
    readonly property color scaleLine: "#52D6C5"
    readonly property color success: "#55C27A"
    readonly property color warning: "#F5C451"
    readonly property color error: "#F16C6C"
    readonly property color disabledSurface: "#202731"
    readonly property color scrim: "#99070A0E"
    readonly property color primary: "#4EA1FF"
    readonly property color primaryPressed: "#3D83D5"

    // Spacing by role.
    readonly property int labelSpacing: 4 // a label, caption or swatch and what it names
    readonly property int groupSpacing: 8 // items of one group: a header's buttons, a list of peaks
    readonly property int itemSpacing: 12 // controls and cards in a row or column, and a bar's margins
    readonly property int panelPadding: 16 // the inside of panels, cards and dialogs
    readonly property int contentMargin: 24 // centred content and the edges of its viewport

    // Font sizes by role.
    readonly property int chartFontSize: 11 // a plot's axis labels and legend
    readonly property int noteFontSize: 12 // descriptions, hints, messages and field labels
    readonly property int bodyFontSize: 13 // running text, buttons, fields and values
    readonly property int headingFontSize: 14 // a card's title and the figure it highlights
    readonly property int titleFontSize: 16 // the title of a dialog, the window or an empty result
    readonly property int headlineFontSize: 18 // what the empty source viewport says first
    readonly property int displayFontSize: 20 // the product's name in About

    readonly property int radiusSmall: 6
    readonly property int radiusMedium: 9
    readonly property int controlHeight: 38
}
