// The "Tahoma" fonts the windows are laid out in, drawn as Windows draws Tahoma at these sizes:
// without smoothing, bold with wider strokes than regular at every size.
#pragma once

#include <QFont>

namespace velmora {

/// "Tahoma" at `points`, bold or regular, unsmoothed. Child widgets that set a "Tahoma" of their
/// own without a style strategy inherit the unsmoothed drawing from a parent with this font.
/// Precondition: the QGuiApplication exists (a bold font is tried out by drawing it).
QFont tahomaFont(int points, bool bold = false);

} // namespace velmora
