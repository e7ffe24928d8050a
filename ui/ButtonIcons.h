// The pictures of the image buttons, drawn at run time. QIcon derives the disabled look from
// each.
#pragma once

#include <QIcon>

namespace velmora {

enum class ButtonPicture { Connect, Disconnect, Exit, About, Refresh };

QIcon buttonIcon(ButtonPicture picture);

} // namespace velmora
