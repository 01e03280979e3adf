import QtQuick 2.12

// Tool column: shows the tool row of the current stage, sliding the old one
// out and the new one in; shown while a model is selected.
Item {
    id: root
    width: 56
    height: 384
    property string requestedRow: "blanktools.qml"

    function request(file) {
        if (file === requestedRow)
            return
        slideIn.stop()
        if (!slideOut.running)
            slideOut.start()
        requestedRow = file
    }

    Loader {
        id: rowLoader
        objectName: "rowLoader"
        x: 4
        y: 0
        visible: false
        onLoaded: {
            slideOut.stop()
            slideIn.start()
        }
    }

    NumberAnimation {
        id: slideOut
        target: rowLoader; property: "y"; from: 0; to: 40; duration: 200; easing.type: Easing.Linear
        onFinished: {
            var url = Qt.resolvedUrl(root.requestedRow)
            if (rowLoader.source.toString() !== url.toString())
                rowLoader.source = url
        }
    }
    NumberAnimation {
        id: slideIn
        target: rowLoader; property: "y"; from: -120; to: 0; duration: 350; easing.type: Easing.Linear
    }

    Connections {
        target: dlpUI
        function onNavIndexChanged(index) {
            root.request(index === 0 || index === 1 ? "layoutools.qml" : "blanktools.qml")
        }
    }
    Connections {
        target: dlpView
        function onSignal_ShowHideEditControl(bShow) {
            rowLoader.visible = bShow
        }
    }

    Component.onCompleted: {
        slideIn.start()
        slideOut.start()
    }
}
