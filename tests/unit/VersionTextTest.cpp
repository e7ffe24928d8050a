// The version text read back from an executable file's version block.
#include "VersionBlock.h"
#include "VersionText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

QByteArray toBytes(const std::vector<unsigned char>& block)
{
    return QByteArray(reinterpret_cast<const char*>(block.data()), qsizetype(block.size()));
}

template <typename T>
void put(QByteArray& bytes, qsizetype offset, T value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

// A minimal 64-bit little-endian ELF file whose only sections are `sectionName` holding
// `contents` and the section-name table.
QByteArray elfFile(const QByteArray& sectionName, const QByteArray& contents)
{
    const QByteArray names = QByteArray(1, '\0') + sectionName + '\0' + ".shstrtab" + '\0';
    const qsizetype dataOffset = 64;
    const qsizetype namesOffset = dataOffset + contents.size();
    const qsizetype tableOffset = (namesOffset + names.size() + 7) & ~7;
    QByteArray file(tableOffset + 3 * 64, '\0');
    file.replace(0, 7, QByteArray("\x7F" "ELF" "\x02\x01\x01", 7));
    put<quint16>(file, 16, 2);       // executable
    put<quint16>(file, 18, 62);      // x86-64
    put<quint32>(file, 20, 1);
    put<quint64>(file, 40, quint64(tableOffset));
    put<quint16>(file, 52, 64);
    put<quint16>(file, 58, 64);
    put<quint16>(file, 60, 3);
    put<quint16>(file, 62, 2);
    file.replace(dataOffset, contents.size(), contents);
    file.replace(namesOffset, names.size(), names);

    auto header = [&](int index, quint32 name, quint32 type, qsizetype offset, qsizetype size) {
        const qsizetype at = tableOffset + index * 64;
        put<quint32>(file, at, name);
        put<quint32>(file, at + 4, type);
        put<quint64>(file, at + 24, quint64(offset));
        put<quint64>(file, at + 32, quint64(size));
    };
    header(1, 1, 1, dataOffset, contents.size());
    header(2, quint32(1 + sectionName.size() + 1), 3, namesOffset, names.size());
    return file;
}

class VersionTextFiles : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST(VersionText, TheBuiltExecutableCarriesTheProjectVersion)
{
    const QString velmora = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../app/Velmora"));
    ASSERT_TRUE(QFile::exists(velmora)) << "build the Velmora target first";
    EXPECT_EQ(GetFileVersionText(velmora), QStringLiteral("2.4.0.27"));
}

TEST(VersionText, FilesWithoutAVersionBlockGiveError)
{
    for (const QString& path : {QCoreApplication::applicationFilePath(), QStringLiteral("/bin/true"),
                                QStringLiteral("/nonexistent/Velmora"), QStringLiteral("/etc/hostname")})
        EXPECT_EQ(GetFileVersionText(path), QStringLiteral("ERROR")) << path.toStdString();
}

TEST_F(VersionTextFiles, BlockWithOrWithoutFileVersion)
{
    const struct {
        const char* name;
        QByteArray block;
        QString expected;
    } cases[] = {
        {"with", toBytes(buildVersionBlock(0x0409, 0x04B0, {{"ProductName", "V"}, {"fileversion", "9.8.7.6"}})),
         QStringLiteral("9.8.7.6")},
        {"without", toBytes(buildVersionBlock(0x0419, 0x04E3, {{"ProductName", "Velmora"}})), QString()},
        {"no-translation", toBytes(buildVersionBlock(0x0419, 0x04E3, {{"FileVersion", "1.0"}}, false)), QString()},
        {"empty-section", QByteArray(), QStringLiteral("ERROR")},
    };
    for (const auto& c : cases) {
        const QString path = write(QString::fromLatin1(c.name), elfFile(".velmora_version", c.block));
        EXPECT_EQ(GetFileVersionText(path), c.expected) << c.name;
    }
    const QString otherSection = write(QStringLiteral("other"),
        elfFile(".other_version", toBytes(programVersionBlock("2.4.0.27"))));
    EXPECT_EQ(GetFileVersionText(otherSection), QStringLiteral("ERROR"));
}

TEST_F(VersionTextFiles, ReadAnewAtEveryCall)
{
    const QString path = write(QStringLiteral("changing"), elfFile(".velmora_version", toBytes(programVersionBlock("1.1"))));
    EXPECT_EQ(GetFileVersionText(path), QStringLiteral("1.1"));
    write(QStringLiteral("changing"), elfFile(".velmora_version", toBytes(programVersionBlock("1.2"))));
    EXPECT_EQ(GetFileVersionText(path), QStringLiteral("1.2"));
}

TEST_F(VersionTextFiles, DamagedFilesGiveErrorWithoutReadingOutOfBounds)
{
    const QByteArray good = elfFile(".velmora_version", toBytes(programVersionBlock("2.4.0.27")));
    ASSERT_EQ(GetFileVersionText(write(QStringLiteral("good"), good)), QStringLiteral("2.4.0.27"));

    // Cut anywhere, the file loses its section table or its section's bytes.
    for (qsizetype size : {qsizetype(0), qsizetype(4), qsizetype(63), qsizetype(64), good.size() / 2, good.size() - 1})
        EXPECT_EQ(GetFileVersionText(write(QStringLiteral("cut"), good.left(size))), QStringLiteral("ERROR")) << size;

    QByteArray hugeTable = good;
    put<quint64>(hugeTable, 40, ~quint64(0) - 10);
    EXPECT_EQ(GetFileVersionText(write(QStringLiteral("table"), hugeTable)), QStringLiteral("ERROR"));

    QByteArray hugeSection = good;
    const qsizetype tableOffset = qsizetype(qFromLittleEndian<quint64>(good.constData() + 40));
    put<quint64>(hugeSection, tableOffset + 64 + 32, ~quint64(0));
    EXPECT_EQ(GetFileVersionText(write(QStringLiteral("section"), hugeSection)), QStringLiteral("ERROR"));
}

TEST(VersionInfoValue, EveryTruncationOrLengthDamageReadsSafely)
{
    const QByteArray block = toBytes(programVersionBlock("2.4.0.27"));
    for (qsizetype size = 0; size < block.size(); ++size) {
        const QString value = GetVersionInfoValue(block.left(size), QStringLiteral("FileVersion"));
        EXPECT_TRUE(value.isEmpty() || value == QStringLiteral("2.4.0.27")) << size;
    }
    for (qsizetype at = 0; at + 1 < block.size(); at += 2) {
        QByteArray damaged = block;
        put<quint16>(damaged, at, 0xFFFF);
        const QString value = GetVersionInfoValue(damaged, QStringLiteral("FileVersion"));
        EXPECT_LE(value.size(), 9) << at;   // never more than the value's slot holds
    }
}
