// Little helpers for writing and reading TDS's little-endian integers and UCS-2 text.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstring>

namespace sqlsim::tds {

inline void putU8(QByteArray& out, std::uint8_t value) { out.append(char(value)); }

inline void putU16(QByteArray& out, std::uint16_t value)
{
    const char bytes[2] = {char(value & 0xFF), char(value >> 8)};
    out.append(bytes, 2);
}

inline void putU32(QByteArray& out, std::uint32_t value)
{
    const char bytes[4] = {char(value & 0xFF), char((value >> 8) & 0xFF),
                           char((value >> 16) & 0xFF), char(value >> 24)};
    out.append(bytes, 4);
}

inline void putU64(QByteArray& out, std::uint64_t value)
{
    putU32(out, std::uint32_t(value));
    putU32(out, std::uint32_t(value >> 32));
}

/// Text as UCS-2 little-endian, without a length.
inline void putUcs2(QByteArray& out, const QString& text)
{
    const qsizetype start = out.size();
    out.resize(start + text.size() * 2);
    char* p = out.data() + start;
    for (const QChar c : text) {
        *p++ = char(c.unicode() & 0xFF);
        *p++ = char(c.unicode() >> 8);
    }
}

/// B_VARCHAR: one byte of character count, then UCS-2. Texts longer than 255 are cut.
inline void putBVarChar(QByteArray& out, const QString& text)
{
    const QString cut = text.left(255);
    putU8(out, std::uint8_t(cut.size()));
    putUcs2(out, cut);
}

/// US_VARCHAR: two bytes of character count, then UCS-2.
inline void putUsVarChar(QByteArray& out, const QString& text)
{
    const QString cut = text.left(0xFFFF);
    putU16(out, std::uint16_t(cut.size()));
    putUcs2(out, cut);
}

inline std::uint16_t getU16(const char* p)
{
    return std::uint16_t(std::uint8_t(p[0]) | (std::uint8_t(p[1]) << 8));
}

inline std::uint32_t getU32(const char* p)
{
    return std::uint32_t(getU16(p)) | (std::uint32_t(getU16(p + 2)) << 16);
}

/// `chars` UCS-2 characters at `p`.
inline QString getUcs2(const char* p, int chars)
{
    QString text(chars, Qt::Uninitialized);
    for (int i = 0; i < chars; ++i)
        text[i] = QChar(getU16(p + 2 * i));
    return text;
}

} // namespace sqlsim::tds
