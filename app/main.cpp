#include "VSLGLView.h"
#include "Vexmor.h"
#include "configdir.h"
#include "language.h"
#include "logoutput.h"
#include "notices.h"
#include "ownedfile.h"
#include "startupreport.h"
#include "terminationsignals.h"
#include "translators.h"
#include "vslfunction/threadsatexit.h"

#include <QApplication>
#include <QSurfaceFormat>

#include <unistd.h>

int main(int argc, char** argv)
{
    // First of all: Qt reads its logging rules at its first message.
    vexmorReadQtLoggingRules();
    // Before anything asks Qt for a standard folder.
    const UserDirsGuard userDirs;
    vsl::waitForThreadsAtExit();
    qInstallMessageHandler(VexmorMessageOutput);
    StartupReport startup;
    turnOffWebSandboxForRoot(geteuid());
    // The contexts shared by the view and the web page are made in the
    // view's format (the main window sets the same one again).
    QSurfaceFormat::setDefaultFormat(VSLGLView::ViewSurfaceFormat());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TerminationSignals endOnSignal;
    vexmorInitResources();

    // Every notice of the start is composed in the interface's language.
    Translators translators;
    translators.install(vexmorTranslationFile());
    for (const QString& notice : {vexmorQtLoggingNotice(), vexmorUserDirsNotice()})
        if (!notice.isEmpty())
            OwnedFile::tellStartNotice(notice);
    vexmorPrepareDefaultSettings();

    Vexmor window;
    window.setWindowTitle(QStringLiteral("Vexmor3D"));
    window.show();
    startup.windowShown();
    return app.exec();
}
