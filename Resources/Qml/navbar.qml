import QtQuick 2.5
import QtQuick.Controls 1.4

// Navigation bar: Load Model, then the stage row once a model is loaded.
// Every click is a call on the main window (dlpUI); the checked flags only
// drive the pictures.
Item {
    id: root
    height: loadButton.height
    width: loadButton.height * 6 + 80
    property var stageRow: null

    function toSlice() {
        dlpUI.navbarClicked(4)
        if (stageRow !== null)
            stageRow.checkUpTo(4)
        dlpUI.bSliceShow = true
        dlpUI.navbarSlice()
        dlpUI.SetNavBtn("Slice")
    }

    Button {
        id: loadButton
        objectName: "loadButton"
        x: 8
        y: 0
        width: 60
        height: 60
        tooltip: qsTr("Load Model")
        iconSource: "qrc:/Resources/Resources/Open-2.png"
        style: VXButtonStyle_x {}
        onClicked: dlpUI.navbarOpenFile()
    }

    // The stage row starts 24 px right of the Load button and slides in from
    // 96 px further right.
    Item {
        id: rowHolder
        x: loadButton.x + loadButton.width + 24
        y: 0
        width: root.width - x
        height: root.height
    }

    Component {
        id: rowComponent
        Row {
            id: row
            objectName: "stageRow"
            y: 0
            spacing: 12
            opacity: 0.3

            function checkUpTo(n) {
                var buttons = [editButton, fixButton, supportButton, sliceButton, saveButton]
                for (var i = 0; i < buttons.length; ++i)
                    buttons[i].checked = i < n
            }

            Button {
                id: editButton
                objectName: "editButton"
                width: 60; height: 60
                tooltip: qsTr("Edit Model")
                iconSource: "qrc:/Resources/Resources/Edit-2.png"
                style: VXButtonStyle_x {}
                onCheckedChanged: if (checked) { dlpUI.bTransformShow = true; dlpUI.SetNavBtn("Edit") }
                onClicked: {
                    dlpUI.navbarClicked(1)
                    row.checkUpTo(1)
                    dlpUI.bTransformShow = true
                    dlpUI.navbarLayout()
                    dlpUI.SetNavBtn("Edit")
                }
            }
            Button {
                id: fixButton
                objectName: "fixButton"
                width: 60; height: 60
                tooltip: qsTr("Fix Model")
                iconSource: "qrc:/Resources/Resources/Repair-2.png"
                style: VXButtonStyle_x {}
                onClicked: {
                    dlpUI.navbarClicked(2)
                    row.checkUpTo(2)
                    dlpUI.bFixShow = true
                    dlpUI.navbarRepair()
                    dlpUI.SetNavBtn("Repair")
                }
            }
            Button {
                id: supportButton
                objectName: "supportButton"
                width: 60; height: 60
                tooltip: qsTr("Support Model")
                iconSource: "qrc:/Resources/Resources/Support-2.png"
                style: VXButtonStyle_x {}
                onClicked: {
                    dlpUI.navbarClicked(3)
                    row.checkUpTo(3)
                    dlpUI.bSupportShow = true
                    dlpUI.navbarSupport()
                    dlpUI.SetNavBtn("Support")
                }
            }
            Button {
                id: sliceButton
                objectName: "sliceButton"
                width: 60; height: 60
                tooltip: qsTr("Slice Model")
                iconSource: "qrc:/Resources/Resources/Slice-2.png"
                style: VXButtonStyle_x {}
                onClicked: root.toSlice()
            }
            Button {
                id: saveButton
                objectName: "saveButton"
                width: 60; height: 60
                tooltip: qsTr("Save Job")
                iconSource: "qrc:/Resources/Resources/Print-2.png"
                style: VXButtonStyle_x {}
                onClicked: {
                    if (dlpUI.sceneSliced()) {
                        dlpUI.navbarPrint()
                        dlpUI.navbarClicked(5)
                        row.checkUpTo(5)
                        dlpUI.bPrintShow = true
                        dlpUI.SetNavBtn("Save")
                    } else {
                        root.toSlice()
                        dlpUI.notifyToSlice()
                    }
                }
            }

            ParallelAnimation {
                running: true
                NumberAnimation { target: row; property: "x"; from: 96; to: 0; duration: 200; easing.type: Easing.InExpo }
                NumberAnimation { target: row; property: "opacity"; from: 0.3; to: 1.0; duration: 200; easing.type: Easing.InExpo }
            }
            Component.onCompleted: editButton.checked = true
        }
    }

    Connections {
        target: dlpUI
        function onNavbarFileLoaded() {
            if (root.stageRow === null) {
                loadButton.checked = true
                root.stageRow = rowComponent.createObject(rowHolder)
            }
            dlpUI.navbarClicked(1)
            dlpUI.slot_CtlWidgetDisp(true)
        }
        function onAllModelsDeleted() {
            if (root.stageRow !== null) {
                root.stageRow.destroy()
                root.stageRow = null
            }
            loadButton.checked = false
            dlpUI.slot_CtlWidgetDisp(false)
        }
        function onNavbarClickSlice() {
            root.toSlice()
            dlpUI.notifyToSlice()
        }
    }
}
