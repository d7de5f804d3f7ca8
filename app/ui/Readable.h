#pragma once

#include "DisplayState.h"

#include <QColor>
#include <QPalette>
#include <QString>

namespace Tidemark {

// WCAG 2 contrast ratio of two opaque colours, 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);

// `color`, moved toward black or white (whichever `background` contrasts with more) just far enough to
// reach `ratio` against it; unchanged when it already does.
QColor readableOn(const QColor& color, const QColor& background, double ratio = 4.5);

// The palette with its link colours and the secondary text colour (PlaceholderText, the grey lines)
// made readable against the window's background, in light and dark palettes alike.
QPalette readablePalette(QPalette palette);

// The colours of the status dot, and the status in words for those who cannot tell them apart.
QColor statusDotColor(StatusColor color);

}  // namespace Tidemark
