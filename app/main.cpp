#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Vexmor3D");
    window.resize(1600, 900);
    window.show();
    return app.exec();
}
