// Sort strings of held result sets: "cpu DESC, spid". Parsed once into keys, then applied
// as a stable sort over pre-extracted typed keys.
#pragma once

#include "FieldDef.h"

#include <QString>
#include <vector>

namespace velmora {

class RowSort {
public:
    struct Key { int field; bool descending; };

    /// Parses a sort string against the declared fields. Throws DbError (Usage) for an unknown
    /// column or a malformed key. The empty string gives no keys.
    static RowSort parse(const QString& text, const std::vector<FieldDef>& fields);

    const std::vector<Key>& keys() const { return m_keys; }
    bool empty() const { return m_keys.empty(); }

    /// Reorders `view` (indices into `rows`) stably by the keys.
    void apply(std::vector<int>& view, const std::vector<Row>& rows,
               const std::vector<FieldDef>& fields) const;

private:
    std::vector<Key> m_keys;
};

} // namespace velmora
