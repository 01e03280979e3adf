#include "settingsrangecheck.h"

#include <QDebug>
#include <QSettings>

std::optional<double> storedNumber(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::Float:
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toDouble();
    case QMetaType::Bool:
        return value.toBool() ? 1.0 : 0.0;
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return 1.0;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return 0.0;
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (ok)
            return number;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

bool isDirectionMark(ushort u)
{
    return (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069) || u == 0x200e || u == 0x200f || u == 0x061c;
}

QString shortPrintable(const QString& text, int shownCharacters)
{
    QString shown;
    int taken = 0;
    while (taken < text.size()) {
        const ushort u = text[taken].unicode();
        // A surrogate pair stays whole.
        const int size = text[taken].isHighSurrogate() && taken + 1 < text.size() ? 2 : 1;
        // C1 controls too: a terminal reads U+009B as the start of an escape.
        const QString piece = u < 0x20 || (u >= 0x7f && u < 0xa0) ? QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'))
                              : isDirectionMark(u)                ? QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'))
                                                                  : text.mid(taken, size);
        // The cap holds for what is shown, escapes included.
        if (shown.size() + piece.size() > shownCharacters)
            break;
        shown += piece;
        taken += size;
    }
    if (taken < text.size())
        shown += QStringLiteral("... (%1 characters)").arg(text.size());
    return shown;
}

QString valueProblemText(const QString& file, const QString& key, const QString& value, const QString& allowed)
{
    return QStringLiteral("%1: %2 = %3 (allowed %4)").arg(file, key, shortPrintable(value, 60), allowed);
}

QString jobValueProblemText(const DLP::SliceBuildConfig& job,
                            const std::function<ValueSource(const std::string& field)>& sourceOf)
{
    const std::optional<DLP::ValueProblem> bad = DLP::checkJobValues(job);
    if (!bad)
        return QString();
    const ValueSource source = sourceOf(bad->field);
    return valueProblemText(source.file, source.key, QString::fromStdString(bad->value),
                            QString::fromStdString(bad->allowed));
}

RangeCheckedGroup::RangeCheckedGroup(const QSettings& settings, QString file, QString keyPrefix, RangeOf rangeOf)
    : m_settings(settings)
    , m_file(std::move(file))
    , m_prefix(std::move(keyPrefix))
    , m_rangeOf(rangeOf)
{
}

QVariant RangeCheckedGroup::value(const QString& key)
{
    const QVariant stored = m_settings.value(key);
    const DLP::ValueRange* range = m_rangeOf ? m_rangeOf(key.toStdString()) : nullptr;
    if (!range || !stored.isValid())
        return stored;  // not a printer's number, or missing (reads 0)
    const std::optional<double> number = storedNumber(stored);
    if (number && range->contains(*number))
        return stored;
    // Shown as the file holds it: typed floats as their number.
    QString text;
    if (stored.userType() == QMetaType::QStringList)
        text = stored.toStringList().join(QStringLiteral(", "));
    else if (stored.userType() == QMetaType::QString || !number)
        text = stored.toString();
    else
        text = QString::fromStdString(DLP::valueText(*number));
    const QString problem = valueProblemText(m_file, m_prefix + key, text, QString::fromStdString(range->text()));
    qWarning().noquote() << "Value out of range:" << problem;
    if (m_problem.isEmpty())
        m_problem = problem;
    m_refused.insert(key, stored);
    return stored;
}
