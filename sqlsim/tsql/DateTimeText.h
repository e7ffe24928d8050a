// Reading datetime texts for conversions: besides the value, why a text is no datetime (its form,
// message 241, or a date that does not exist, message 242).
#pragma once

#include "Value.h"

namespace sqlsim::tsql {

struct DateTimeReading {
    std::optional<DateTime> value;
    bool outOfRange = false;   // well formed, but no such date or time (or before 1753)
};

DateTimeReading readDateTime(const QString& text, DateFormat dateFormat);

/// The date order a CONVERT style asks for when it reads text (101: mdy, 103: dmy, 111: ymd
/// ...); the session's order for style 0 and styles without one.
DateFormat styleDateFormat(int style, DateFormat session);

} // namespace sqlsim::tsql
