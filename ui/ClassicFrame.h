// The frame Windows drew round a sizeable window when these windows were laid out. The sizes the
// layouts give for the main and the detail window are outer sizes, frame and caption included;
// the client area is what is left inside that frame, whatever frame the window manager here draws.
#pragma once

#include <QSize>

namespace velmora {

inline constexpr int ClassicBorder = 4;    // the sizing border on each side
inline constexpr int ClassicCaption = 19;  // the title bar with its line below

/// The client size of a sizeable window whose outer size was `outer`.
constexpr QSize classicClientSize(QSize outer)
{
    return {outer.width() - 2 * ClassicBorder, outer.height() - 2 * ClassicBorder - ClassicCaption};
}

} // namespace velmora
