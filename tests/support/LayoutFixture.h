// What the layout file's tests share: the built-in process layout as derived by hand from the
// file format, and a column collection as comparable text.
#pragma once

#include "GridColumn.h"

#include <QFile>
#include <QStringList>

namespace velmora::testing {

/// tests/data/BuiltinProcessLayout.hex: hex bytes, "#" comments to the end of a line.
inline QByteArray builtinLayoutFixture()
{
    QFile file(QStringLiteral(VELMORA_TEST_DATA "/BuiltinProcessLayout.hex"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray hex;
    for (const QByteArray& line : file.readAll().split('\n'))
        hex += line.left(line.indexOf('#') < 0 ? line.size() : line.indexOf('#'));
    return QByteArray::fromHex(hex);
}

/// A line per column: field|title text|title alignment|width|visible|title button|marker|sort index
/// |filter data field|filter list field.
inline QString describeColumns(const GridColumns& columns)
{
    QStringList lines;
    for (const GridColumn& c : columns) {
        const int align = int(c.titleAlignment & Qt::AlignHorizontal_Mask);
        lines << QStringList{c.fieldName, c.caption(),
                             align == Qt::AlignHCenter ? QStringLiteral("centre")
                                 : align == Qt::AlignRight ? QStringLiteral("right") : QStringLiteral("left"),
                             QString::number(c.width), c.visible ? QStringLiteral("shown") : QStringLiteral("hidden"),
                             c.titleButton ? QStringLiteral("button") : QStringLiteral("-"),
                             QString::number(int(c.sortMarker)), QString::number(c.sortIndex),
                             c.filter.dataField, c.filter.listField}
                     .join(u'|');
    }
    return lines.join(u'\n');
}

} // namespace velmora::testing
