// The program's version text: the FileVersion string of the version block built into an
// executable, read back from the executable file itself.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace velmora {

/// The version text of the executable `filePath`: its block's FileVersion string; "ERROR" when
/// the file has no version block (or cannot be read); empty text when the block has no
/// FileVersion for its first translation. Reads the file on every call.
QString GetFileVersionText(const QString& filePath);

/// The string `valueName` of the block's first translation; empty text when the block has no
/// translation array, no such string, or is malformed.
QString GetVersionInfoValue(const QByteArray& block, const QString& valueName);

/// The bytes of the ELF section ".velmora_version" of `filePath`; none when the file is not a
/// readable ELF file or has no such section, or the section is empty.
std::optional<QByteArray> readVersionSection(const QString& filePath);

/// The program's own executable file.
QString ownExecutablePath();

} // namespace velmora
