// The "Tahoma" fonts the windows are laid out in, drawn as Windows draws Tahoma at these sizes:
// without smoothing, from the face's own hand-made bitmaps where it has them.
#pragma once

#include <QFont>

namespace velmora {

/// "Tahoma" at `points`, bold or regular, unsmoothed. Child widgets that set a "Tahoma" of their
/// own without a style strategy inherit the unsmoothed drawing from a parent with this font.
QFont tahomaFont(int points, bool bold = false);

} // namespace velmora
