// The general error display: how an error that no handler catches is shown to the operator.
#pragma once

#include <QString>
#include <exception>

namespace velmora {

/// The program's title from its executable's path: the file name without its directory, cut
/// at its first full stop, every letter after the first in lower case ("Velmora").
QString programTitle(const QString& executablePath);

/// The text with a full stop appended when its last character sorts after "." (letters and
/// digits do); other texts unchanged.
QString withFullStop(const QString& text);

/// The operator-facing text of an error in flight.
QString errorText(const std::exception_ptr& error);

/// Shows `text` (full-stop rule applied) in a modal box with the error icon, one OK button and
/// the program's title as caption, through the message seam.
void showErrorDisplay(const QString& text);

} // namespace velmora
