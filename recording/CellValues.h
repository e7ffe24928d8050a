// How a typed value of a row goes into a recording's cell and comes back as the same value of
// the same kind, and when two values of a row count as unchanged.
#pragma once

#include "FieldDef.h"
#include "FieldKind.h"

#include <QDateTime>
#include <QVariant>
#include <cstring>
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
inline bool sameCell(const QVariant& a, const QVariant& b);
/// The value as an integer, as QVariant::toLongLong() converts it.
inline qlonglong cellInteger(const QVariant& value);
/// The position of the field named `name` (any case) among `fields`; -1 when there is none.
int fieldPosition(const std::vector<FieldDef>& fields, const char* name);

namespace cell {

// Called for every value of every snapshot: the types a fetch makes are told apart by their
// type's address and compared in place, without QVariant's generic calls.
template <typename T> const QtPrivate::QMetaTypeInterface* typeOf()
{
    return QMetaType::fromType<T>().iface();
}

template <typename T> const T& held(const QVariant& value)
{
    return value.data_ptr().get<T>();
}

template <typename T> bool sameData(const T& a, const T& b)
{
    // A fetch gives the repeats of a text one shared copy: the same data is the same value.
    return a.size() == b.size()
        && (a.constData() == b.constData()
            || std::memcmp(a.constData(), b.constData(), size_t(a.size()) * sizeof(*a.constData())) == 0);
}

bool sameOtherCell(const QVariant& a, const QVariant& b);

} // namespace cell

inline bool sameCell(const QVariant& a, const QVariant& b)
{
    const auto* type = a.data_ptr().typeInterface();
    if (type != b.data_ptr().typeInterface())
        return false;
    if (type == nullptr)
        return true;
    if (type == cell::typeOf<QString>())
        return cell::sameData(cell::held<QString>(a), cell::held<QString>(b));
    if (type == cell::typeOf<int>())
        return cell::held<int>(a) == cell::held<int>(b);
    if (type == cell::typeOf<qint16>())
        return cell::held<qint16>(a) == cell::held<qint16>(b);
    if (type == cell::typeOf<qlonglong>())
        return cell::held<qlonglong>(a) == cell::held<qlonglong>(b);
    if (type == cell::typeOf<QByteArray>())
        return cell::sameData(cell::held<QByteArray>(a), cell::held<QByteArray>(b));
    return cell::sameOtherCell(a, b);
}

inline qlonglong cellInteger(const QVariant& value)
{
    const auto* type = value.data_ptr().typeInterface();
    if (type == cell::typeOf<int>())
        return cell::held<int>(value);
    if (type == cell::typeOf<qint16>())
        return cell::held<qint16>(value);
    if (type == cell::typeOf<qlonglong>())
        return cell::held<qlonglong>(value);
    return value.toLongLong();
}

} // namespace velmora
