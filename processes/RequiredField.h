// The place of a field the process screens cannot do without, looked up once before a pass over
// the rows.
#pragma once

#include "FieldDef.h"

namespace velmora {

/// Index of the field `name` in `fields`. Throws DbError (Usage) when there is none.
size_t requiredField(const std::vector<FieldDef>& fields, const char* name);

} // namespace velmora
