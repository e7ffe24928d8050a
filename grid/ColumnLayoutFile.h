// The layout file of a result grid: its whole column collection saved to a file and loaded
// back in place of the grid's columns.
#pragma once

#include "GridColumn.h"

#include <QString>
#include <functional>

namespace velmora {

class ResultGrid;

/// Writes the grid's columns, visible or not, in collection order to the named file, replacing
/// it only once the whole stream is written; with `kept`, only the columns it keeps. A file there
/// that does not load as a layout is kept first as "<name>.bad". Throws ObjectStreamError.
void SaveColumnLayout(const ResultGrid& grid, const QString& fileName,
                      const std::function<bool(const GridColumn&)>& kept = {});

/// Replaces the grid's columns by the named file's, once the whole file was read; on any error
/// the grid keeps its columns. The loaded marks stand outside the sort-marked list, without
/// numbers. Throws ObjectStreamError.
void LoadColumnLayout(ResultGrid& grid, const QString& fileName);

} // namespace velmora
