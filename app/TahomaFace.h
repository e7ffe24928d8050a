// The "Tahoma" face the windows are laid out in. A system without a Tahoma of its own gets the
// one Debian's fonts-wine package installs, for this program only: the files are added to the
// application's font database, not to the system's font configuration.
#pragma once

#include <QStringList>

namespace velmora {

/// Where fonts-wine installs Tahoma regular and bold.
QStringList wineTahomaFiles();

/// Adds `files` to the application's fonts when no font family "Tahoma" is known yet; files
/// that are missing or unreadable are passed over. Returns whether "Tahoma" is known after.
/// Precondition: the QGuiApplication exists.
bool provideTahoma(const QStringList& files = wineTahomaFiles());

} // namespace velmora
