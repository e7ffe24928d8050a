// How the process grid colours a row by its blocking state.
#pragma once

#include <QColor>

namespace velmora {

class RowView;

/// The background of every data cell of the process `row`: grey lilac for a blocked process
/// (whatever its lock count), light blue for one holding no lock, light pink for one holding
/// locks. A missing value reads as 0. Throws DbError when the row lacks the blocked or
/// block_count field.
QColor processRowBackground(const RowView& row);

} // namespace velmora
