// Filter strings of held result sets: "[cpu] > 100 AND [loginame] Like 'sa'". Parsed once
// into an expression tree, literals converted to the column's kind, then evaluated per row.
#pragma once

#include "FieldDef.h"

#include <QLocale>
#include <QString>
#include <memory>
#include <vector>

namespace velmora {

class RowFilter {
public:
    struct Node;

    /// Parses a filter string against the declared fields; literals are read in `locale`'s
    /// number and date formats. Throws DbError (Usage) with a message naming what is wrong.
    static std::unique_ptr<RowFilter> parse(const QString& text, const std::vector<FieldDef>& fields,
                                            const QLocale& locale = QLocale());
    ~RowFilter();

    bool matches(const Row& row) const;

private:
    RowFilter() = default;
    std::unique_ptr<Node> m_root;   // null: every row matches
};

} // namespace velmora
