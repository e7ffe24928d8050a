// How a typed value of a row goes into a recording's cell and comes back as the same value of
// the same kind, and when two values of a row count as unchanged.
#pragma once

#include "FieldDef.h"
#include "FieldKind.h"

#include <QVariant>
#include <vector>

struct sqlite3_stmt;

namespace velmora {

/// Binds `value` of a field of `kind` to parameter `index` (1-based) of `statement`; a null
/// value binds NULL.
void bindCell(sqlite3_stmt* statement, int index, const QVariant& value, FieldKind kind);
/// The value of `column` (0-based) of the statement's row as a field of `kind` holds it: the
/// variant types a result set's fetch makes (qint16, int, qlonglong, double, QDateTime with the
/// local offset, QString, QByteArray); NULL reads as a null value.
QVariant readCell(sqlite3_stmt* statement, int column, FieldKind kind);
/// Whether two values of the same field are equal, null only to null.
bool sameCell(const QVariant& a, const QVariant& b);
/// The position of the field named `name` (any case) among `fields`; -1 when there is none.
int fieldPosition(const std::vector<FieldDef>& fields, const char* name);

} // namespace velmora
