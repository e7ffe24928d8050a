#include "CellValues.h"

#include <QDateTime>
#include <sqlite3.h>

namespace velmora {

namespace {

const QString WallClockFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");

template <typename T> const T& held(const QVariant& value)
{
    return *static_cast<const T*>(value.constData());
}

} // namespace

void bindCell(sqlite3_stmt* statement, int index, const QVariant& value, FieldKind kind)
{
    if (!value.isValid()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    if (isIntegerKind(kind)) {
        sqlite3_bind_int64(statement, index, value.toLongLong());
    } else if (kind == FieldKind::Float) {
        sqlite3_bind_double(statement, index, value.toDouble());
    } else if (kind == FieldKind::DateTime) {
        // The server's date-times are its wall clock; the text keeps exactly that.
        const QByteArray text = value.toDateTime().toString(WallClockFormat).toLatin1();
        sqlite3_bind_text(statement, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    } else if (isByteKind(kind)) {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob(statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    } else {
        const QString text = value.toString();
        sqlite3_bind_text16(statement, index, text.utf16(), int(text.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
    }
}

QVariant readCell(sqlite3_stmt* statement, int column, FieldKind kind)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL)
        return {};
    switch (kind) {
    case FieldKind::SmallInt: return QVariant::fromValue(qint16(sqlite3_column_int(statement, column)));
    case FieldKind::Integer: return QVariant(int(sqlite3_column_int(statement, column)));
    case FieldKind::LargeInt: return QVariant(qlonglong(sqlite3_column_int64(statement, column)));
    case FieldKind::Float: return QVariant(sqlite3_column_double(statement, column));
    case FieldKind::DateTime: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        const QDateTime wall = QDateTime::fromString(QString::fromLatin1(text), WallClockFormat);
        // Held as a fetch holds it: the local offset of that wall clock.
        return QDateTime::fromMSecsSinceEpoch(wall.toMSecsSinceEpoch(), Qt::OffsetFromUTC, wall.offsetFromUtc());
    }
    case FieldKind::Bytes:
    case FieldKind::VarBytes: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
        return QByteArray(bytes, sqlite3_column_bytes(statement, column));
    }
    default: {
        const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(statement, column));
        return QString::fromUtf16(text, sqlite3_column_bytes16(statement, column) / qsizetype(sizeof(char16_t)));
    }
    }
}

bool sameCell(const QVariant& a, const QVariant& b)
{
    // Called for every value of every snapshot: the common types compare without QVariant's
    // generic comparison.
    const int type = a.typeId();
    if (type != b.typeId())
        return false;
    switch (type) {
    case QMetaType::UnknownType: return true;
    case QMetaType::Short: return held<qint16>(a) == held<qint16>(b);
    case QMetaType::Int: return held<int>(a) == held<int>(b);
    case QMetaType::LongLong: return held<qlonglong>(a) == held<qlonglong>(b);
    case QMetaType::QString: return held<QString>(a) == held<QString>(b);
    case QMetaType::QByteArray: return held<QByteArray>(a) == held<QByteArray>(b);
    case QMetaType::QDateTime: return held<QDateTime>(a) == held<QDateTime>(b);
    default: return a == b;
    }
}

int fieldPosition(const std::vector<FieldDef>& fields, const char* name)
{
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

} // namespace velmora
