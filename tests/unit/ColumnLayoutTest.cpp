// The layout file's columns: the built-in file byte for byte, the "written when" rules, what
// loading takes over, whole-file refusals, and the write that never leaves half a file.
#include "ColumnLayout.h"
#include "LayoutFixture.h"
#include "ProcessGridColumns.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr int DefaultWidth = 64;   // what every column derives without a result set

QByteArray encodeDisconnected(const GridColumns& columns)
{
    return encodeColumnLayout(columns, [](int) { return DefaultWidth; });
}

QByteArray name(const char* text)
{
    return char(qstrlen(text)) + QByteArray(text);
}

// A layout file with one item holding exactly these property bytes.
QByteArray oneItemFile(const QByteArray& properties)
{
    return "TPF0" + name("TColumnsWrapper") + '\0' + name("Columns") + '\x0e' + '\x01' + properties
           + QByteArray("\0\0\0\0", 4);
}

QByteArray fixedPart(const char* field)
{
    return name("EditButtons") + QByteArray("\x0e\0", 2) + name("FieldName") + '\x06' + name(field)
           + name("Footers") + QByteArray("\x0e\0", 2);
}

QString decodeError(const QByteArray& bytes)
{
    try {
        decodeColumnLayout(bytes);
    } catch (const ObjectStreamError& error) {
        return error.text();
    }
    return QStringLiteral("(decoded)");
}

GridColumn fieldColumn(const char* field)
{
    GridColumn column;
    column.fieldName = QString::fromLatin1(field);
    return column;
}

} // namespace

TEST(ColumnLayout, BuiltInProcessColumnsGiveTheHandDerivedFileAndReadBack)
{
    const QByteArray fixture = builtinLayoutFixture();
    ASSERT_FALSE(fixture.isEmpty());
    EXPECT_EQ(encodeDisconnected(processGridColumns()).toHex(' ').toStdString(), fixture.toHex(' ').toStdString());
    EXPECT_EQ(describeColumns(decodeColumnLayout(fixture)).toStdString(), describeColumns(processGridColumns()).toStdString());
}

TEST(ColumnLayout, ItemsCarryOnlyWhatTheRulesWrite)
{
    const auto with = [](auto change) {
        GridColumn column = fieldColumn("cpu");
        change(column);
        return column;
    };
    const struct {
        GridColumn column;
        QByteArray after;   // the bytes after EditButtons, FieldName and Footers
    } cases[] = {
        {fieldColumn("cpu"), QByteArray()},
        {with([](GridColumn& c) { c.width = DefaultWidth; }), QByteArray()},
        {with([](GridColumn& c) { c.width = 300; }), name("Width") + "\x03\x2c\x01"},
        {with([](GridColumn& c) { c.width = 0; }), name("Width") + QByteArray("\x02\0", 2)},
        {with([](GridColumn& c) { c.title = QStringLiteral("cpu"); }), QByteArray()},
        {with([](GridColumn& c) { c.title = QStringLiteral("CPU time"); }), name("Title.Caption") + '\x06' + name("CPU time")},
        {with([](GridColumn& c) { c.titleAlignment = Qt::AlignLeft | Qt::AlignVCenter; }), QByteArray()},
        {with([](GridColumn& c) { c.titleAlignment = Qt::AlignRight; }),
         name("Title.Alignment") + '\x07' + name("taRightJustify")},
        {with([](GridColumn& c) { c.sortMarker = SortMarker::Up; c.sortIndex = 2; }),
         name("Title.SortIndex") + "\x02\x02" + name("Title.SortMarker") + '\x07' + name("smUpEh")},
        {with([](GridColumn& c) { c.sortMarker = SortMarker::Down; }), name("Title.SortMarker") + '\x07' + name("smDownEh")},
        {with([](GridColumn& c) { c.visible = false; c.titleButton = true; }),
         name("Title.TitleButton") + '\x09' + name("Visible") + '\x08'},
        {with([](GridColumn& c) { c.filter.dataField = c.filter.listField = QStringLiteral("cpu"); c.filter.text = QStringLiteral(">5"); }),
         name("STFilter.DataField") + '\x06' + name("cpu") + name("STFilter.ListField") + '\x06' + name("cpu")},
    };
    for (const auto& c : cases) {
        const QByteArray expected = oneItemFile(fixedPart("cpu") + c.after);
        EXPECT_EQ(encodeDisconnected({c.column}).toHex(' '), expected.toHex(' ')) << c.after.toStdString();
    }

    GridColumn unnamed;
    unnamed.title = QStringLiteral("x");
    EXPECT_EQ(encodeDisconnected({unnamed}),
              oneItemFile(name("EditButtons") + QByteArray("\x0e\0", 2) + name("Footers") + QByteArray("\x0e\0", 2)
                          + name("Title.Caption") + '\x06' + name("x")));
}

