#include "VSLGLView.h"
#include "Vexmor.h"
#include "configdir.h"
#include "logoutput.h"
#include "notices.h"

#include <QApplication>
#include <QSettings>
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

    QSettings settings(vexmorConfigFile(QStringLiteral("VexmorMachine.ini")), QSettings::IniFormat);
    settings.beginReadArray(QStringLiteral("MachineConfig"));
    const QString language = settings.value(QStringLiteral("Language")).toString();
    settings.endArray();
    QTranslator translator;
    if (!language.isEmpty() && language != QLatin1String("English"))
        translator.load(QStringLiteral(":/Resources/lang/zh-cn.qm"));
    else
        translator.load(QStringLiteral(":/Resources/lang/en.qm"));
    app.installTranslator(&translator);

    Vexmor window;
    window.setWindowTitle(QStringLiteral("Vexmor3D"));
    window.show();
    return app.exec();
}
