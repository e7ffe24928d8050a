#include "ObjectStream.h"

#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace velmora {

namespace {

const QByteArray Signature = QByteArrayLiteral("TPF0");

// Lists and collections nest through recursion; a hostile file must not exhaust the stack.
constexpr int MaxNesting = 64;

bool isSevenBit(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

class Writer {
public:
    QByteArray bytes;

    void tag(StreamTag value) { bytes.append(char(value)); }
    void int32(qint32 value)
    {
        char raw[4];
        qToLittleEndian(value, raw);
        bytes.append(raw, 4);
    }
    void shortString(const QByteArray& text)
    {
        Q_ASSERT(text.size() <= 255);
        bytes.append(char(quint8(text.size())));
        bytes.append(text);
    }

    void value(const StreamValue& v)
    {
        using Kind = StreamValue::Kind;
        switch (v.kind) {
        case Kind::Integer:
            integer(v.integer);
            break;
        case Kind::Float:
            tag(StreamTag::Extended);
            bytes.append(toExtended(v.number));
            break;
        case Kind::String:
            string(v.text);
            break;
        case Kind::Identifier:
            tag(StreamTag::Identifier);
            shortString(v.identifier);
            break;
        case Kind::Boolean:
            tag(v.boolean ? StreamTag::True : StreamTag::False);
            break;
        case Kind::Set:
            tag(StreamTag::Set);
            for (const QByteArray& member : v.members)
                shortString(member);
            shortString({});
            break;
        case Kind::Nil:
            tag(StreamTag::Nil);
            break;
        case Kind::Collection:
            tag(StreamTag::Collection);
            for (const StreamItem& item : v.items) {
                tag(StreamTag::ListBegin);
                properties(item);
            }
            tag(StreamTag::EndOfList);
            break;
        case Kind::List:
            tag(StreamTag::ListBegin);
            for (const StreamValue& element : v.list)
                value(element);
            tag(StreamTag::EndOfList);
            break;
        }
    }

    void properties(const std::vector<StreamProperty>& list)
    {
        for (const StreamProperty& property : list) {
            shortString(property.name);
            value(property.value);
        }
        tag(StreamTag::EndOfList);
    }

private:
    void integer(qint32 value)
    {
        if (value >= -128 && value <= 127) {
            tag(StreamTag::Int8);
            bytes.append(char(qint8(value)));
        } else if (value >= -32768 && value <= 32767) {
            tag(StreamTag::Int16);
            char raw[2];
            qToLittleEndian(qint16(value), raw);
            bytes.append(raw, 2);
        } else {
            tag(StreamTag::Int32);
            int32(value);
        }
    }

    void string(const QString& text)
    {
        if (!isSevenBit(text)) {
            const QByteArray utf8 = text.toUtf8();
            tag(StreamTag::Utf8String);
            int32(qint32(utf8.size()));
            bytes.append(utf8);
        } else if (text.size() <= 255) {
            tag(StreamTag::String);
            shortString(text.toLatin1());
        } else {
            tag(StreamTag::LongString);
            int32(qint32(text.size()));
            bytes.append(text.toLatin1());
        }
    }
};

class Reader {
public:
    explicit Reader(const QByteArray& bytes) : m_bytes(bytes) {}

    StreamObject root()
    {
        if (take(Signature.size()) != Signature)
            throw ObjectStreamError(invalidStreamFormatText());
        StreamObject object;
        object.className = shortString();
        object.objectName = shortString();
        m_objectName = object.objectName;
        while (peek() != quint8(StreamTag::EndOfList))
            object.properties.push_back(property(QString(), 0));
        take(1);
        // The layout's root owns no child objects.
        if (byte() != quint8(StreamTag::EndOfList))
            throw ObjectStreamError(invalidStreamFormatText());
        return object;
    }

private:
    quint8 peek() const
    {
        if (m_pos >= m_bytes.size())
            throw ObjectStreamError(streamReadErrorText());
        return quint8(m_bytes[m_pos]);
    }
    quint8 byte()
    {
        const quint8 value = peek();
        ++m_pos;
        return value;
    }
    QByteArray take(qsizetype count)
    {
        if (count < 0 || count > m_bytes.size() - m_pos)
            throw ObjectStreamError(streamReadErrorText());
        const QByteArray part = m_bytes.mid(m_pos, count);
        m_pos += count;
        return part;
    }
    qint32 int32() { return qFromLittleEndian<qint32>(take(4).constData()); }
    QByteArray shortString() { return take(byte()); }

    // Errors met in the value name the property's whole path ("Columns[2].Width").
    StreamProperty property(const QString& owner, int depth)
    {
        StreamProperty property;
        property.name = shortString();
        const QString path = owner.isEmpty() ? QString::fromLatin1(property.name)
                                             : owner + u'.' + QString::fromLatin1(property.name);
        try {
            property.value = value(path, depth);
        } catch (const ObjectStreamError& error) {
            if (error.aboutProperty())
                throw;
            throw propertyReadError(m_objectName, path, error.text());
        }
        return property;
    }

    StreamValue value(const QString& path, int depth)
    {
        if (depth > MaxNesting)
            throw ObjectStreamError(invalidStreamFormatText());
        const quint8 tag = byte();
        switch (StreamTag(tag)) {
        case StreamTag::Int8:
            return StreamValue::ofInteger(qint8(byte()));
        case StreamTag::Int16:
            return StreamValue::ofInteger(qFromLittleEndian<qint16>(take(2).constData()));
        case StreamTag::Int32:
            return StreamValue::ofInteger(int32());
        case StreamTag::Extended:
            return StreamValue::ofFloat(fromExtended(take(10)));
        case StreamTag::String:
            return StreamValue::ofString(QString::fromLatin1(shortString()));
        case StreamTag::LongString:
            return StreamValue::ofString(QString::fromLatin1(take(int32())));
        case StreamTag::Utf8String:
            return StreamValue::ofString(utf8(take(int32())));
        case StreamTag::Identifier:
            return StreamValue::ofIdentifier(shortString());
        case StreamTag::False:
        case StreamTag::True:
            return StreamValue::ofBoolean(StreamTag(tag) == StreamTag::True);
        case StreamTag::Set: {
            QByteArrayList members;
            for (QByteArray member = shortString(); !member.isEmpty(); member = shortString())
                members.append(member);
            return StreamValue::ofSet(members);
        }
        case StreamTag::Nil:
            return StreamValue();
        case StreamTag::Collection: {
            std::vector<StreamItem> items;
            for (quint8 next = byte(); next != quint8(StreamTag::EndOfList); next = byte()) {
                if (next != quint8(StreamTag::ListBegin))
                    throw ObjectStreamError(invalidStreamFormatText());
                items.push_back(item(path + u'[' + QString::number(items.size()) + u']', depth + 1));
            }
            return StreamValue::ofCollection(std::move(items));
        }
        case StreamTag::ListBegin: {
            std::vector<StreamValue> values;
            while (peek() != quint8(StreamTag::EndOfList))
                values.push_back(value(path, depth + 1));
            take(1);
            return StreamValue::ofList(std::move(values));
        }
        case StreamTag::EndOfList:
            break;
        }
        throw ObjectStreamError(invalidStreamFormatText());
    }

    StreamItem item(const QString& path, int depth)
    {
        if (depth > MaxNesting)
            throw ObjectStreamError(invalidStreamFormatText());
        StreamItem properties;
        while (peek() != quint8(StreamTag::EndOfList))
            properties.push_back(property(path, depth));
        take(1);
        return properties;
    }

    static QString utf8(const QByteArray& bytes)
    {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = decoder(bytes);
        if (decoder.hasError())
            throw ObjectStreamError(invalidStreamFormatText());
        return text;
    }

    const QByteArray& m_bytes;
    qsizetype m_pos = 0;
    QByteArray m_objectName;
};

} // namespace

ObjectStreamError::ObjectStreamError(const QString& text, bool aboutProperty)
    : std::runtime_error(text.toStdString()), m_text(text), m_aboutProperty(aboutProperty)
{
}

StreamValue StreamValue::ofInteger(qint32 value)
{
    StreamValue v;
    v.kind = Kind::Integer;
    v.integer = value;
    return v;
}

StreamValue StreamValue::ofFloat(double value)
{
    StreamValue v;
    v.kind = Kind::Float;
    v.number = value;
    return v;
}

StreamValue StreamValue::ofString(const QString& value)
{
    StreamValue v;
    v.kind = Kind::String;
    v.text = value;
    return v;
}

StreamValue StreamValue::ofIdentifier(const QByteArray& value)
{
    StreamValue v;
    v.kind = Kind::Identifier;
    v.identifier = value;
    return v;
}

StreamValue StreamValue::ofBoolean(bool value)
{
    StreamValue v;
    v.kind = Kind::Boolean;
    v.boolean = value;
    return v;
}

StreamValue StreamValue::ofSet(const QByteArrayList& members)
{
    StreamValue v;
    v.kind = Kind::Set;
    v.members = members;
    return v;
}

StreamValue StreamValue::ofCollection(std::vector<StreamItem> items)
{
    StreamValue v;
    v.kind = Kind::Collection;
    v.items = std::move(items);
    return v;
}

StreamValue StreamValue::ofList(std::vector<StreamValue> values)
{
    StreamValue v;
    v.kind = Kind::List;
    v.list = std::move(values);
    return v;
}

QByteArray writeObjectStream(const StreamObject& root)
{
    Writer writer;
    writer.bytes.append(Signature);
    writer.shortString(root.className);
    writer.shortString(root.objectName);
    writer.properties(root.properties);
    writer.tag(StreamTag::EndOfList);   // no child objects
    return writer.bytes;
}

StreamObject readObjectStream(const QByteArray& bytes)
{
    return Reader(bytes).root();
}

ObjectStreamError propertyReadError(const QByteArray& objectName, const QString& path,
                                    const QString& reason)
{
    const QString name = QString::fromLatin1(objectName);
    return ObjectStreamError(QStringLiteral("Error reading %1%2%3: %4")
                                 .arg(name, name.isEmpty() ? QString() : QStringLiteral("."), path,
                                      reason),
                             true);
}

QString streamReadErrorText()
{
    return QStringLiteral("Stream read error");
}

QString invalidStreamFormatText()
{
    return QStringLiteral("Invalid stream format");
}

QByteArray toExtended(double value)
{
    const auto bits = std::bit_cast<quint64>(value);
    const bool negative = bits >> 63;
    const int exponent = int((bits >> 52) & 0x7FF);
    const quint64 fraction = bits & ((quint64(1) << 52) - 1);
    quint64 mantissa = 0;
    int extendedExponent = 0;
    if (exponent == 0x7FF) {
        extendedExponent = 0x7FFF;
        mantissa = (quint64(1) << 63) | (fraction << 11);
    } else if (exponent != 0) {
        extendedExponent = exponent - 1023 + 16383;
        mantissa = (quint64(1) << 63) | (fraction << 11);
    } else if (fraction != 0) {
        // A subnormal double is a normal extended number.
        const int shift = std::countl_zero(fraction);
        mantissa = fraction << shift;
        extendedExponent = -1074 + 63 - shift + 16383;
    }
    char raw[10];
    qToLittleEndian(mantissa, raw);
    qToLittleEndian(quint16(extendedExponent | (negative ? 0x8000 : 0)), raw + 8);
    return QByteArray(raw, 10);
}

double fromExtended(const QByteArray& tenBytes)
{
    Q_ASSERT(tenBytes.size() == 10);
    const auto mantissa = qFromLittleEndian<quint64>(tenBytes.constData());
    const auto signAndExponent = qFromLittleEndian<quint16>(tenBytes.constData() + 8);
    const bool negative = signAndExponent & 0x8000;
    const int exponent = signAndExponent & 0x7FFF;
    double magnitude = 0;
    if (exponent == 0x7FFF) {
        magnitude = (mantissa << 1) == 0 ? std::numeric_limits<double>::infinity()
                                         : std::numeric_limits<double>::quiet_NaN();
    } else {
        // Exponent 0 holds the extended format's own subnormals, scaled as exponent 1.
        const int unbiased = (exponent == 0 ? 1 : exponent) - 16383 - 63;
        magnitude = std::ldexp(double(mantissa), unbiased);
    }
    return negative ? -magnitude : magnitude;
}

} // namespace velmora
