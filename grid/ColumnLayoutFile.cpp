#include "ColumnLayoutFile.h"

#include "ColumnLayout.h"
#include "ResultGrid.h"

namespace velmora {

void SaveColumnLayout(const ResultGrid& grid, const QString& fileName)
{
    writeLayoutFile(fileName, encodeColumnLayout(grid.columns(), [&grid](int column) {
        return grid.defaultWidth(column);
    }));
}

void LoadColumnLayout(ResultGrid& grid, const QString& fileName)
{
    grid.setColumns(decodeColumnLayout(readLayoutFile(fileName)));
}

} // namespace velmora
