import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// Navigation bar buttons: the picture fills the 60 px square; a checked
// button shows its "-1.png" partner and the marker beside it.
ButtonStyle {
    function checkedImage(url) {
        var text = url.toString()
        var cut = text.lastIndexOf("-2.png")
        return cut < 0 ? text : text.substring(0, cut) + "-1.png"
    }
    background: Item {
        implicitWidth: 60
        implicitHeight: implicitWidth
        Image {
            anchors.fill: parent
            antialiasing: true
            smooth: true
            source: control.checked ? checkedImage(control.iconSource) : control.iconSource
        }
        Image {
            visible: control.checked
            anchors.left: parent.right
            anchors.verticalCenter: parent.verticalCenter
            source: "qrc:/Resources/Resources/triangle-12.png"
        }
        Text {
            visible: control.text.length > 0
            anchors.bottom: parent.top
            anchors.bottomMargin: 4
            anchors.horizontalCenter: parent.horizontalCenter
            text: control.text
        }
    }
    label: Item {}
}
