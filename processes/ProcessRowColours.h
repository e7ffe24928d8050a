// How the process grid colours a row by its blocking state.
#pragma once

#include <QColor>

namespace velmora {

class Query;

/// The background of every data cell of the row `query` currently reads: grey lilac for a
/// blocked process (whatever its lock count), light blue for one holding no lock, light pink
/// for one holding locks. A missing value reads as 0. Throws DbError when `query` lacks the
/// blocked or block_count field or is closed.
QColor processRowBackground(const Query& query);

} // namespace velmora
