#include "GridSetup.h"

#include "FilterRow.h"
#include "TahomaFont.h"

namespace velmora {

GridColumns columnTable(std::initializer_list<ColumnDefinition> definitions, bool titleButtons)
{
    GridColumns columns;
    columns.reserve(definitions.size());
    for (const ColumnDefinition& definition : definitions) {
        GridColumn column;
        column.fieldName = QString::fromLatin1(definition.field);
        if (definition.title)
            column.title = QString::fromUtf8(definition.title);
        column.titleAlignment = definition.titleAlignment;
        column.width = definition.width;
        column.visible = definition.visible;
        column.titleButton = titleButtons;
        columns.push_back(std::move(column));
    }
    return columns;
}

ResultGrid* makeGrid(QWidget* parent, GridSetup setup)
{
    auto* grid = new ResultGrid(parent);
    grid->setObjectName(QString::fromLatin1(setup.name));
    grid->setFonts(tahomaFont(8));
    if (setup.filterRow)
        grid->setTitleHeader(new FilterRow(*grid));
    grid->setOptions(setup.options);
    grid->setBehaviourOptions(setup.behaviour);
    grid->sortLocal = setup.sortLocal;
    grid->setColumns(std::move(setup.columns));
    grid->setDataSource(setup.source);
    return grid;
}

} // namespace velmora
