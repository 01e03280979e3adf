#include "VSLGLView.h"
#include "Vexmor.h"
#include "language.h"
#include "logoutput.h"
#include "notices.h"

#include <QApplication>
#include <QSurfaceFormat>
#include <QTranslator>

int main(int argc, char** argv)
{
    qInstallMessageHandler(VexmorMessageOutput);
    // The contexts shared by the view and the web page are made in the
    // view's format (the main window sets the same one again).
    QSurfaceFormat::setDefaultFormat(VSLGLView::ViewSurfaceFormat());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    vexmorInitResources();

    QTranslator translator;
    translator.load(vexmorTranslationFile());
    app.installTranslator(&translator);

    Vexmor window;
    window.setWindowTitle(QStringLiteral("Vexmor3D"));
    window.show();
    return app.exec();
}
