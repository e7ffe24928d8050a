#include "OdbcStatement.h"

#include <QDateTime>

namespace velmora {

namespace {

constexpr size_t kChunkBytes = 8192;
constexpr qint64 kMsPerDay = 86400000;

const SQLWCHAR* wide(const QString& text)
{
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

} // namespace

FieldKind fieldKindForSqlType(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT: return FieldKind::SmallInt;
    case SQL_INTEGER: return FieldKind::Integer;
    case SQL_BIGINT: return FieldKind::LargeInt;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: return FieldKind::Float;
    case SQL_NUMERIC:
    case SQL_DECIMAL: return FieldKind::BCD;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME: return FieldKind::DateTime;
    case SQL_CHAR: return FieldKind::FixedChar;
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR: return FieldKind::String;
    case SQL_WCHAR: return FieldKind::FixedWideChar;
    case SQL_BINARY: return FieldKind::Bytes;
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return FieldKind::VarBytes;
    default: return FieldKind::WideString;   // nvarchar, ntext, GUIDs and the rest, read as text
    }
}

OdbcStatement::OdbcStatement(OdbcConnection& connection, int timeoutSeconds)
    : m_connection(connection)
    , m_buffer(kChunkBytes)
{
    m_connection.ensureAlive();
    m_stmt = OdbcHandle(SQL_HANDLE_STMT, m_connection.handle());
    SQLSetStmtAttr(m_stmt.get(), SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(SQLULEN(std::max(timeoutSeconds, 0))), 0);
}

void OdbcStatement::check(SQLRETURN rc)
{
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA)
        return;
    DbError error = odbcError(SQL_HANDLE_STMT, m_stmt.get(), m_batch);
    if (isLinkLoss(error.records()))
        m_connection.markLost();
    throw error;
}

void OdbcStatement::execute(const QString& batch)
{
    m_batch = batch;
    check(SQLExecDirectW(m_stmt.get(), const_cast<SQLWCHAR*>(wide(batch)), SQLINTEGER(batch.size())));
}

bool OdbcStatement::openFirstResultWithColumns(const QString& batch)
{
    execute(batch);
    for (;;) {
        SQLSMALLINT count = 0;
        check(SQLNumResultCols(m_stmt.get(), &count));
        if (count > 0) {
            describe();
            return true;
        }
        const SQLRETURN rc = SQLMoreResults(m_stmt.get());
        if (rc == SQL_NO_DATA)
            return false;
        check(rc);
    }
}

void OdbcStatement::runToEnd(const QString& batch)
{
    execute(batch);
    SQLRETURN rc = SQL_SUCCESS;
    while ((rc = SQLMoreResults(m_stmt.get())) != SQL_NO_DATA)
        check(rc);
}

void OdbcStatement::describe()
{
    SQLSMALLINT count = 0;
    check(SQLNumResultCols(m_stmt.get(), &count));
    m_columns.clear();
    m_columns.reserve(size_t(count));
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(count); ++i) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        check(SQLDescribeColW(m_stmt.get(), i, name, SQLSMALLINT(std::size(name)), &nameLength, &sqlType,
                              &size, &digits, &nullable));
        const auto length = std::min<qsizetype>(nameLength, qsizetype(std::size(name)) - 1);
        m_columns.push_back({QString::fromUtf16(reinterpret_cast<const char16_t*>(name), length),
                             fieldKindForSqlType(sqlType), int(std::min<SQLULEN>(size, INT_MAX))});
    }
}

std::vector<std::vector<QVariant>> OdbcStatement::fetchAll(const std::vector<ColumnRead>& plan, size_t width)
{
    std::vector<std::vector<QVariant>> rows;
    for (;;) {
        const SQLRETURN rc = SQLFetch(m_stmt.get());
        if (rc == SQL_NO_DATA)
            break;
        check(rc);
        std::vector<QVariant>& row = rows.emplace_back(width);
        // SQLGetData must go left to right; columns nobody declared are simply skipped.
        for (const ColumnRead& read : plan)
            row[size_t(read.target)] = readValue(SQLUSMALLINT(read.column + 1), read.kind);
    }
    return rows;
}

