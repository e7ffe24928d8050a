// The encodings of a settings-file line: UTF-8, and the ANSI code page of the Cyrillic Windows
// (1251) in which the original platform wrote the file.
#pragma once

#include <QByteArray>
#include <QString>

namespace velmora {

enum class IniEncoding { Utf8, Windows1251 };

/// The encoding a line is in: UTF-8 when its bytes are valid UTF-8, else code page 1251.
IniEncoding lineEncoding(QByteArrayView line);

/// The line's text in its own encoding. Every byte string decodes, and encodes back to itself.
QString decodeLine(QByteArrayView line);

/// `text` in `encoding`; UTF-8 when code page 1251 has no byte for one of its characters.
QByteArray encodeLine(const QString& text, IniEncoding encoding);

} // namespace velmora
