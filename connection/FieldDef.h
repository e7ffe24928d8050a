// The plain types of a result set's layout and rows: a declared field and a row of values.
// Sorting and filtering work on these alone, without the query object around them.
#pragma once

#include "FieldKind.h"

#include <QString>
#include <QVariant>
#include <vector>

namespace velmora {

struct FieldDef {
    QString name;
    FieldKind kind = FieldKind::WideString;
    int size = 0;            // characters for text, bytes for byte strings, 0 otherwise
    bool readOnly = false;
    bool calculated = false; // filled by the calculated-fields hook, not by the server
};

using Row = std::vector<QVariant>;  // one value per declared field; null = invalid QVariant

} // namespace velmora
