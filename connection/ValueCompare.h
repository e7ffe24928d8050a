// How held values compare when rows are sorted and filtered on the client. The rules are
// decided here, once:
// - Text compares case-insensitively by the user's locale (QCollator). Fixed-width text is
//   compared without its trailing blanks: the server pads it, while the values an operator
//   picks or types are not padded.
// - Date-times compare by their wall-clock value; the server's date-times carry no zone.
// - Field names match regardless of case.
// - Like patterns: '%' stands for any run of characters (none included), '_' for exactly one,
//   and '*' is read as '%'; each may stand anywhere. Matching ignores case. A pattern without
//   wildcards matches the text equal to it.
// The handling of missing values belongs to the sort (RowSort.cpp) and the filter
// (RowFilter.cpp).
#pragma once

#include "FieldDef.h"

#include <QCollator>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <QVariant>

namespace velmora {

/// Whether a held value is missing: rows hold an invalid QVariant where the server sent a null.
inline bool isMissing(const QVariant& value) { return !value.isValid(); }

/// The number a held integer value carries. The driver's integers are held as qint16, int or
/// qlonglong; those are read directly, anything else through QVariant's conversion.
inline qint64 heldInteger(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Short:
        return *static_cast<const qint16*>(value.constData());
    case QMetaType::Int:
        return *static_cast<const int*>(value.constData());
    case QMetaType::LongLong:
        return *static_cast<const qlonglong*>(value.constData());
    default:
        return value.toLongLong();
    }
}

/// Index of the field named `name`, -1 when there is none.
int findFieldIndex(const std::vector<FieldDef>& fields, QStringView name);

/// The collator every text comparison and text sort key uses.
QCollator textCollator(const QLocale& locale = QLocale());

/// The part of a text value that takes part in comparisons: fixed-width text without its
/// trailing blanks, any other text as it is.
QStringView comparableText(QStringView text, FieldKind kind);

/// Milliseconds of the date-time's wall-clock reading from a fixed origin, independent of zones
/// and daylight saving; an invalid date-time gives 0.
qint64 wallClockMsecs(const QDateTime& value);

/// A Like pattern, read once and matched against many texts.
class LikePattern {
public:
    LikePattern() = default;
    explicit LikePattern(QStringView pattern);

    bool matches(QStringView text) const;

private:
    QString m_folded;   // case-folded pattern, '*' already turned into '%'
};

} // namespace velmora
