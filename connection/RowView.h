// A read-only view of one held row: its place among the visible rows and its values by field.
// A grid hands it to the cell hook for the row being drawn, so the hook never moves a cursor.
#pragma once

#include "FieldDef.h"

namespace velmora {

class RowView {
public:
    /// `fields` and `row` must outlive the view.
    RowView(const std::vector<FieldDef>& fields, const Row& row, int index)
        : m_fields(fields), m_row(row), m_index(index) {}

    /// The row's place among the visible rows.
    int index() const { return m_index; }
    /// The value of a field (case-insensitive name). Throws DbError (Usage) for an unknown field.
    QVariant value(const QString& field) const;
    /// Throws DbError (Usage) for an index outside the field list.
    QVariant value(int fieldIndex) const;

private:
    const std::vector<FieldDef>& m_fields;
    const Row& m_row;
    int m_index;
};

} // namespace velmora
