// The binary object stream of the column layout file: one root object with its properties,
// each a name and a tagged value (integers, floats, strings, identifiers, booleans, sets,
// collections of items, lists). Qt Core only, so a fuzz target can link the reader alone.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <stdexcept>
#include <vector>

namespace velmora {

/// An error of reading or writing an object stream; what() is the operator-facing text (UTF-8).
class ObjectStreamError : public std::runtime_error {
public:
    explicit ObjectStreamError(const QString& text, bool aboutProperty = false);
    QString text() const { return m_text; }
    /// Whether the text already names the property being read ("Error reading ...").
    bool aboutProperty() const { return m_aboutProperty; }

private:
    QString m_text;
    bool m_aboutProperty;
};

/// Value tags of the stream.
enum class StreamTag : quint8 {
    EndOfList = 0x00,
    ListBegin = 0x01,
    Int8 = 0x02,
    Int16 = 0x03,
    Int32 = 0x04,
    Extended = 0x05,
    String = 0x06,
    Identifier = 0x07,
    False = 0x08,
    True = 0x09,
    Set = 0x0B,
    LongString = 0x0C,
    Nil = 0x0D,
    Collection = 0x0E,
    Utf8String = 0x14,
};

struct StreamProperty;
/// The properties of one collection item, in stream order.
using StreamItem = std::vector<StreamProperty>;

struct StreamValue {
    enum class Kind { Integer, Float, String, Identifier, Boolean, Set, Nil, Collection, List };

    Kind kind = Kind::Nil;
    qint32 integer = 0;
    double number = 0;
    QString text;                     // String
    QByteArray identifier;            // Identifier
    bool boolean = false;
    QByteArrayList members;           // Set
    std::vector<StreamItem> items;    // Collection
    std::vector<StreamValue> list;    // List

    static StreamValue ofInteger(qint32 value);
    static StreamValue ofFloat(double value);
    static StreamValue ofString(const QString& value);
    static StreamValue ofIdentifier(const QByteArray& value);
    static StreamValue ofBoolean(bool value);
    static StreamValue ofSet(const QByteArrayList& members);
    static StreamValue ofCollection(std::vector<StreamItem> items);
    static StreamValue ofList(std::vector<StreamValue> values);
};

struct StreamProperty {
    QByteArray name;    // a path with full stops for a nested object's property: "Title.Caption"
    StreamValue value;
};

/// The root object of a stream: its class, its name (empty for the layout file) and properties.
struct StreamObject {
    QByteArray className;
    QByteArray objectName;
    std::vector<StreamProperty> properties;
};

/// The stream of `root`: signature, header, properties, end bytes. Integers take the shortest
/// integer tag, strings 06, 0C or (with characters outside 7 bits) 14 in UTF-8.
/// Precondition: names and identifiers are at most 255 bytes.
QByteArray writeObjectStream(const StreamObject& root);

/// Reads a whole stream, accepting every tag of the table. Throws ObjectStreamError with
/// "Stream read error" (too short), "Invalid stream format" (no signature, unknown tag, child
/// objects) or "Error reading %s%s%s: %s" around the error met inside a property's value.
StreamObject readObjectStream(const QByteArray& bytes);

/// "Error reading %s%s%s: %s": the object's name, a full stop when it has one, the property
/// path and the reason.
ObjectStreamError propertyReadError(const QByteArray& objectName, const QString& path,
                                    const QString& reason);

/// The texts of the stream's own errors.
QString streamReadErrorText();      // "Stream read error"
QString invalidStreamFormatText();  // "Invalid stream format"

/// 80-bit extended precision, little-endian, as the stream holds floats.
QByteArray toExtended(double value);
double fromExtended(const QByteArray& tenBytes);

} // namespace velmora
