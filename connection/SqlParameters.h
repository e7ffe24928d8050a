// `:NAME` markers of a batch text and the T-SQL literals that replace them.
#pragma once

#include <QString>
#include <QVariant>
#include <vector>

namespace velmora {

/// The batch with its n-th `:NAME` marker replaced by the literal of values[n]. Markers inside
/// string literals, quoted names, brackets and comments are text, not markers; "::" is not one.
/// Throws DbError (Usage) when there are fewer values than markers or a value has no literal.
QString bindParameters(const QString& batch, const std::vector<QVariant>& values);

/// A T-SQL literal for a value: NULL, a number, N'text' with apostrophes doubled, 0x bytes,
/// '20261209 06:07:08.123' for a date-time. Throws DbError (Usage) for a non-finite float or a
/// type without a literal.
QString sqlLiteral(const QVariant& value);

} // namespace velmora
