#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

class QSettings;

// Writes the keys the program owns into an ini file that the user may edit
// too, byte for byte around them: every other section, key, comment and
// blank line stays exactly as it was. QSettings itself would rewrite the
// whole file (dropping comments, reformatting values), so the owned lines
// are made by QSettings on a scratch file and spliced into the file's text.
// Values and key names read back through QSettings as if it had written them.
class IniFileUpdate
{
public:
    explicit IniFileUpdate(QString path);

    // The ini text QSettings writes for `values` (key paths as setValue
    // takes them); false when it could not be made whole.
    static bool textOf(const QList<QPair<QString, QVariant>>& values, QByteArray& text);

    // `key` is a QSettings key path with at least one group ("Group/key",
    // "Array/1/key"); top-level keys are not supported.
    void setValue(const QString& key, const QVariant& value);
    // Removes every key under a group: a top-level group empties its
    // section, a deeper one ("Recipe/name") only its own keys.
    void removeGroup(const QString& group);

    // Writes the file (atomically, through a temporary file in its folder,
    // which replaces it only once every byte is on the disk); false with
    // `error` set when it cannot be written, the file then left byte for
    // byte as it was. A byte-order mark before the text is kept. The file's modification time always moves forward, so
    // QSettings objects that cached an older text read it anew.
    bool commit(QString* error = nullptr);
    // commit(), a failure told to the user and logged, and `reader` made to
    // read the file anew either way.
    bool commitAndReread(QSettings& reader);

private:
    QString m_path;
    QList<QPair<QString, QVariant>> m_values;
    QStringList m_removedGroups;
};
