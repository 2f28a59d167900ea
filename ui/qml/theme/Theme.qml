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
    readonly property color referenceRegion: "#52D6C5"
    readonly property color success: "#55C27A"
    readonly property color warning: "#F5C451"
    readonly property color error: "#F16C6C"
    readonly property color disabledSurface: "#202731"
    readonly property color scrim: "#99070A0E"
    readonly property color primary: "#4EA1FF"
    readonly property color primaryPressed: "#3D83D5"

    readonly property int spacing4: 4
    readonly property int spacing8: 8
    readonly property int spacing12: 12
    readonly property int spacing16: 16
    readonly property int spacing24: 24
    readonly property int radiusSmall: 6
    readonly property int radiusMedium: 9
    readonly property int controlHeight: 38
    readonly property int inspectorWidth: 360
    readonly property int animationDuration: 150
}