QVariant OdbcStatement::readValue(SQLUSMALLINT column, FieldKind kind)
{
    SQLLEN indicator = 0;
    auto fixed = [&](SQLSMALLINT cType, auto value) -> QVariant {
        check(SQLGetData(m_stmt.get(), column, cType, &value, sizeof value, &indicator));
        return indicator == SQL_NULL_DATA ? QVariant() : QVariant::fromValue(value);
    };
    switch (kind) {
    case FieldKind::SmallInt: return fixed(SQL_C_SSHORT, qint16(0));
    case FieldKind::Integer: return fixed(SQL_C_SLONG, qint32(0));
    case FieldKind::LargeInt: return fixed(SQL_C_SBIGINT, qint64(0));
    case FieldKind::Float: return fixed(SQL_C_DOUBLE, double(0));
    case FieldKind::DateTime: {
        SQL_TIMESTAMP_STRUCT ts{};
        check(SQLGetData(m_stmt.get(), column, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &indicator));
        if (indicator == SQL_NULL_DATA)
            return {};
        return localDateTime(ts);
    }
    case FieldKind::Bytes:
    case FieldKind::VarBytes: return readBytes(column);
    case FieldKind::BCD:   // as text: the numeric C type would drop the fraction
    case FieldKind::String:
    case FieldKind::FixedChar:
    case FieldKind::WideString:
    case FieldKind::FixedWideChar: return readText(column);
    }
    return {};
}

QDateTime OdbcStatement::localDateTime(const SQL_TIMESTAMP_STRUCT& ts)
{
    // The fraction is in nanoseconds; the server keeps 1/300 s, so round to the nearest ms
    // (999.5 ms and up carries into the next second, minute or day).
    const qint64 wallMs = QDate(ts.year, ts.month, ts.day).toJulianDay() * kMsPerDay
        + ((ts.hour * 60 + ts.minute) * 60 + ts.second) * qint64(1000) + (ts.fraction + 500000) / 1000000;
    const QDate date = QDate::fromJulianDay(wallMs / kMsPerDay);
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(wallMs % kMsPerDay));
    // The server's value has no zone: it is the local wall clock. Held with the local offset of
    // its minute it keeps that wall clock exactly (even in a daylight-saving gap, where a local
    // time would be moved) and compares as the local instant. Asking the C library for the
    // offset checks the zone file on every call, so it is asked once per minute.
    const qint64 minute = wallMs / 60000;
    if (minute != m_offsetMinute) {
        m_offsetMinute = minute;
        m_offsetSeconds = QDateTime(date, QTime(time.hour(), time.minute()), Qt::LocalTime).offsetFromUtc();
    }
    return QDateTime(date, time, Qt::OffsetFromUTC, m_offsetSeconds);
}

QVariant OdbcStatement::readText(SQLUSMALLINT column)
{
    QString text;
    const SQLLEN capacity = SQLLEN(m_buffer.size());
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(m_stmt.get(), column, SQL_C_WCHAR, m_buffer.data(), capacity, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        check(rc);
        if (indicator == SQL_NULL_DATA)
            return {};
        // A full buffer holds one terminator; the rest comes with the next call.
        const bool more = rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator >= capacity);
        const SQLLEN bytes = more ? capacity - SQLLEN(sizeof(SQLWCHAR)) : indicator;
        const QStringView chunk(reinterpret_cast<const char16_t*>(m_buffer.data()), bytes / qsizetype(sizeof(SQLWCHAR)));
        if (!more && text.isNull())
            return QVariant(chunk.toString());   // the usual single read: one exact allocation
        text.append(chunk);
        if (!more)
            break;
    }
    return QVariant(std::move(text));
}

QVariant OdbcStatement::readBytes(SQLUSMALLINT column)
{
    QByteArray bytes;
    const SQLLEN capacity = SQLLEN(m_buffer.size());
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(m_stmt.get(), column, SQL_C_BINARY, m_buffer.data(), capacity, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        check(rc);
        if (indicator == SQL_NULL_DATA)
            return {};
        const bool more = rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator > capacity);
        bytes.append(m_buffer.data(), more ? capacity : indicator);
        if (!more)
            break;
    }
    return QVariant(std::move(bytes));
}

} // namespace velmora
