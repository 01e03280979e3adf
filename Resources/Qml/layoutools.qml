import QtQuick 2.5
import QtQuick.Controls 1.4

// Edit-stage tool row: Translate, Rotate, Scale. A button shows the view's
// edit mode, not the click: the window may refuse the change (a job runs).
Column {
    spacing: 20

    Button {
        objectName: "translateButton"
        text: qsTr("Translate")
        tooltip: qsTr("Translate selected Model")
        iconSource: "qrc:/Resources/024.png"
        checked: dlpUI !== null && dlpUI.nEditMode === 0
        style: VXButtonStyle {}
        onClicked: dlpUI.layoutBarClicked(0)
    }
    Button {
        objectName: "rotateButton"
        text: qsTr("Rotate")
        tooltip: qsTr("Rotate selected Model")
        iconSource: "qrc:/Resources/025.png"
        checked: dlpUI !== null && dlpUI.nEditMode === 1
        style: VXButtonStyle {}
        onClicked: dlpUI.layoutBarClicked(1)
    }
    Button {
        objectName: "scaleButton"
        text: qsTr("Scale")
        tooltip: qsTr("Scale selected model")
        iconSource: "qrc:/Resources/026.png"
        checked: dlpUI !== null && dlpUI.nEditMode === 2
        style: VXButtonStyle {}
        onClicked: dlpUI.layoutBarClicked(2)
    }

    Component.onCompleted: dlpUI.bTransformShow = true
}
