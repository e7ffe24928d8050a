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

void SaveColumnLayout(const ResultGrid& grid, const QString& fileName,
                      const std::function<bool(const GridColumn&)>& kept)
{
    keepDamaged(fileName);
    GridColumns columns;
    std::vector<int> gridColumn;   // by saved column: its index in the grid
    for (int index = 0; index < int(grid.columns().size()); ++index) {
        if (kept && !kept(grid.columns()[size_t(index)]))
            continue;
        columns.push_back(grid.columns()[size_t(index)]);
        gridColumn.push_back(index);
    }
    writeLayoutFile(fileName, encodeColumnLayout(columns, [&grid, &gridColumn](int column) {
        return grid.defaultWidth(gridColumn[size_t(column)]);
    }));
}

void LoadColumnLayout(ResultGrid& grid, const QString& fileName)
{
    grid.setColumns(decodeColumnLayout(readLayoutFile(fileName)));
}

} // namespace velmora