TEST(ColumnLayout, LoadingKeepsAllButFilterSortIndexHintAndImageIndex)
{
    const QByteArray properties = fixedPart("cpu")
        + name("Color") + '\x07' + name("clWindow") + name("Font.Style") + '\x0b' + name("fsBold") + '\0'
        + name("Increment") + '\x05' + QByteArray::fromHex("0000000000000080FF3F")
        + name("PickList.Strings") + '\x01' + '\x06' + name("a") + '\0'
        + name("DropDownSpecRow.Value") + '\x06' + name("v")
        + name("STFilter.DataField") + '\x06' + name("cpu") + name("STFilter.ListField") + '\x06' + name("cpu")
        + name("STFilter.ListSource") + '\x0d'
        + name("Title.Alignment") + '\x07' + name("taCenter") + name("Title.Caption") + '\x14'
        + QByteArray("\x06\0\0\0", 4) + QStringLiteral("ЦПУ").toUtf8()
        + name("Title.Hint") + '\x06' + name("h") + name("Title.ImageIndex") + "\x02\x03"
        + name("Title.SortIndex") + "\x02\x01" + name("Title.SortMarker") + '\x07' + name("smUpEh")
        + name("Title.TitleButton") + '\x09' + name("Visible") + '\x08' + name("Width") + "\x03\x2c\x01";
    EXPECT_EQ(describeColumns(decodeColumnLayout(oneItemFile(properties))).toStdString(),
              "cpu|ЦПУ|centre|300|hidden|button|2|0||");
}

