#pragma once

#include <QString>
#include <QTranslator>

// The run's language for every text on screen: the application's own
// translation and, for any language but English, Qt's own (file choosers,
// standard buttons of message boxes), which Qt would otherwise show in English.
class Translators
{
public:
    Translators() = default;
    Translators(const Translators&) = delete;
    Translators& operator=(const Translators&) = delete;
    ~Translators();

    // Loads and installs `appFile` (":/Resources/lang/<name>.qm") and Qt's
    // translation of the same language from Qt's translations folder. False
    // when the application's file does not load; Qt's own missing only logs.
    bool install(const QString& appFile);
    void remove();

    // Qt's locale for an application translation file; English (no Qt
    // translation needed) for anything but Chinese.
    static QLocale qtLocaleOf(const QString& appFile);

private:
    QTranslator m_app;
    QTranslator m_qt;
    bool m_installed = false;
};
