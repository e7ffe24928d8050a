// The trimmed-text rule of the whole program: blank checks and the texts that errors quote use
// it, while stored and sent values keep the text as typed.
#pragma once

#include <QString>

namespace velmora {

/// The text without blanks and control characters at either end.
QString trimmedText(const QString& text);

} // namespace velmora
