#include "inifileupdate.h"

#include "ownedfile.h"
#include "vslfunction/savecommit.h"

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPair>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QVector>

namespace {

struct OwnedLine
{
    QByteArray section; // as written between the brackets
    QByteArray key;     // as written before '='
    QByteArray line;    // the whole line, without its end
};

// A group removed: the section, and the key prefix within it (empty: all).
struct RemovedKeys
{
    QByteArray section;
    QByteArray keyPrefix;
};

QByteArray sectionOf(const QByteArray& trimmed)
{
    const int close = trimmed.indexOf(']');
    return (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed();
}

bool isComment(const QByteArray& trimmed)
{
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

// The lines QSettings writes for the scratch file, in its order.
QList<OwnedLine> linesOf(const QByteArray& text)
{
    QList<OwnedLine> lines;
    QByteArray section;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.endsWith('\r') ? raw.left(raw.size() - 1) : raw;
        const QByteArray t = line.trimmed();
        if (t.isEmpty() || isComment(t))
            continue;
        if (t.startsWith('[')) {
            section = sectionOf(t);
            continue;
        }
        const int eq = line.indexOf('=');
        if (eq > 0)
            lines.append({section, line.left(eq).trimmed(), line});
    }
    return lines;
}

// The section and key prefix QSettings writes for a group; false when the
// scratch file could not be made (an empty prefix would match every key).
bool removedKeysOf(const QString& group, RemovedKeys& removed)
{
    QByteArray text;
    if (!IniFileUpdate::textOf({{group + QStringLiteral("/k"), 0}}, text))
        return false;
    const QList<OwnedLine> lines = linesOf(text);
    if (lines.isEmpty())
        return false;
    removed.section = lines.first().section;
    const QByteArray& key = lines.first().key; // "<prefix>k"
    removed.keyPrefix = key.left(key.size() - 1);
    return true;
}

bool isRemoved(const QByteArray& section, const QByteArray& key, const QList<RemovedKeys>& removed)
{
    for (const RemovedKeys& r : removed)
        if (r.section == section && key.startsWith(r.keyPrefix))
            return true;
    return false;
}

} // namespace

IniFileUpdate::IniFileUpdate(QString path) : m_path(std::move(path)) {}

bool IniFileUpdate::textOf(const QList<QPair<QString, QVariant>>& values, QByteArray& text)
{
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return false;
    const QString path = scratch.filePath(QStringLiteral("made.ini"));
    {
        QSettings made(path, QSettings::IniFormat);
        for (const auto& v : values)
            made.setValue(v.first, v.second);
        made.sync();
        if (made.status() != QSettings::NoError)
            return false;
    }
    // QSettings renames its file into place even when the disk took only
    // part of it: read back, every value must be there as it was set. Read
    // under another name, which QSettings has no text of in memory.
    const QString written = scratch.filePath(QStringLiteral("written.ini"));
    if (!QFile::rename(path, written))
        return false;
    const QSettings check(written, QSettings::IniFormat);
    for (const auto& v : values)
        if (!check.contains(v.first) || check.value(v.first).toString() != v.second.toString())
            return false;
    QFile f(written);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    text = f.readAll();
    return true;
}

void IniFileUpdate::setValue(const QString& key, const QVariant& value)
{
    m_values.append({key, value});
}

void IniFileUpdate::removeGroup(const QString& group)
{
    m_removedGroups.append(group);
}

bool IniFileUpdate::commitAndReread(QSettings& reader)
{
    QString error;
    const bool written = commit(&error);
    if (!written)
        OwnedFile::tellWriteFailure(m_path, error);
    reader.sync();
    return written;
}

bool IniFileUpdate::commit(QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QList<OwnedLine> owned;
    if (!m_values.isEmpty()) {
        // Without its lines the update would write the file back without the change.
        QByteArray made;
        if (!textOf(m_values, made))
            return fail(QStringLiteral("cannot prepare the values for %1").arg(m_path));
        owned = linesOf(made);
        if (owned.isEmpty())
            return fail(QStringLiteral("cannot prepare the values for %1").arg(m_path));
    }
    QList<RemovedKeys> removed;
    for (const QString& g : qAsConst(m_removedGroups)) {
        RemovedKeys keys;
        if (!removedKeysOf(g, keys))
            return fail(QStringLiteral("cannot prepare the values for %1").arg(m_path));
        removed.append(keys);
    }

    QByteArray text;
    const QFileInfo before(m_path);
    const bool existed = before.exists();
    const QDateTime oldTime = existed ? before.lastModified() : QDateTime();
    if (existed) {
        QFile in(m_path);
        if (!in.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(m_path, in.errorString()));
        text = in.readAll();
    }
    // A byte-order mark before the first section: read past it, write it back.
    static const QByteArray bom("\xEF\xBB\xBF");
    const bool hadBom = text.startsWith(bom);
    if (hadBom)
        text.remove(0, bom.size());
    const QByteArray eol = text.contains("\r\n") ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");

    // The file's lines, each owned key replaced where it stands (later
    // copies of it dropped), removed keys left out.
    QList<QByteArray> lines = text.split('\n');
    const bool endedWithNewline = text.isEmpty() || text.endsWith('\n');
    if (endedWithNewline)
        lines.removeLast();
    QList<QByteArray> out;
    QVector<bool> written(owned.size(), false);
    // Owned keys by section and key (the first of each), looked up per line.
    QHash<QPair<QByteArray, QByteArray>, int> ownedAt;
    for (int i = owned.size() - 1; i >= 0; --i)
        ownedAt.insert(qMakePair(owned[i].section, owned[i].key), i);
    QMap<QByteArray, int> sectionEnd; // section -> index in `out` after its last line
    QByteArray section;
    for (QByteArray line : qAsConst(lines)) {
        const bool cr = line.endsWith('\r');
        const QByteArray body = cr ? line.left(line.size() - 1) : line;
        const QByteArray t = body.trimmed();
        if (t.startsWith('[')) {
            section = sectionOf(t);
            out.append(line);
            sectionEnd[section] = out.size();
            continue;
        }
        const int eq = body.indexOf('=');
        if (!t.isEmpty() && !isComment(t) && eq > 0) {
            const QByteArray key = body.left(eq).trimmed();
            if (isRemoved(section, key, removed))
                continue;
            const int match = ownedAt.value(qMakePair(section, key), -1);
            if (match >= 0) {
                if (written[match])
                    continue;
                written[match] = true;
                line = owned[match].line + (cr ? QByteArrayLiteral("\r") : QByteArray());
            }
            out.append(line);
            sectionEnd[section] = out.size();
            continue;
        }
        out.append(line);
    }
    // Owned keys the file did not hold: after the last line of their
    // section, or in a new section at the end.
    const QByteArray crSuffix = eol == "\r\n" ? QByteArrayLiteral("\r") : QByteArray();
    for (int i = 0; i < owned.size(); ++i) {
        if (written[i])
            continue;
        const QByteArray& sec = owned[i].section;
        if (!sectionEnd.contains(sec)) {
            if (!out.isEmpty() && !out.last().trimmed().isEmpty())
                out.append(crSuffix);
            out.append('[' + sec + ']' + crSuffix);
            sectionEnd[sec] = out.size();
        }
        const int at = sectionEnd.value(sec);
        out.insert(at, owned[i].line + crSuffix);
        for (auto it = sectionEnd.begin(); it != sectionEnd.end(); ++it)
            if (it.value() >= at)
                ++it.value();
    }
    QByteArray result = hadBom ? bom : QByteArray();
    for (const QByteArray& line : qAsConst(out))
        result += line + '\n';
    if (!endedWithNewline && !lines.isEmpty() && result.endsWith('\n') && out.size() == lines.size())
        result.chop(1);

    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString()));
    file.write(result);
    // Every byte on the disk before the old file goes: a full disk keeps it whole.
    QFileDevice::FileError failure = QFileDevice::NoError;
    QString detail;
    if (!CommitSaveFile(file, failure, &detail)) {
        QString why = FileErrorSentence(failure);
        if (failure != QFileDevice::ResourceError && !detail.isEmpty())
            why += QStringLiteral(" (") + detail + QLatin1Char(')');
        return fail(QStringLiteral("cannot write %1: %2").arg(m_path, why));
    }
    // QSettings keeps a file's text while its size and time stay the same.
    if (existed) {
        QFile after(m_path);
        if (QFileInfo(m_path).lastModified() <= oldTime && after.open(QIODevice::ReadWrite))
            after.setFileTime(oldTime.addMSecs(1), QFileDevice::FileModificationTime);
    }
    return true;
}
