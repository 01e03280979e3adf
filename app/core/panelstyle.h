#pragma once

#include <QString>

class QWidget;

// Qt hands a widget's style sheet down to every child object, and the file
// choosers, message boxes and pop-up lists (combo lists, context menus) a
// panel opens are its children too: the panel's white text would stand on
// their light background. A panel's style is therefore narrowed to the
// widgets that carry the panel mark, which only the widgets of the panel's
// own window get when the style is applied.
namespace PanelStyle {

// The dynamic property that marks a panel's own widgets.
extern const char* const kMark;

// The style sheet with the subject of every selector narrowed to marked
// widgets; a sheet of bare declarations (a single widget's) becomes one rule.
// Narrowing a narrowed sheet changes nothing.
QString scoped(const QString& styleSheet);

// Marks the panel and the widgets of its window below it, then narrows the
// panel's style sheet (replaced by `styleSheet` when one is given) and the
// style sheets of those widgets. Widgets added to the panel later take no
// panel style until it is applied again.
void apply(QWidget* panel);
void apply(QWidget* panel, const QString& styleSheet);

} // namespace PanelStyle
