import QtQuick 2.5
import QtQuick.Controls 1.4

// A tool row that the tool column does not load.
Column {
    spacing: 20
    Button {
        text: "分析"
        iconSource: "qrc:/Resources/04.png"
        style: VXButtonStyle {}
    }
    Button {
        text: "选择"
        iconSource: "qrc:/Resources/04.png"
        style: VXButtonStyle {}
    }
    Button {
        text: "裁剪"
        iconSource: "qrc:/Resources/04.png"
        style: VXButtonStyle {}
    }
    Button {
        text: "孔洞"
        iconSource: "qrc:/Resources/04.png"
        style: VXButtonStyle {}
    }
    Button {
        text: "平切"
        iconSource: "qrc:/Resources/04.png"
        style: VXButtonStyle {}
    }
}
