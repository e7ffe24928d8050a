// The object stream codec: every tag's bytes, encodings only a reader meets, and refusals.
#include "ObjectStream.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>

using namespace velmora;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// A stream whose root has the one property "P" with the given value bytes.
QByteArray streamOfValue(const QByteArray& valueBytes)
{
    return hex("54504630") + hex("0154") + hex("00") + hex("0150") + valueBytes + hex("0000");
}

// A stream that ends with the bytes of the value of its one property "P".
QByteArray valueAtEnd(const QByteArray& valueBytes)
{
    return hex("54504630") + hex("0154") + hex("00") + hex("0150") + valueBytes;
}

StreamObject rootWith(StreamValue value)
{
    StreamObject root;
    root.className = "T";
    root.properties.push_back({"P", std::move(value)});
    return root;
}

// Values compared as text, so a failure shows what was read.
QString describe(const StreamValue& value)
{
    using Kind = StreamValue::Kind;
    switch (value.kind) {
    case Kind::Integer: return QStringLiteral("int %1").arg(value.integer);
    case Kind::Float: return QStringLiteral("float %1").arg(value.number, 0, 'g', 17);
    case Kind::String: return QStringLiteral("string '%1'").arg(value.text);
    case Kind::Identifier: return QStringLiteral("ident ") + QString::fromLatin1(value.identifier);
    case Kind::Boolean: return value.boolean ? QStringLiteral("true") : QStringLiteral("false");
    case Kind::Set: return QStringLiteral("set [") + QString::fromLatin1(value.members.join(',')) + u']';
    case Kind::Nil: return QStringLiteral("nil");
    case Kind::Collection: {
        QStringList items;
        for (const StreamItem& item : value.items) {
            QStringList properties;
            for (const StreamProperty& property : item)
                properties << QString::fromLatin1(property.name) + u'=' + describe(property.value);
            items << u'(' + properties.join(u' ') + u')';
        }
        return QStringLiteral("collection ") + items.join(u' ');
    }
    case Kind::List: {
        QStringList elements;
        for (const StreamValue& element : value.list)
            elements << describe(element);
        return QStringLiteral("list [") + elements.join(u", ") + u']';
    }
    }
    return {};
}

QString readError(const QByteArray& bytes)
{
    try {
        readObjectStream(bytes);
    } catch (const ObjectStreamError& error) {
        return error.text();
    }
    return QStringLiteral("(read)");
}

} // namespace

TEST(ObjectStream, EveryValueIsWrittenWithItsTagAndReadBack)
{
    const QString longText(256, u'a');
    const struct {
        StreamValue value;
        QByteArray bytes;
    } cases[] = {
        {StreamValue::ofInteger(0), hex("0200")},
        {StreamValue::ofInteger(-128), hex("0280")},
        {StreamValue::ofInteger(127), hex("027F")},
        {StreamValue::ofInteger(128), hex("038000")},
        {StreamValue::ofInteger(-129), hex("037FFF")},
        {StreamValue::ofInteger(32767), hex("03FF7F")},
        {StreamValue::ofInteger(-32768), hex("030080")},
        {StreamValue::ofInteger(32768), hex("0400800000")},
        {StreamValue::ofInteger(-32769), hex("04FF7FFFFF")},
        {StreamValue::ofInteger(std::numeric_limits<qint32>::min()), hex("0400000080")},
        {StreamValue::ofFloat(1.5), hex("0500000000000000C0FF3F")},
        {StreamValue::ofFloat(-2), hex("05000000000000008000C0")},
        {StreamValue::ofString(QString()), hex("0600")},
        {StreamValue::ofString(QStringLiteral("spid")), hex("060473706964")},
        {StreamValue::ofString(QString(255, u'b')), hex("06FF") + QByteArray(255, 'b')},
        {StreamValue::ofString(longText), hex("0C00010000") + longText.toLatin1()},
        {StreamValue::ofString(QStringLiteral("Имя")), hex("1406000000D098D0BCD18F")},
        {StreamValue::ofString(QStringLiteral("caf\u00e9")), hex("1405000000636166C3A9")},
        {StreamValue::ofIdentifier("taCenter"), hex("0708") + "taCenter"},
        {StreamValue::ofBoolean(false), hex("08")},
        {StreamValue::ofBoolean(true), hex("09")},
        {StreamValue::ofSet({"fsBold", "fsItalic"}), hex("0B06") + "fsBold" + hex("08") + "fsItalic" + hex("00")},
        {StreamValue::ofSet({}), hex("0B00")},
        {StreamValue(), hex("0D")},
        {StreamValue::ofCollection({}), hex("0E00")},
        {StreamValue::ofCollection({{{"A", StreamValue::ofInteger(1)}}, {}}), hex("0E01014102010001") + hex("0000")},
        {StreamValue::ofList({StreamValue::ofString(QStringLiteral("x")), StreamValue::ofString(QStringLiteral("y"))}),
         hex("01060178060179") + hex("00")},
    };
    for (const auto& c : cases) {
        const QByteArray written = writeObjectStream(rootWith(c.value));
        EXPECT_EQ(written.toHex(' ').toStdString(), streamOfValue(c.bytes).toHex(' ').toStdString())
            << describe(c.value).toStdString();
        const StreamObject read = readObjectStream(written);
        ASSERT_EQ(read.properties.size(), 1u);
        EXPECT_EQ(read.className, QByteArray("T"));
        EXPECT_EQ(read.properties[0].name, QByteArray("P"));
        EXPECT_EQ(describe(read.properties[0].value).toStdString(), describe(c.value).toStdString());
    }
}

