#include "CellValues.h"

#include <QDateTime>
#include <sqlite3.h>

namespace velmora {

namespace {

const QString WallClockFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");

// The server's date-times are its wall clock; the text keeps exactly that. Written by hand: the
// formatter's general pattern costs twenty times as much, and a busy list changes thousands a
// refresh.
QByteArray wallClockText(const QDateTime& value)
{
    const QDate date = value.date();
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return value.toString(WallClockFormat).toLatin1();
    const QTime time = value.time();
    char text[] = "yyyy-MM-dd HH:mm:ss.zzz";
    const auto put = [&text](int at, int number, int digits) {
        for (int i = at + digits - 1; i >= at; --i, number /= 10)
            text[i] = char('0' + number % 10);
    };
    put(0, date.year(), 4);
    put(5, date.month(), 2);
    put(8, date.day(), 2);
    put(11, time.hour(), 2);
    put(14, time.minute(), 2);
    put(17, time.second(), 2);
    put(20, time.msec(), 3);
    return QByteArray(text, int(sizeof text) - 1);
}

} // namespace

void bindCell(sqlite3_stmt* statement, int index, const QVariant& value, FieldKind kind)
{
    if (!value.isValid()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    if (isIntegerKind(kind)) {
        sqlite3_bind_int64(statement, index, cellInteger(value));
    } else if (kind == FieldKind::Float) {
        sqlite3_bind_double(statement, index, value.toDouble());
    } else if (kind == FieldKind::DateTime) {
        const QByteArray text = value.typeId() == QMetaType::QDateTime ? wallClockText(cell::held<QDateTime>(value))
                                                                        : wallClockText(value.toDateTime());
        sqlite3_bind_text(statement, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    } else if (isByteKind(kind)) {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob(statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    } else {
        // Converted here rather than by SQLite, whose conversion goes a character at a time.
        const QByteArray text = value.toString().toUtf8();
        sqlite3_bind_text(statement, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
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

bool cell::sameOtherCell(const QVariant& a, const QVariant& b)
{
    if (a.typeId() == QMetaType::QDateTime)
        return held<QDateTime>(a) == held<QDateTime>(b);
    return a == b;
}

int fieldPosition(const std::vector<FieldDef>& fields, const char* name)
{
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

} // namespace velmora
