#include "ColumnLayout.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <iterator>

namespace velmora {

namespace {

const QByteArray RootClass = QByteArrayLiteral("TColumnsWrapper");
const QByteArray ColumnsProperty = QByteArrayLiteral("Columns");

using Kind = StreamValue::Kind;

// The value kinds a property accepts, as a mask of bits by Kind.
constexpr unsigned bit(Kind kind)
{
    return 1u << unsigned(kind);
}
constexpr unsigned Boolean = bit(Kind::Boolean);
constexpr unsigned Integer = bit(Kind::Integer);
constexpr unsigned Text = bit(Kind::String);
constexpr unsigned Identifier = bit(Kind::Identifier);
constexpr unsigned Colour = Identifier | Integer;
constexpr unsigned Component = Identifier | bit(Kind::Nil);
constexpr unsigned Number = bit(Kind::Float) | Integer;
constexpr unsigned AnyKind = ~0u;

struct ColumnProperty {
    const char* name;           // ending in a full stop: every sub-property of that object
    unsigned accepts;
    // Takes the value over into the column; null for properties read and then left aside.
    void (*apply)(GridColumn& column, const StreamValue& value);
};

[[noreturn]] void invalidValue()
{
    throw ObjectStreamError(invalidStreamFormatText());
}

Qt::Alignment alignmentOf(const QByteArray& identifier)
{
    if (identifier == "taLeftJustify")
        return Qt::AlignLeft;
    if (identifier == "taRightJustify")
        return Qt::AlignRight;
    if (identifier == "taCenter")
        return Qt::AlignHCenter;
    invalidValue();
}

QByteArray identifierOf(Qt::Alignment alignment)
{
    switch (alignment & Qt::AlignHorizontal_Mask) {
    case Qt::AlignRight:
        return QByteArrayLiteral("taRightJustify");
    case Qt::AlignHCenter:
        return QByteArrayLiteral("taCenter");
    default:
        return QByteArrayLiteral("taLeftJustify");
    }
}

SortMarker markerOf(const QByteArray& identifier)
{
    if (identifier == "smNoneEh")
        return SortMarker::None;
    if (identifier == "smDownEh")
        return SortMarker::Down;
    if (identifier == "smUpEh")
        return SortMarker::Up;
    invalidValue();
}

QByteArray identifierOf(SortMarker marker)
{
    return marker == SortMarker::Down ? QByteArrayLiteral("smDownEh") : QByteArrayLiteral("smUpEh");
}

// Every property a column has, in the order they are written. The process grid's columns
// model only some; the others are accepted with their kinds so that a file from a richer
// column is not refused, and are not kept.
const ColumnProperty Properties[] = {
    {"Alignment", Identifier, nullptr},
    {"AlwaysShowEditButton", Boolean, nullptr},
    {"AutoDropDown", Boolean, nullptr},
    {"AutoFitColWidth", Boolean, nullptr},
    {"ButtonStyle", Identifier, nullptr},
    {"Checkboxes", Boolean, nullptr},
    {"Color", Colour, nullptr},
    {"DblClickNextVal", Boolean, nullptr},
    {"DisplayFormat", Text, nullptr},
    {"DropDownBox.", AnyKind, nullptr},
    {"DropDownRows", Integer, nullptr},
    {"DropDownShowTitles", Boolean, nullptr},
    {"DropDownSizing", Boolean, nullptr},
    {"DropDownSpecRow.", AnyKind, nullptr},
    {"DropDownWidth", Integer, nullptr},
    {"EditButtons", bit(Kind::Collection), nullptr},
    {"EditMask", Text, nullptr},
    {"EndEllipsis", Boolean, nullptr},
    {"FieldName", Text, [](GridColumn& c, const StreamValue& v) { c.fieldName = v.text; }},
    {"Font.Charset", Colour, nullptr},
    {"Font.Color", Colour, nullptr},
    {"Font.Height", Integer, nullptr},
    {"Font.Name", Text, nullptr},
    {"Font.Style", bit(Kind::Set), nullptr},
    {"Footer.", AnyKind, nullptr},
    {"Footers", bit(Kind::Collection), nullptr},
    {"ImageList", Component, nullptr},
    {"ImeMode", Identifier, nullptr},
    {"ImeName", Text, nullptr},
    {"Increment", Number, nullptr},
    {"KeyList.Strings", bit(Kind::List), nullptr},
    {"LookupDisplayFields", Text, nullptr},
    {"MaxWidth", Integer, nullptr},
    {"MinWidth", Integer, nullptr},
    {"MRUList.", AnyKind, nullptr},
    {"NotInKeyListIndex", Integer, nullptr},
    {"PickList.Strings", bit(Kind::List), nullptr},
    {"PopupMenu", Component, nullptr},
    {"ReadOnly", Boolean, nullptr},
    {"STFilter.DataField", Text, nullptr},
    {"STFilter.KeyField", Text, nullptr},
    {"STFilter.ListField", Text, nullptr},
    {"STFilter.ListSource", Component, nullptr},
    {"STFilter.Visible", Boolean, nullptr},
    {"Tag", Integer, nullptr},
    {"Title.Alignment", Identifier,
     [](GridColumn& c, const StreamValue& v) { c.titleAlignment = alignmentOf(v.identifier); }},
    {"Title.Caption", Text, [](GridColumn& c, const StreamValue& v) { c.title = v.text; }},
    {"Title.Color", Colour, nullptr},
    {"Title.EndEllipsis", Boolean, nullptr},
    {"Title.Font.Charset", Colour, nullptr},
    {"Title.Font.Color", Colour, nullptr},
    {"Title.Font.Height", Integer, nullptr},
    {"Title.Font.Name", Text, nullptr},
    {"Title.Font.Style", bit(Kind::Set), nullptr},
    {"Title.Hint", Text, nullptr},
    {"Title.ImageIndex", Integer, nullptr},
    {"Title.Orientation", Identifier, nullptr},
    {"Title.SortIndex", Integer, nullptr},
    {"Title.SortMarker", Identifier,
     [](GridColumn& c, const StreamValue& v) { c.sortMarker = markerOf(v.identifier); }},
    {"Title.TitleButton", Boolean, [](GridColumn& c, const StreamValue& v) { c.titleButton = v.boolean; }},
    {"Title.ToolTips", Boolean, nullptr},
    {"ToolTips", Boolean, nullptr},
    {"Visible", Boolean, [](GridColumn& c, const StreamValue& v) { c.visible = v.boolean; }},
    {"Width", Integer,
     [](GridColumn& c, const StreamValue& v) {
         if (v.integer < 0)
             invalidValue();   // -1 stands for a width never set
         c.width = v.integer;
     }},
    {"WordWrap", Boolean, nullptr},
};

const ColumnProperty* findProperty(const QByteArray& name)
{
    const auto found = std::find_if(std::begin(Properties), std::end(Properties),
                                    [&name](const ColumnProperty& property) {
        const QByteArrayView own(property.name);
        return own.endsWith('.') ? name.startsWith(own) && name.size() > own.size() : name == own;
    });
    return found == std::end(Properties) ? nullptr : found;
}

QString pathOf(const QString& owner, const QByteArray& name)
{
    return owner + u'.' + QString::fromLatin1(name);
}

[[noreturn]] void unknownProperty(const QString& owner, const QByteArray& name)
{
    throw propertyReadError({}, pathOf(owner, name),
                            QStringLiteral("Property %1 does not exist").arg(QString::fromLatin1(name)));
}

// A value the property does not take, checked deep enough that nothing odd is kept or
// written back: lists hold strings, and the button and footer collections of these columns
// have items of no known property.
void checkValue(const ColumnProperty& property, const StreamValue& value, const QString& path)
{
    const auto fail = [&path] {
        throw propertyReadError({}, path, invalidStreamFormatText());
    };
    if (!(property.accepts & bit(value.kind)))
        fail();
    if (value.kind == Kind::List) {
        for (const StreamValue& element : value.list)
            if (element.kind != Kind::String)
                fail();
    }
    if (value.kind == Kind::Collection) {
        for (size_t i = 0; i < value.items.size(); ++i)
            if (!value.items[i].empty())
                unknownProperty(path + u'[' + QString::number(i) + u']', value.items[i].front().name);
    }
}

GridColumn columnOf(const StreamItem& item, const QString& owner)
{
    GridColumn column;
    for (const StreamProperty& property : item) {
        const ColumnProperty* known = findProperty(property.name);
        if (!known)
            unknownProperty(owner, property.name);
        const QString path = pathOf(owner, property.name);
        checkValue(*known, property.value, path);
        if (!known->apply)
            continue;
        try {
            known->apply(column, property.value);
        } catch (const ObjectStreamError& error) {
            throw propertyReadError({}, path, error.text());
        }
    }
    return column;
}

StreamItem itemOf(const GridColumn& column, int defaultWidth)
{
    StreamItem item;
    const auto add = [&item](const char* name, StreamValue value) {
        item.push_back({QByteArray(name), std::move(value)});
    };
    add("EditButtons", StreamValue::ofCollection({}));
    if (!column.fieldName.isEmpty())
        add("FieldName", StreamValue::ofString(column.fieldName));
    add("Footers", StreamValue::ofCollection({}));
    if (!column.filter.dataField.isEmpty())
        add("STFilter.DataField", StreamValue::ofString(column.filter.dataField));
    if (!column.filter.listField.isEmpty())
        add("STFilter.ListField", StreamValue::ofString(column.filter.listField));
    if ((column.titleAlignment & Qt::AlignHorizontal_Mask) != Qt::AlignLeft)
        add("Title.Alignment", StreamValue::ofIdentifier(identifierOf(column.titleAlignment)));
    if (!column.title.isEmpty() && column.title != column.fieldName)
        add("Title.Caption", StreamValue::ofString(column.title));
    if (column.sortIndex != 0)
        add("Title.SortIndex", StreamValue::ofInteger(column.sortIndex));
    if (column.sortMarker != SortMarker::None)
        add("Title.SortMarker", StreamValue::ofIdentifier(identifierOf(column.sortMarker)));
    if (column.titleButton)
        add("Title.TitleButton", StreamValue::ofBoolean(true));
    if (!column.visible)
        add("Visible", StreamValue::ofBoolean(false));
    if (column.width >= 0 && column.width != defaultWidth)
        add("Width", StreamValue::ofInteger(column.width));
    return item;
}

} // namespace

QByteArray encodeColumnLayout(const GridColumns& columns, const std::function<int(int)>& defaultWidth)
{
    std::vector<StreamItem> items;
    items.reserve(columns.size());
    for (size_t i = 0; i < columns.size(); ++i)
        items.push_back(itemOf(columns[i], defaultWidth(int(i))));
    StreamObject root;
    root.className = RootClass;
    root.properties.push_back({ColumnsProperty, StreamValue::ofCollection(std::move(items))});
    return writeObjectStream(root);
}

GridColumns decodeColumnLayout(const QByteArray& bytes)
{
    const StreamObject root = readObjectStream(bytes);
    GridColumns columns;
    for (const StreamProperty& property : root.properties) {
        const QString path = QString::fromLatin1(property.name);
        if (property.name != ColumnsProperty)
            throw propertyReadError(root.objectName, path,
                                    QStringLiteral("Property %1 does not exist").arg(path));
        if (property.value.kind != Kind::Collection)
            throw propertyReadError(root.objectName, path, invalidStreamFormatText());
        GridColumns read;
        for (size_t i = 0; i < property.value.items.size(); ++i)
            read.push_back(columnOf(property.value.items[i], path + u'[' + QString::number(i) + u']'));
        columns = std::move(read);
    }
    return columns;
}

QByteArray readLayoutFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw ObjectStreamError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ObjectStreamError(streamReadErrorText());
    return bytes;
}

void writeLayoutFile(const QString& fileName, const QByteArray& bytes)
{
    QSaveFile file(fileName);
    // Unbuffered, so a failing write is seen here: a buffered one would fail only while the
    // commit flushes, and the commit renames the short file all the same. The temporary file
    // of a failed write is discarded; the target is not touched.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size()
        || !file.commit())
        throw ObjectStreamError(QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
}

} // namespace velmora
