#pragma once

#include <QString>

// Before a local print: extend the desktop onto the projector, show the
// user the (already translated) notice, then tell whether a second screen
// is there for the projector window.
bool extendDesktopOntoProjector(const QString& boxStyle, const QString& notice);
