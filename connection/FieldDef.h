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

/// How many rows ahead a pass over held rows asks for the values it will read (prefetchValues).
inline constexpr size_t rowPrefetchDistance = 8;

/// Asks the processor to bring the given fields of a row into the cache, ahead of reading them.
/// Each row is a heap block of its own: in a pass over many rows the processor cannot foresee
/// the next, and a row just written by another thread is in no cache of this one.
template <typename Fields>
void prefetchValues(const Row& row, const Fields& fields)
{
    for (const auto field : fields)
        __builtin_prefetch(&row[size_t(field)]);
}

/// Asks the processor for what a text or byte-string value points to, its characters or bytes,
/// ahead of reading them. The value must be in the cache already (prefetchValues some rows
/// before), or this waits for it.
inline void prefetchContents(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        __builtin_prefetch(static_cast<const QString*>(value.constData())->constData());
    else if (value.typeId() == QMetaType::QByteArray)
        __builtin_prefetch(static_cast<const QByteArray*>(value.constData())->constData());
}

} // namespace velmora
