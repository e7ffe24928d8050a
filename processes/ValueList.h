// One filter value list: a one-column result set that the server shapes from a process-list
// field's kind and that the client fills with the distinct values of that field in the held rows.
#pragma once

#include "FieldDef.h"

#include <QLocale>
#include <QString>
#include <QStringList>

namespace velmora {

class Query;

/// The longest entry of a text list; a longer value is cut to this many characters.
constexpr int valueListTextWidth = 250;

/// The batch that shapes the list of field `name` of kind `kind`: "create Table #temp(<name><T>);
/// select <name> from #temp; drop table #temp;", T being " int" for 32-bit integers,
/// " DateTime" for date-times and " varchar(250)" for every other kind.
QString valueListBatch(const QString& name, FieldKind kind);
/// The one declared field of that list: the name with the kind the batch gives it.
FieldDef valueListField(const QString& name, FieldKind kind);

/// Appends to `list` one entry for every distinct text that field `sourceField` takes in the
/// held rows of `source` (all of them, unfiltered), then sorts `list` ascending by its field.
/// A value's text is the one a list takes (FieldText), trimmed; a null or blank value gives an
/// empty entry of its own; date-times count to the second and text is cut to 250 characters.
/// Precondition: `list` is open with one field as valueListField() declares it, and
/// `sourceField` is a field of `source`. Throws DbError when the list cannot be sorted.
void fillValueList(Query& list, const Query& source, int sourceField,
                   const QLocale& locale = QLocale());

/// The texts of the list's entries in its order, as the filter cell's drop-down offers them.
QStringList valueListEntries(const Query& list, const QLocale& locale = QLocale());

} // namespace velmora
