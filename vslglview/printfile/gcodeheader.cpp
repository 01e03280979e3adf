#include "printfile/gcodeheader.h"

#include <QIODevice>

#include <cmath>

namespace {

QString stripLineEnd(QString text)
{
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

} // namespace

bool ReadGcodeHeader(QIODevice& in, QMap<QString, QString>& out, qint64 maxBytes)
{
    out.clear();
    qint64 consumed = 0;
    bool firstLine = true;
    for (;;) {
        // A line longer than what is left of the budget cannot be a header line.
        const qint64 room = maxBytes - consumed;
        if (room <= 0)
            return false;
        QByteArray raw = in.readLine(room + 2); // reads at most room + 1 bytes
        consumed += raw.size();
        if (raw.size() > room)
            return false;
        const int nul = raw.indexOf('\0');
        if (nul >= 0)
            raw.truncate(nul);
        const QString line = firstLine ? QString::fromLatin1(raw) : QString::fromUtf8(raw);
        firstLine = false;
        if (!line.contains(QLatin1Char(':')))
            return true;
        const QStringList parts = line.split(QLatin1Char(':'));
        out.insert(parts.at(0).mid(1), stripLineEnd(parts.at(1)));
    }
}

bool GcodeHeaderInt(const QMap<QString, QString>& header, const QString& key, int minValue, int maxValue,
                    int& value)
{
    const auto it = header.constFind(key);
    if (it == header.constEnd())
        return false;
    bool ok = false;
    const qlonglong v = it.value().trimmed().toLongLong(&ok);
    if (!ok || v < minValue || v > maxValue)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool GcodeHeaderReal(const QMap<QString, QString>& header, const QString& key, double minValue,
                     double maxValue, double& value)
{
    const auto it = header.constFind(key);
    if (it == header.constEnd())
        return false;
    bool ok = false;
    const double v = it.value().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < minValue || v > maxValue)
        return false;
    value = v;
    return true;
}
