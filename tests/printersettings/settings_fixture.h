#pragma once

#include "frmDeviceInterfaceSettings.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every test gets a configuration folder of its own, so neither the user's
// settings nor another test's (or QSettings' per-path cache) is touched.
class MachineSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_oldDir = qgetenv("VEXMOR_CONFIG_DIR");
        qputenv("VEXMOR_CONFIG_DIR", m_dir.path().toLocal8Bit());
        m_path = m_dir.filePath("VexmorMachine.ini");
        ASSERT_EQ(frmDeviceInterfaceSettings::settingsFilePath(), m_path);
    }
    void TearDown() override { qputenv("VEXMOR_CONFIG_DIR", m_oldDir); }

    void writeFile(const QByteArray& text)
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QByteArray fileBytes() const
    {
        QFile f(m_path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Non-empty lines, line ends stripped.
    QStringList fileLines() const
    {
        QStringList out;
        for (const QByteArray& l : fileBytes().split('\n'))
            if (!l.trimmed().isEmpty())
                out << QString::fromUtf8(l.trimmed());
        return out;
    }
    static QStringList expectedLines(const QString& language, const QString& machine)
    {
        return {"[MachineConfig]", "Language=" + language, "Machine=" + machine, "size=0"};
    }
    // Backdates the file so that any later write shows in its time.
    void backdateFile()
    {
        QFile f(m_path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(oldTime(), QFileDevice::FileModificationTime));
    }
    QDateTime fileTime() const { return QFileInfo(m_path).lastModified(); }
    static QDateTime oldTime() { return QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC); }

    // How start-up reads the language before any window exists.
    QString startupLanguage() const
    {
        QSettings s(m_path, QSettings::IniFormat);
        s.beginReadArray("MachineConfig");
        const QString lang = s.value("Language").toString();
        s.endArray();
        return lang;
    }

    QTemporaryDir m_dir;
    QByteArray m_oldDir;
    QString m_path;
};
