#include "VersionText.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QtEndian>

namespace velmora {

namespace {

const QByteArray VersionSectionName = QByteArrayLiteral(".velmora_version");

// The file is outside input: every offset and size is checked against what was read before
// it is used.
class ElfReader {
public:
    explicit ElfReader(QFile& file) : m_file(file) {}

    std::optional<QByteArray> section(const QByteArray& wantedName)
    {
        const QByteArray ident = readAt(0, 16);
        if (ident.size() != 16 || !ident.startsWith("\x7F" "ELF"))
            return std::nullopt;
        m_is64 = ident[4] == 2;
        m_littleEndian = ident[5] == 1;
        if ((ident[4] != 1 && ident[4] != 2) || (ident[5] != 1 && ident[5] != 2))
            return std::nullopt;

        const QByteArray header = readAt(0, m_is64 ? 64 : 52);
        if (header.size() != (m_is64 ? 64 : 52))
            return std::nullopt;
        const quint64 tableOffset = m_is64 ? word(header, 40, 8) : word(header, 32, 4);
        const int entrySize = int(word(header, m_is64 ? 58 : 46, 2));
        const int count = int(word(header, m_is64 ? 60 : 48, 2));
        const int namesIndex = int(word(header, m_is64 ? 62 : 50, 2));
        if (entrySize < (m_is64 ? 64 : 40) || count == 0 || namesIndex >= count)
            return std::nullopt;

        const QByteArray table = readAt(tableOffset, qint64(entrySize) * count);
        if (table.size() != qint64(entrySize) * count)
            return std::nullopt;
        const auto names = contents(table, namesIndex * entrySize);
        if (!names)
            return std::nullopt;

        for (int i = 0; i < count; ++i) {
            const quint64 nameOffset = word(table, i * entrySize, 4);
            if (nameOffset >= quint64(names->size()))
                continue;
            const char* name = names->constData() + nameOffset;
            if (QByteArrayView(name, qstrnlen(name, size_t(names->size()) - nameOffset)) == wantedName) {
                auto bytes = contents(table, i * entrySize);
                if (!bytes || bytes->isEmpty())
                    return std::nullopt;
                return bytes;
            }
        }
        return std::nullopt;
    }

private:
    QByteArray readAt(quint64 offset, qint64 size)
    {
        const quint64 fileSize = quint64(m_file.size());
        if (size < 0 || offset > fileSize || quint64(size) > fileSize - offset
            || !m_file.seek(qint64(offset)))
            return {};
        return m_file.read(size);
    }

    quint64 word(const QByteArray& bytes, int offset, int size) const
    {
        const auto* data = reinterpret_cast<const uchar*>(bytes.constData()) + offset;
        switch (size) {
        case 2: return m_littleEndian ? qFromLittleEndian<quint16>(data) : qFromBigEndian<quint16>(data);
        case 4: return m_littleEndian ? qFromLittleEndian<quint32>(data) : qFromBigEndian<quint32>(data);
        default: return m_littleEndian ? qFromLittleEndian<quint64>(data) : qFromBigEndian<quint64>(data);
        }
    }

    // The bytes a section header at `entry` describes.
    std::optional<QByteArray> contents(const QByteArray& table, int entry)
    {
        const quint64 offset = m_is64 ? word(table, entry + 24, 8) : word(table, entry + 16, 4);
        const quint64 size = m_is64 ? word(table, entry + 32, 8) : word(table, entry + 20, 4);
        QByteArray bytes = readAt(offset, qint64(size));
        if (bytes.size() != qint64(size))
            return std::nullopt;
        return bytes;
    }

    QFile& m_file;
    bool m_is64 = true;
    bool m_littleEndian = true;
};

// A node of the block: header (length, value length, type), UTF-16 key, value, children.
struct Node {
    int start = 0;
    int end = 0;             // start + the node's length
    QString key;
    int valueStart = 0;
    int valueSize = 0;       // in bytes
    int childrenStart = 0;
};

int aligned4(int offset) { return (offset + 3) & ~3; }

quint16 read16(const QByteArray& block, int offset)
{
    return qFromLittleEndian<quint16>(reinterpret_cast<const uchar*>(block.constData()) + offset);
}

std::optional<Node> nodeAt(const QByteArray& block, int start, int limit)
{
    if (start + 6 > limit)
        return std::nullopt;
    Node node;
    node.start = start;
    const int length = read16(block, start);
    const int valueLength = read16(block, start + 2);
    const bool text = read16(block, start + 4) == 1;
    node.end = start + length;
    if (length < 6 || node.end > limit)
        return std::nullopt;

    int offset = start + 6;
    for (;; offset += 2) {
        if (offset + 2 > node.end)
            return std::nullopt;
        const char16_t c = read16(block, offset);
        if (c == 0)
            break;
        node.key.append(QChar(c));
    }
    node.valueStart = aligned4(offset + 2);
    node.valueSize = text ? valueLength * 2 : valueLength;
    if (node.valueStart + node.valueSize > node.end)
        return std::nullopt;
    node.childrenStart = aligned4(node.valueStart + node.valueSize);
    return node;
}

// VerQueryValue-style lookup: the path's parts name child nodes from the root, case ignored.
std::optional<Node> lookUp(const QByteArray& block, const QString& path)
{
    auto node = nodeAt(block, 0, int(qMin<qsizetype>(block.size(), 0xFFFF)));
    for (const QString& part : path.split(u'\\', Qt::SkipEmptyParts)) {
        if (!node)
            return std::nullopt;
        std::optional<Node> found;
        for (int child = node->childrenStart; child < node->end && !found;) {
            const auto candidate = nodeAt(block, child, node->end);
            if (!candidate)
                return std::nullopt;
            if (candidate->key.compare(part, Qt::CaseInsensitive) == 0)
                found = candidate;
            child = aligned4(candidate->end);
        }
        node = found;
    }
    return node;
}

} // namespace

QString GetVersionInfoValue(const QByteArray& block, const QString& valueName)
{
    const auto translation = lookUp(block, QStringLiteral("\\VarFileInfo\\Translation"));
    if (!translation || translation->valueSize < 4)
        return {};
    const quint16 language = read16(block, translation->valueStart);
    const quint16 codePage = read16(block, translation->valueStart + 2);
    const QString path = QStringLiteral("\\StringFileInfo\\%1%2\\%3")
                             .arg(language, 4, 16, QLatin1Char('0'))
                             .arg(codePage, 4, 16, QLatin1Char('0'))
                             .arg(valueName);
    const auto value = lookUp(block, path);
    if (!value)
        return {};
    QString text;
    for (int offset = value->valueStart; offset + 2 <= value->valueStart + value->valueSize; offset += 2) {
        const char16_t c = read16(block, offset);
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}

std::optional<QByteArray> readVersionSection(const QString& filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return ElfReader(file).section(VersionSectionName);
}

QString GetFileVersionText(const QString& filePath)
{
    const auto block = readVersionSection(filePath);
    return block ? GetVersionInfoValue(*block, QStringLiteral("FileVersion")) : QStringLiteral("ERROR");
}

QString ownExecutablePath()
{
    return QCoreApplication::applicationFilePath();
}

} // namespace velmora
