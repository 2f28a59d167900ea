// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import OvraMotion.Theme
import OvraMotion.Components
import OvraMotion.Ui

// The source video with the region editor, the empty-state drop area and the analysis badge.
ViewportFrame {
    id: root

    required property ApplicationController applicationController
    required property bool interactionAllowed
    property bool regionEditing: false
    // Which region regionEditing edits: the camera motion's reference region or the amplification one.
    property bool referenceEditing: false
    property bool scaleEditing: false
    property bool vibrationMapShown: false
    readonly property VibrationMapController vibrationMap: applicationController.vibrationMap
    readonly property VideoSessionController session: applicationController.videoSession
    readonly property PlaybackController playback: applicationController.playback
    readonly property ProcessingSettingsController settings: applicationController.processingSettings
    readonly property bool referenceShown: settings.cameraMotion === ProcessingSettingsController.ReferenceRegion
    readonly property bool editingAllowed: interactionAllowed && session.ready && frame.hasFrame && !playback.busy
        && !playback.playPending && !playback.pausePending
    signal openRequested()
    signal fileDropped(url fileUrl)
    signal parametersRequested()
    signal regionEditingRequested(bool reference)
    signal regionEditingFinished()
    signal regionEditingCancelled()
    signal spotSpectrumRequested()
    signal vibrationMapExportRequested()

    title: qsTr("Source video")
    headerButtons: [
        IconButton {
            iconSource: "qrc:/ui/icons/parameters.svg"
            toolTipText: qsTr("Parameters")
            enabled: root.session.ready
            onClicked: root.parametersRequested()
        },
        IconButton {
            objectName: "vibrationMapToggle"
            visible: root.vibrationMap.state !== VibrationMapController.Unavailable
                     && root.vibrationMap.state !== VibrationMapController.Available
            iconSource: "qrc:/ui/icons/vibration-map.svg"
            toolTipText: root.vibrationMapShown ? qsTr("Hide vibration map") : qsTr("Show vibration map")
            checked: root.vibrationMapShown
            onClicked: root.vibrationMapShown = !root.vibrationMapShown
        },
        IconButton {
            iconSource: "qrc:/ui/icons/roi.svg"
            toolTipText: checked ? qsTr("Finish region editing") : qsTr("Select amplification region")
            checkable: false
            checked: root.regionEditing && !root.referenceEditing
            enabled: root.editingAllowed && !(root.regionEditing && root.referenceEditing)
            onClicked: {
                root.scaleEditing = false
                checked ? root.regionEditingFinished() : root.regionEditingRequested(false)
            }
        },
        IconButton {
            objectName: "referenceRegionButton"
            visible: root.referenceShown
            iconSource: "qrc:/ui/icons/reference-region.svg"
            toolTipText: checked ? qsTr("Finish region editing")
                                 : qsTr("Select the reference region for camera motion")
            checkable: false
            checked: root.regionEditing && root.referenceEditing
            enabled: root.editingAllowed && !(root.regionEditing && !root.referenceEditing)
            onClicked: {
                root.scaleEditing = false
                checked ? root.regionEditingFinished() : root.regionEditingRequested(true)
            }
        },
        IconButton {
            objectName: "stabilizedSourceToggle"
            visible: root.playback.stabilizedSourceAvailable
                     || root.settings.cameraMotion !== ProcessingSettingsController.Off
            iconSource: "qrc:/ui/icons/stabilized-source.svg"
            toolTipText: checked ? qsTr("Show the source as recorded") : qsTr("Show the stabilized source")
            checked: root.playback.sourceStabilized
            enabled: root.interactionAllowed && root.playback.stabilizedSourceAvailable
            onClicked: root.playback.setSourceStabilized(!checked)
        },
        IconButton {
            iconSource: "qrc:/ui/icons/scale.svg"
            toolTipText: root.scaleEditing ? qsTr("Finish the measurement scale") : qsTr("Measurement scale")
            checked: root.scaleEditing
            enabled: root.editingAllowed && !root.regionEditing && !root.playback.playing
            onClicked: root.scaleEditing = !root.scaleEditing
        },
        AppButton {
            visible: root.regionEditing
            kind: AppButton.Ghost
            implicitWidth: 80
            text: qsTr("Done")
            onClicked: root.regionEditingFinished()
        },
        AppButton {
            visible: root.regionEditing && !root.referenceEditing
            text: qsTr("Use full frame")
            onClicked: {
                root.settings.useFullFrame()
                root.regionEditingFinished()
            }
        }
    ]

    onReferenceShownChanged: {
        if (!referenceShown && regionEditing && referenceEditing)
            regionEditingFinished()
    }
    // A new map shows itself, whoever asked for it.
    Connections {
        target: root.vibrationMap
        function onResultChanged() {
            if (root.vibrationMap.ready)
                root.vibrationMapShown = true
        }
    }
    // The scale editor sits below the frame, so that the whole frame stays free to draw on.
    VideoFrameItem {
        id: frame
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.bottom: scaleEditor.visible ? scaleEditor.top : parent.bottom
        anchors.bottomMargin: scaleEditor.visible ? Theme.itemSpacing : 0
        visible: hasFrame
        playbackController: root.playback
        pixelAspectRatio: root.applicationController.videoSession.pixelAspectRatio
    }
    // The region being edited lies on top, so that it alone takes the pointer and the keys.
    RegionEditor {
        objectName: "amplificationRegionEditor"
        anchors.fill: frame
        visible: frame.hasFrame
        z: editing ? 1 : 0
        editing: root.regionEditing && !root.referenceEditing
        labelAlwaysShown: root.referenceShown
        processingSettings: root.settings
        playback: root.playback
        videoSession: root.session
        paintedRect: frame.paintedRect
        onEditingFinished: root.regionEditingFinished()
        onEditingCancelled: root.regionEditingCancelled()
    }
    RegionEditor {
        objectName: "referenceRegionEditor"
        anchors.fill: frame
        visible: frame.hasFrame && root.referenceShown
        z: editing ? 1 : 0
        reference: true
        labelAlwaysShown: true
        editing: root.regionEditing && root.referenceEditing && visible
        processingSettings: root.settings
        playback: root.playback
        videoSession: root.session
        paintedRect: frame.paintedRect
        onEditingFinished: root.regionEditingFinished()
        onEditingCancelled: root.regionEditingCancelled()
    }
    ScaleLineEditor {
        anchors.fill: frame
        visible: frame.hasFrame && !root.regionEditing
        editing: root.scaleEditing
        measurementScale: root.applicationController.measurementScale
        playback: root.playback
        videoSession: root.session
        paintedRect: frame.paintedRect
        onEditingFinished: root.scaleEditing = false
    }
    ScaleEditor {
        id: scaleEditor
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: Theme.itemSpacing
        visible: root.scaleEditing
        measurementScale: root.applicationController.measurementScale
        onDoneClicked: root.scaleEditing = false
    }
    VibrationMapOverlay {
        anchors.fill: frame
        visible: frame.hasFrame && root.vibrationMapShown && !root.regionEditing && !root.scaleEditing
        vibrationMap: root.vibrationMap
        paintedRect: frame.paintedRect
        interactive: visible
        onSpotSpectrumRequested: root.spotSpectrumRequested()
        onExportRequested: root.vibrationMapExportRequested()
        onHideRequested: root.vibrationMapShown = false
    }
    EmptySourceView {
        anchors.fill: parent
        visible: !root.session.ready && !frame.hasFrame
        videoSession: root.session
        mediaRuntime: root.applicationController.mediaRuntime
        onOpenRequested: root.openRequested()
        onFileDropped: function (fileUrl) { root.fileDropped(fileUrl) }
    }
    Rectangle {
        anchors.centerIn: parent
        visible: frame.hasFrame && (root.session.busy || root.session.cancelling)
        width: 72
        height: 72
        radius: Theme.radiusMedium
        color: Theme.scrim
        Accessible.name: root.session.cancelling ? qsTr("Cancelling analysis…") : qsTr("Analyzing source video…")
        ActivitySpinner {
            anchors.centerIn: parent
            width: 36
            height: 36
            running: parent.visible
        }
    }
    Column {
        anchors.centerIn: parent
        width: Math.min(parent.width - 2 * Theme.contentMargin, 420)
        visible: root.session.ready && !frame.hasFrame
        spacing: Theme.itemSpacing
        ActivitySpinner {
            anchors.horizontalCenter: parent.horizontalCenter
            visible: !root.playback.hasError
            running: visible
            width: 32
            height: 32
        }
        Text {
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            font.pixelSize: Theme.bodyFontSize
            color: root.playback.hasError ? Theme.error : Theme.textSecondary
            text: root.playback.hasError ? root.playback.errorMessage : qsTr("Preparing video playback…")
        }
        AppButton {
            anchors.horizontalCenter: parent.horizontalCenter
            visible: root.playback.hasError
            text: qsTr("Retry playback")
            onClicked: root.playback.retry()
        }
    }
}
