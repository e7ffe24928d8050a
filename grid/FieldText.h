// How a field value reads as text: the text a grid cell shows, and the text a filter value
// list takes for an entry. They differ for byte strings (hex in a cell, the bytes taken as
// characters in a list) and for padded fixed-width text.
#pragma once

#include "FieldKind.h"

#include <QLocale>
#include <QString>
#include <QVariant>

namespace velmora {

/// The text a grid shows for a field value of the given kind: empty for no value, numbers
/// without group separators, date-times as the locale's short date and long time (the date
/// alone at exactly midnight), byte
/// strings as "0x" and upper-case hex digits.
QString fieldDisplayText(const QVariant& value, FieldKind kind, const QLocale& locale = QLocale());

/// The text a value list takes for a field value: as fieldDisplayText, except that byte
/// strings give their bytes taken as characters (each byte the character of its code) and
/// fixed-width text loses its trailing padding blanks.
QString fieldListText(const QVariant& value, FieldKind kind, const QLocale& locale = QLocale());

/// Where a grid aligns a value of the given kind: numbers right, everything else left.
Qt::Alignment fieldAlignment(FieldKind kind);

} // namespace velmora
