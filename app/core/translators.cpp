#include "translators.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QtDebug>

Translators::~Translators()
{
    remove();
}

QLocale Translators::qtLocaleOf(const QString& appFile)
{
    if (QFileInfo(appFile).completeBaseName() == QLatin1String("zh-cn"))
        return QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

bool Translators::install(const QString& appFile)
{
    remove();
    const bool appLoaded = m_app.load(appFile);
    if (!appLoaded)
        qWarning().noquote() << "Translation" << appFile << "could not be loaded";
    const QLocale locale = qtLocaleOf(appFile);
    const bool qtLoaded = locale.language() != QLocale::English
                          && m_qt.load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                                       QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    if (locale.language() != QLocale::English && !qtLoaded)
        qWarning().noquote() << "Qt's own translation for" << locale.name() << "was not found in"
                             << QLibraryInfo::location(QLibraryInfo::TranslationsPath)
                             << "- its dialogs stay English";
    if (QCoreApplication* app = QCoreApplication::instance()) {
        if (qtLoaded)
            app->installTranslator(&m_qt);
        if (appLoaded)
            app->installTranslator(&m_app);
        m_installed = true;
    }
    return appLoaded;
}

void Translators::remove()
{
    if (!m_installed)
        return;
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeTranslator(&m_app);
        app->removeTranslator(&m_qt);
    }
    m_installed = false;
}
