#include "IniFileEncoding.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace velmora {

namespace {

// The characters of bytes 0x80 to 0xBF; 0xC0 to 0xFF are А to я in order. Byte 0x98 has no
// character in the code page and is kept as U+0098, so that it too reads and writes back as
// itself.
constexpr std::array<char16_t, 64> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

constexpr char16_t kCapitalA = 0x0410;

char16_t fromWindows1251(unsigned char byte)
{
    if (byte < 0x80)
        return byte;
    if (byte < 0xC0)
        return kUpperHalf[byte - 0x80];
    return char16_t(kCapitalA + (byte - 0xC0));
}

// The byte for `c`, or -1 when the code page has none.
int toWindows1251(char16_t c)
{
    if (c < 0x80)
        return c;
    if (c >= kCapitalA && c < kCapitalA + 64)
        return 0xC0 + (c - kCapitalA);
    const auto found = std::find(kUpperHalf.begin(), kUpperHalf.end(), c);
    return found == kUpperHalf.end() ? -1 : 0x80 + int(found - kUpperHalf.begin());
}

} // namespace

IniEncoding lineEncoding(QByteArrayView line)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(line);   // decoding is what finds the errors
    return utf8.hasError() ? IniEncoding::Windows1251 : IniEncoding::Utf8;
}

QString decodeLine(QByteArrayView line)
{
    if (lineEncoding(line) == IniEncoding::Utf8)
        return QString::fromUtf8(line);
    QString text(line.size(), Qt::Uninitialized);
    std::transform(line.begin(), line.end(), text.begin(),
                   [](char byte) { return QChar(fromWindows1251(static_cast<unsigned char>(byte))); });
    return text;
}

QByteArray encodeLine(const QString& text, IniEncoding encoding)
{
    if (encoding == IniEncoding::Utf8)
        return text.toUtf8();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int byte = toWindows1251(text[i].unicode());
        if (byte < 0)
            return text.toUtf8();
        bytes[i] = char(byte);
    }
    return bytes;
}

} // namespace velmora
