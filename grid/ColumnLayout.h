// A grid's column collection as the layout file holds it: the root object TColumnsWrapper
// whose one property, Columns, has an item per column, and the file written whole or not at
// all. Qt Core only; the grid widget only hands its columns over.
#pragma once

#include "GridColumn.h"
#include "ObjectStream.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace velmora {

/// The layout stream of `columns`, in collection order, each property under its "written
/// when" rule. `defaultWidth(i)` is the width column i would derive; a set Width equal to it
/// is not written.
QByteArray encodeColumnLayout(const GridColumns& columns, const std::function<int(int)>& defaultWidth);

/// The columns a layout stream holds, in its order. Every property is taken over except the
/// filter settings (STFilter.*), DropDownSpecRow.* and the title's SortIndex, Hint and
/// ImageIndex. Throws ObjectStreamError: the stream's errors, "Property %s does not exist"
/// for a name the column lacks and "Invalid stream format" for a value of the wrong kind, both
/// inside "Error reading %s%s%s: %s".
GridColumns decodeColumnLayout(const QByteArray& bytes);

/// The whole file. Throws ObjectStreamError "Cannot open file "%s". %s".
QByteArray readLayoutFile(const QString& fileName);

/// Writes the file through a temporary file beside it renamed over it, so a failure leaves the
/// previous file as it was. Throws ObjectStreamError "Cannot create file "%s". %s".
void writeLayoutFile(const QString& fileName, const QByteArray& bytes);

} // namespace velmora
