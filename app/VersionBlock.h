// The program's version block: a small tree of keyed nodes in the layout of a Windows
// version-information resource (16-bit lengths, UTF-16 keys, 32-bit alignment). The build
// embeds one in the executable at compile time; the version text reads it back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace velmora {

/// One named string of the block's string table, ASCII.
struct VersionString {
    std::string_view name;
    std::string_view value;
};

namespace versionblock {

// Node type word: 0 for a binary value, 1 for text.
inline constexpr std::uint16_t BinaryNode = 0;
inline constexpr std::uint16_t TextNode = 1;

constexpr void put16(std::vector<unsigned char>& bytes, std::uint16_t value)
{
    bytes.push_back(static_cast<unsigned char>(value & 0xFF));
    bytes.push_back(static_cast<unsigned char>(value >> 8));
}

constexpr void align4(std::vector<unsigned char>& bytes)
{
    while (bytes.size() % 4 != 0)
        bytes.push_back(0);
}

constexpr void putText(std::vector<unsigned char>& bytes, std::string_view text)
{
    for (const char c : text)
        put16(bytes, static_cast<unsigned char>(c));
    put16(bytes, 0);
}

// Writes a node's header, key and padding; the caller writes its value and children, then
// calls endNode with the returned offset.
constexpr std::size_t beginNode(std::vector<unsigned char>& bytes, std::string_view key,
                                std::uint16_t valueLength, std::uint16_t type)
{
    align4(bytes);
    const std::size_t start = bytes.size();
    put16(bytes, 0);
    put16(bytes, valueLength);
    put16(bytes, type);
    putText(bytes, key);
    align4(bytes);
    return start;
}

constexpr void endNode(std::vector<unsigned char>& bytes, std::size_t start)
{
    const std::size_t length = bytes.size() - start;
    bytes[start] = static_cast<unsigned char>(length & 0xFF);
    bytes[start + 1] = static_cast<unsigned char>(length >> 8);
}

constexpr std::array<char, 8> translationKey(std::uint16_t language, std::uint16_t codePage)
{
    constexpr std::string_view digits = "0123456789abcdef";
    std::array<char, 8> key{};
    const std::uint32_t both = (std::uint32_t(language) << 16) | codePage;
    for (int i = 0; i < 8; ++i)
        key[std::size_t(i)] = digits[(both >> (28 - 4 * i)) & 0xF];
    return key;
}

} // namespace versionblock

/// Builds a block with one string table for the translation (language, codePage) holding
/// `strings`, and a translation array naming that pair unless `withTranslation` is false.
constexpr std::vector<unsigned char> buildVersionBlock(std::uint16_t language, std::uint16_t codePage,
                                                       std::initializer_list<VersionString> strings,
                                                       bool withTranslation = true)
{
    using namespace versionblock;
    std::vector<unsigned char> bytes;
    const std::size_t root = beginNode(bytes, "VS_VERSION_INFO", 0, BinaryNode);

    const std::size_t stringInfo = beginNode(bytes, "StringFileInfo", 0, TextNode);
    const auto key = translationKey(language, codePage);
    const std::size_t table = beginNode(bytes, std::string_view(key.data(), key.size()), 0, TextNode);
    for (const VersionString& string : strings) {
        const std::size_t node = beginNode(bytes, string.name,
                                           static_cast<std::uint16_t>(string.value.size() + 1), TextNode);
        putText(bytes, string.value);
        endNode(bytes, node);
    }
    endNode(bytes, table);
    endNode(bytes, stringInfo);

    if (withTranslation) {
        const std::size_t varInfo = beginNode(bytes, "VarFileInfo", 0, TextNode);
        const std::size_t translation = beginNode(bytes, "Translation", 4, BinaryNode);
        put16(bytes, language);
        put16(bytes, codePage);
        endNode(bytes, translation);
        endNode(bytes, varInfo);
    }
    endNode(bytes, root);
    return bytes;
}

/// The program's own block: Russian (0x0419), code page 1251 (0x04E3), and its FileVersion.
constexpr std::vector<unsigned char> programVersionBlock(std::string_view fileVersion)
{
    return buildVersionBlock(0x0419, 0x04E3, {{"FileVersion", fileVersion}});
}

/// Copies a block built at compile time into an array that can live in a section.
template <std::size_t N>
constexpr std::array<unsigned char, N> toByteArray(const std::vector<unsigned char>& bytes)
{
    std::array<unsigned char, N> result{};
    for (std::size_t i = 0; i < N; ++i)
        result[i] = bytes[i];
    return result;
}

} // namespace velmora
