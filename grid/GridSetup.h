// What every screen's grid shares: columns described by a table of definitions, and a grid
// made in one call from its name, its query, its option sets and those columns.
#pragma once

#include "ResultGrid.h"

#include <initializer_list>

namespace velmora {

/// One row of a screen's column table.
struct ColumnDefinition {
    const char* field;
    int width = -1;                    // -1: the width the grid derives from the field
    const char* title = nullptr;       // null: the field's name
    bool visible = true;
    Qt::Alignment titleAlignment = Qt::AlignHCenter;
};

/// The columns of a definition table; with `titleButtons` every title is a button.
GridColumns columnTable(std::initializer_list<ColumnDefinition> definitions, bool titleButtons = false);

/// How a screen's grid is made. The defaults are those of a read-only list that selects rows.
struct GridSetup {
    const char* name;                  // the grid's object name
    Query* source = nullptr;
    GridColumns columns;
    GridOptions options = listOptions();
    GridBehaviourOptions behaviour{};
    bool sortLocal = true;
    bool filterRow = false;            // a filter row under the titles

    static GridOptions listOptions()
    {
        GridOptions options;
        options.editing = false;
        options.rowSelect = true;
        return options;
    }
};

/// A grid in 8-point Tahoma, its titles in bold, made as `setup` says.
ResultGrid* makeGrid(QWidget* parent, GridSetup setup);

} // namespace velmora
