#include "TahomaFont.h"

namespace velmora {

QFont tahomaFont(int points, bool bold)
{
    QFont font(QStringLiteral("Tahoma"), points);
    font.setBold(bold);
    // Smoothed text is drawn from the outlines, and the Tahoma Bold of fonts-wine has regular
    // strokes there: its bold exists only in the bitmaps made for 9 to 16 pixels, which the font
    // engine reads for unsmoothed text alone. Unsmoothed is also how Windows draws Tahoma at
    // these sizes.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

} // namespace velmora
