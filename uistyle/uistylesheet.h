#pragma once

#include "uistylepalette.h"

#include <QString>

class QIODevice;

// Builds the application's style sheet and sets it on the application object:
// the common sheet (":/uistyle/CommonStylesheet.css", or the one below the
// folder named by "UISTYLEDIR") followed by the application sheet read from
// `applicationSheet` (closed on entry; skipped when it cannot be opened),
// sizes scaled by `scale`, only the colour block of `mode` kept and every
// colour variable replaced by its first definition. Switches the palette to
// the mode first. With "UISTYLE_DEBUG_STYLESHEET" set, the result is also
// written to "stylesheet_debug.css" in the current folder, where nothing or a
// regular file is (never through a symbolic link; anything else is left
// alone). A sheet file is read only when it is a regular file (or a resource)
// of at most 1 MiB. When the common sheet cannot be read, only the palette
// changes.
void applyStyleSheet(QIODevice *applicationSheet, UiStyleMode mode, int scale);

// Multiplies by `factor` every whole number that follows a white-space
// character and is written with `unit` ("px" or "pt") directly after it.
// Every value is scaled once; the white-space character becomes a space.
void scaleStyleSheetUnits(QString &sheet, const QString &unit, int factor);
