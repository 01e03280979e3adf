import QtQuick 2.5
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// Tool row buttons: 48 px square with a grey gradient, icon over caption.
ButtonStyle {
    background: Item {
        implicitWidth: 48
        implicitHeight: implicitWidth
        Rectangle {
            anchors.fill: parent
            radius: width / 10
            antialiasing: true
            border.width: control.pressed || control.hovered || control.checked ? 2 : 1
            border.color: control.pressed || control.hovered ? "#c84848" : "#888888"
            gradient: Gradient {
                GradientStop { position: 0; color: control.pressed || control.checked ? "#ccc" : "#eee" }
                GradientStop { position: 1; color: control.pressed || control.checked ? "#aaa" : "#ccc" }
            }
        }
        Image {
            visible: control.checked
            anchors.left: parent.right
            anchors.verticalCenter: parent.verticalCenter
            source: "qrc:/Resources/Resources/triangle-12.png"
        }
    }
    label: Item {
        implicitWidth: 22
        implicitHeight: 40
        Column {
            y: 2
            spacing: 2
            anchors.horizontalCenter: parent.horizontalCenter
            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 20
                height: 20
                source: control.iconSource
            }
            Text {
                width: 22
                height: 14
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                font.pixelSize: 9
                text: control.text
            }
        }
    }
}