TEST(ColumnLayout, BadFilesAreRefusedWholeWithTheirMessage)
{
    const QByteArray ok = fixedPart("cpu");
    const QByteArray noSignature = builtinLayoutFixture().replace(0, 4, "TPF1");
    const struct {
        QByteArray bytes;
        QString message;
    } cases[] = {
        {noSignature, QStringLiteral("Invalid stream format")},
        {oneItemFile(ok + name("Colour") + '\x07' + name("clRed")),
         QStringLiteral("Error reading Columns[0].Colour: Property Colour does not exist")},
        {oneItemFile(ok + name("Title.Font.Size") + "\x02\x08"),
         QStringLiteral("Error reading Columns[0].Title.Font.Size: Property Title.Font.Size does not exist")},
        {oneItemFile(ok + name("DropDownBox.") + '\x09'),   // a family without a member
         QStringLiteral("Error reading Columns[0].DropDownBox.: Property DropDownBox. does not exist")},
        {oneItemFile(ok + name("Width") + '\x06' + name("35")),
         QStringLiteral("Error reading Columns[0].Width: Invalid stream format")},
        {oneItemFile(ok + name("Width") + "\x02\xff"), QStringLiteral("Error reading Columns[0].Width: Invalid stream format")},
        {oneItemFile(ok + name("Visible") + '\x07' + name("False")),
         QStringLiteral("Error reading Columns[0].Visible: Invalid stream format")},
        {oneItemFile(ok + name("Title.Alignment") + '\x07' + name("taJustify")),
         QStringLiteral("Error reading Columns[0].Title.Alignment: Invalid stream format")},
        {oneItemFile(ok + name("Title.SortMarker") + '\x06' + name("smUpEh")),
         QStringLiteral("Error reading Columns[0].Title.SortMarker: Invalid stream format")},
        {oneItemFile(ok + name("PickList.Strings") + "\x01\x02\x05" + '\0'),
         QStringLiteral("Error reading Columns[0].PickList.Strings: Invalid stream format")},
        {oneItemFile(name("EditButtons") + "\x0e\x01" + name("Caption") + '\x06' + name("x") + QByteArray("\0\0", 2)),
         QStringLiteral("Error reading Columns[0].EditButtons[0].Caption: Property Caption does not exist")},
        {"TPF0" + name("TColumnsWrapper") + '\0' + name("Rows") + QByteArray("\x0e\0\0\0", 4),
         QStringLiteral("Error reading Rows: Property Rows does not exist")},
        {"TPF0" + name("TColumnsWrapper") + '\0' + name("Columns") + QByteArray("\x02\x01\0\0", 4),
         QStringLiteral("Error reading Columns: Invalid stream format")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeError(c.bytes).toStdString(), c.message.toStdString());
}

TEST(ColumnLayout, FileCutAtEveryLengthIsRefused)
{
    const QByteArray fixture = builtinLayoutFixture();
    ASSERT_GT(fixture.size(), 1000);
    for (qsizetype length = 0; length < fixture.size(); ++length) {
        const QString message = decodeError(fixture.left(length));
        EXPECT_TRUE(message.endsWith(QStringLiteral("Stream read error"))) << length << ": " << message.toStdString();
    }
}

TEST(ColumnLayout, TitlesOutsideSevenBitsTravelAsUtf8)
{
    GridColumns columns{fieldColumn("hostname"), fieldColumn("cmd"), fieldColumn("program_name")};
    columns[0].title = QStringLiteral("Хост");
    columns[1].title = QStringLiteral("Команда \u00e9\u4e2d\U0001F600");
    columns[2].title = QString(300, QChar(u'Ж'));
    const QByteArray bytes = encodeDisconnected(columns);
    const QByteArray host = QStringLiteral("Хост").toUtf8();
    EXPECT_TRUE(bytes.contains(name("Title.Caption") + '\x14' + QByteArray("\x08\0\0\0", 4) + host));
    EXPECT_TRUE(bytes.contains(name("Title.Caption") + '\x14' + QByteArray("\x58\x02\0\0", 4)));   // 600 bytes
    EXPECT_EQ(describeColumns(decodeColumnLayout(bytes)).toStdString(), describeColumns(columns).toStdString());
}

TEST(ColumnLayoutFile, WrittenWholeOrNotAtAll)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ColReg.dat"));
    const QByteArray layout = encodeDisconnected(processGridColumns());
    writeLayoutFile(path, layout);
    EXPECT_EQ(readLayoutFile(path), layout);

    // A write that fails half-way (here the file size limit) leaves the previous file whole.
    writeLayoutFile(path, "previous");
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = 100;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    QString message;
    try {
        writeLayoutFile(path, layout);
    } catch (const ObjectStreamError& error) {
        message = error.text();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path))) << message.toStdString();
    EXPECT_EQ(readLayoutFile(path), QByteArray("previous"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("ColReg.dat")});
}

TEST(ColumnLayoutFile, OpenAndCreateFailuresNameTheFileAndTheReason)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("none/ColReg.dat"));
    const auto messageOf = [](auto run) {
        try {
            run();
        } catch (const ObjectStreamError& error) {
            return error.text();
        }
        return QString();
    };
    EXPECT_EQ(messageOf([&] { readLayoutFile(missing); }),
              QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(missing));
    const QString createMessage = messageOf([&] { writeLayoutFile(missing, "x"); });
    EXPECT_TRUE(createMessage.startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(missing)))
        << createMessage.toStdString();
    EXPECT_GT(createMessage.size(), QStringLiteral("Cannot create file \"%1\". ").arg(missing).size());
}
