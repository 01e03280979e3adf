import QtQuick 2.5
import QtQuick.Controls 1.4

// A tool row that the tool column does not load.
Column {
    spacing: 20
    Button {
        text: "切片"
        iconSource: "qrc:/Resources/04.png"
        style: VXButtonStyle {}
    }
}
