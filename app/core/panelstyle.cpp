#include "panelstyle.h"

#include <QVariant>
#include <QWidget>

namespace PanelStyle {

const char* const kMark = "vexmorPanel";

namespace {

QString markSelector()
{
    return QStringLiteral("[%1=\"true\"]").arg(QLatin1String(kMark));
}

QString withoutComments(const QString& text)
{
    QString out;
    out.reserve(text.size());
    QChar quote;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            out += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            out += c;
        } else if (c == '/' && i + 1 < text.size() && text.at(i + 1) == '*') {
            const int end = text.indexOf(QLatin1String("*/"), i + 2);
            if (end < 0)
                break;
            i = end + 1;
        } else {
            out += c;
        }
    }
    return out;
}

// Index of the first `wanted` at top level (outside quotes, brackets and
// parentheses) from `from` on, or -1.
int topLevelIndex(const QString& text, const QString& wanted, int from)
{
    int depth = 0;
    QChar quote;
    for (int i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[' || c == '(') {
            ++depth;
        } else if (c == ']' || c == ')') {
            depth = qMax(0, depth - 1);
        } else if (depth == 0 && wanted.contains(c)) {
            return i;
        }
    }
    return -1;
}

// One selector with its subject (the last compound) narrowed: the mark goes
// in front of the subject's pseudo states and sub-controls.
QString narrowSelector(const QString& selector)
{
    const QString s = selector.trimmed();
    if (s.isEmpty())
        return s;
    int subjectStart = 0;
    for (int i = topLevelIndex(s, QStringLiteral(" \t\r\n>"), 0); i >= 0;
         i = topLevelIndex(s, QStringLiteral(" \t\r\n>"), i + 1))
        subjectStart = i + 1;
    const QString subject = s.mid(subjectStart);
    if (subject.contains(markSelector()))
        return s;
    const int pseudo = topLevelIndex(subject, QStringLiteral(":"), 0);
    const int at = subjectStart + (pseudo < 0 ? subject.size() : pseudo);
    return s.left(at) + markSelector() + s.mid(at);
}

QString narrowSelectors(const QString& selectors)
{
    QStringList out;
    int from = 0;
    for (;;) {
        const int comma = topLevelIndex(selectors, QStringLiteral(","), from);
        out << narrowSelector(selectors.mid(from, comma < 0 ? -1 : comma - from));
        if (comma < 0)
            break;
        from = comma + 1;
    }
    return out.join(QStringLiteral(", "));
}

// A combo draws the entries of a menu-like list itself, in its own colours,
// and hands its palette to a plain list: the panel's combos open plain lists
// that are told the platform's colours.
QString comboLists()
{
    return QStringLiteral("QComboBox%1{ combobox-popup: 0; }\n"
                          "QComboBox%1 QAbstractItemView{ color: palette(text); background-color: palette(base);"
                          " selection-color: palette(highlighted-text);"
                          " selection-background-color: palette(highlight); }\n")
        .arg(markSelector());
}

void narrowOwnSheet(QWidget* w, const QString& sheet, const QString& extra = QString())
{
    // Qt re-reads the sheets and marks of a polished widget only; an
    // unpolished one keeps a sheet it parsed once for one of its children.
    w->ensurePolished();
    w->setStyleSheet(scoped(sheet) + extra);
}

} // namespace

QString scoped(const QString& styleSheet)
{
    const QString text = withoutComments(styleSheet);
    if (text.trimmed().isEmpty())
        return QString();
    if (topLevelIndex(text, QStringLiteral("{"), 0) < 0)
        return QStringLiteral("*%1{%2}").arg(markSelector(), text.trimmed());
    QString out;
    int pos = 0;
    for (;;) {
        const int open = topLevelIndex(text, QStringLiteral("{"), pos);
        if (open < 0)
            break;
        const int close = topLevelIndex(text, QStringLiteral("}"), open + 1);
        const QString body = text.mid(open, close < 0 ? -1 : close - open + 1);
        out += narrowSelectors(text.mid(pos, open - pos)) + body + (close < 0 ? QStringLiteral("}") : QString())
               + QLatin1Char('\n');
        if (close < 0)
            break;
        pos = close + 1;
    }
    return out;
}

void apply(QWidget* panel)
{
    apply(panel, panel->styleSheet());
}

void apply(QWidget* panel, const QString& styleSheet)
{
    QWidget* window = panel->window();
    QList<QWidget*> own{panel};
    for (QWidget* w : panel->findChildren<QWidget*>())
        if (w->window() == window)
            own << w;
    for (QWidget* w : own)
        w->setProperty(kMark, true);
    // Children first: the panel's own sheet then polishes them once more.
    for (QWidget* w : own)
        if (w != panel && !w->styleSheet().isEmpty())
            narrowOwnSheet(w, w->styleSheet());
    narrowOwnSheet(panel, styleSheet, comboLists());
}

} // namespace PanelStyle
