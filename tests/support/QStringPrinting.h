// How a failed check shows a QString: quoted, in UTF-8. Part of every test source's precompiled
// header, so that all the sources of one test executable print it the same way.
#pragma once

#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
