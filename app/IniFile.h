// The settings file: a small INI file beside the executable, read and written with the
// semantics of the Windows private-profile functions (sections and keys compared without case,
// at most 255 characters read, empty text for anything missing, failures silent). Lines are in
// UTF-8 or, as the original platform wrote them, in code page 1251.
#pragma once

#include <QString>

namespace velmora {

/// The value of `key` in `section` of the file `fileName` in the executable's directory;
/// empty text when the file, section or key is missing or anything fails.
QString ReadIniValue(const QString& fileName, const QString& section, const QString& key);

/// Stores `value` under `key` in `section` of the file `fileName` in the executable's
/// directory, creating file, section and key as needed; failures are not reported.
void WriteIniValue(const QString& fileName, const QString& section, const QString& key,
                   const QString& value);

/// The two operations on a file named by its full path.
QString readProfileString(const QString& filePath, const QString& section, const QString& key);
void writeProfileString(const QString& filePath, const QString& section, const QString& key,
                        const QString& value);

/// The longest value a read returns, in characters.
inline constexpr int MaxProfileValueLength = 255;

} // namespace velmora
