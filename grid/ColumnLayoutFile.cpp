#include "ColumnLayoutFile.h"

#include "ColumnLayout.h"
#include "ObjectStream.h"
#include "ResultGrid.h"

#include <QFile>

namespace velmora {

namespace {

// A layout file that no longer loads may be the operator's only copy of a layout worth mending:
// it is kept beside the new one, and when it cannot be kept it is not replaced either.
void keepDamaged(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;   // nothing there to keep; writing the new file reports what is wrong
    const QByteArray bytes = file.readAll();
    try {
        decodeColumnLayout(bytes);
        return;
    } catch (const ObjectStreamError&) {
    }
    writeLayoutFile(fileName + QStringLiteral(".bad"), bytes);
}

} // namespace

void SaveColumnLayout(const ResultGrid& grid, const QString& fileName)
{
    keepDamaged(fileName);
    writeLayoutFile(fileName, encodeColumnLayout(grid.columns(), [&grid](int column) {
        return grid.defaultWidth(column);
    }));
}

void LoadColumnLayout(ResultGrid& grid, const QString& fileName)
{
    grid.setColumns(decodeColumnLayout(readLayoutFile(fileName)));
}

} // namespace velmora