TEST(ObjectStream, ReaderAcceptsEncodingsTheWriterNeverChooses)
{
    const struct {
        QByteArray bytes;
        QString read;
    } cases[] = {
        {hex("0405000000"), QStringLiteral("int 5")},
        {hex("03FBFF"), QStringLiteral("int -5")},
        {hex("0C03000000") + "abc", QStringLiteral("string 'abc'")},
        {hex("1403000000") + "abc", QStringLiteral("string 'abc'")},
        {hex("0602E9E8"), QStringLiteral("string '\u00e9\u00e8'")},   // 8-bit bytes taken one for one
        {hex("0E00"), QStringLiteral("collection ")},
        {hex("0100"), QStringLiteral("list []")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(describe(readObjectStream(streamOfValue(c.bytes)).properties[0].value), c.read)
            << c.bytes.toHex(' ').toStdString();
}

TEST(ObjectStream, BadStreamsAreRefusedWithTheReadersMessages)
{
    const QByteArray item = hex("0E01") + hex("05") + "Width" + hex("0223") + hex("00");
    const struct {
        QByteArray bytes;
        QString message;
    } cases[] = {
        {QByteArray(), QStringLiteral("Stream read error")},
        {"TPF", QStringLiteral("Stream read error")},
        {"TPF1" + hex("00000000"), QStringLiteral("Invalid stream format")},
        {hex("54504630") + hex("0554"), QStringLiteral("Stream read error")},
        {hex("54504630") + hex("0154") + hex("00"), QStringLiteral("Stream read error")},
        {hex("54504630") + hex("0154") + hex("0000") + hex("0154"), QStringLiteral("Invalid stream format")},
        {streamOfValue(hex("0A")), QStringLiteral("Error reading P: Invalid stream format")},
        {streamOfValue(hex("00")), QStringLiteral("Error reading P: Invalid stream format")},
        {streamOfValue(hex("0E02")), QStringLiteral("Error reading P: Invalid stream format")},
        {valueAtEnd(hex("03FF")), QStringLiteral("Error reading P: Stream read error")},
        {streamOfValue(hex("0CFFFFFFFF")), QStringLiteral("Error reading P: Stream read error")},
        {streamOfValue(hex("0C00000001")), QStringLiteral("Error reading P: Stream read error")},
        {streamOfValue(hex("1402000000C328")), QStringLiteral("Error reading P: Invalid stream format")},
        {valueAtEnd(hex("0B0161")), QStringLiteral("Error reading P: Stream read error")},
        {valueAtEnd(item.left(item.size() - 2)), QStringLiteral("Error reading P[0].Width: Stream read error")},
        {streamOfValue(hex("0E0101") + "X" + hex("0E01") + hex("01") + "Y" + hex("0A")),
         QStringLiteral("Error reading P[0].X[0].Y: Invalid stream format")},
        {streamOfValue(QByteArray(100000, '\x01')), QStringLiteral("Error reading P: Invalid stream format")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readError(c.bytes).toStdString(), c.message.toStdString()) << c.bytes.left(40).toHex(' ').toStdString();
}

TEST(ObjectStream, ExtendedPrecisionKeepsEveryDouble)
{
    const double values[] = {0.0, -0.0, 1.0, -2.5, 0.1, 1e308, -1e-308, 5e-324,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::infinity()};
    for (double value : values) {
        const double back = fromExtended(toExtended(value));
        EXPECT_EQ(back, value) << value;
        EXPECT_EQ(std::signbit(back), std::signbit(value)) << value;
    }
    EXPECT_TRUE(std::isnan(fromExtended(toExtended(std::numeric_limits<double>::quiet_NaN()))));
    // 0.1 as an extended number holds more bits than the double; it reads as the nearest.
    EXPECT_EQ(fromExtended(hex("CDCCCCCCCCCCCCCCFB3F")), 0.1);
    EXPECT_EQ(toExtended(0.1).toHex(), QByteArray("00d0cccccccccccc" "fb3f"));
}
