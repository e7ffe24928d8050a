#include "OdbcStatement.h"

#include "ServerWait.h"

#include <QDateTime>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <optional>
#include <memory>
#include <bit>
#include <type_traits>

namespace velmora {

namespace {

constexpr size_t kChunkBytes = 8192;
constexpr qint64 kMsPerDay = 86400000;
constexpr qint64 kEpochMs = 2440588 * kMsPerDay;   // 1970-01-01 counted from Julian day 0

// Block fetch: up to kBlockRows rows a driver call, their buffers kept near kBlockBytes. Columns
// wider than these bounds (and those of unknown width) are read piecewise instead.
constexpr SQLULEN kBlockRows = 256;
constexpr size_t kBlockBytes = size_t(1) << 20;
constexpr int kMaxBoundChars = 4000;
constexpr int kMaxBoundBytes = 8000;
constexpr size_t kMaxPooledTexts = 512;

constexpr std::chrono::milliseconds kDeadlineGrace{1000};

const SQLWCHAR* wide(const QString& text)
{
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

SQLSMALLINT cTypeOf(FieldKind kind)
{
    switch (kind) {
    case FieldKind::SmallInt: return SQL_C_SSHORT;
    case FieldKind::Integer: return SQL_C_SLONG;
    case FieldKind::LargeInt: return SQL_C_SBIGINT;
    case FieldKind::Float: return SQL_C_DOUBLE;
    case FieldKind::DateTime: return SQL_C_TYPE_TIMESTAMP;
    case FieldKind::Bytes:
    case FieldKind::VarBytes: return SQL_C_BINARY;
    default: return SQL_C_WCHAR;   // text, and decimals as text: the numeric C type would drop the fraction
    }
}

// The bytes one value of a column needs in a bound buffer, terminator included; 0 when its width
// is unknown or too large to bind. `size` is the described size: characters for text, digits
// for decimals, bytes for byte strings.
SQLLEN boundWidth(FieldKind kind, int size)
{
    switch (kind) {
    case FieldKind::SmallInt: return sizeof(SQLSMALLINT);
    case FieldKind::Integer: return sizeof(SQLINTEGER);
    case FieldKind::LargeInt: return sizeof(SQLBIGINT);
    case FieldKind::Float: return sizeof(SQLDOUBLE);
    case FieldKind::DateTime: return sizeof(SQL_TIMESTAMP_STRUCT);
    case FieldKind::Bytes:
    case FieldKind::VarBytes: return size > 0 && size <= kMaxBoundBytes ? size : 0;
    case FieldKind::BCD: return size > 0 ? (size + 3 + 1) * SQLLEN(sizeof(SQLWCHAR)) : 0;   // sign, point, leading 0
    default: return size > 0 && size <= kMaxBoundChars ? (size + 1) * SQLLEN(sizeof(SQLWCHAR)) : 0;
    }
}

// True when `slot` holds the value of a cell, neither null nor a date-time, of `kind` read as
// `cType`: `indicator` bytes, at most `room`. Compared in place, byte for byte, so that a zero
// keeps its sign.
bool holdsCell(const QVariant& slot, FieldKind kind, SQLSMALLINT cType, SQLLEN room, const char* cell,
               SQLLEN indicator)
{
    const QMetaType held = slot.metaType();
    const void* data = slot.constData();
    const auto sameNumber = [&](QMetaType type, size_t size) {
        return held == type && std::memcmp(data, cell, size) == 0;
    };
    switch (kind) {
    case FieldKind::SmallInt: return sameNumber(QMetaType::fromType<qint16>(), sizeof(qint16));
    case FieldKind::Integer: return sameNumber(QMetaType::fromType<int>(), sizeof(qint32));
    case FieldKind::LargeInt: return sameNumber(QMetaType::fromType<qlonglong>(), sizeof(qint64));
    case FieldKind::Float: return sameNumber(QMetaType::fromType<double>(), sizeof(double));
    default:
        if (indicator > room)
            return false;
        if (cType == SQL_C_WCHAR && held == QMetaType::fromType<QString>()) {
            const QString& text = *static_cast<const QString*>(data);
            return text.size() * SQLLEN(sizeof(char16_t)) == indicator
                   && std::memcmp(text.constData(), cell, size_t(indicator)) == 0;
        }
        if (cType == SQL_C_BINARY && held == QMetaType::fromType<QByteArray>()) {
            const QByteArray& bytes = *static_cast<const QByteArray*>(data);
            return bytes.size() == indicator && std::memcmp(bytes.constData(), cell, size_t(indicator)) == 0;
        }
        return false;
    }
}

QStringView textView(const char* data, SQLLEN bytes)
{
    return QStringView(reinterpret_cast<const char16_t*>(data), bytes / qsizetype(sizeof(SQLWCHAR)));
}

// The local offset from UTC at a wall-clock second (counted from 1970 as if it were UTC), when the
// zone keeps that offset for a day and more either side of it: a wall clock that is neither
// skipped nor repeated, read by converting instants to local time, which (unlike converting local
// time to an instant) the C library does without checking the zone file again. `guess` is any
// offset near the answer. Nothing near a change of offset: the caller asks the slower way then.
std::optional<int> steadyOffset(qint64 wallSecond, int guess)
{
    const auto offsetAt = [](qint64 instant) -> std::optional<long> {
        const time_t at = time_t(instant);
        tm local{};
        if (!localtime_r(&at, &local))
            return std::nullopt;
        return local.tm_gmtoff;
    };
    const std::optional<long> guessed = offsetAt(wallSecond - guess);
    if (!guessed)
        return std::nullopt;
    const qint64 instant = wallSecond - *guessed;
    const std::optional<long> offset = offsetAt(instant);
    constexpr qint64 margin = 25 * 3600;
    if (offset != guessed || offsetAt(instant - margin) != offset || offsetAt(instant + margin) != offset)
        return std::nullopt;
    return int(*offset);
}

template <typename T>
T load(const char* cell)
{
    T value;
    std::memcpy(&value, cell, sizeof value);
    return value;
}

} // namespace

// The distinct values of one column, by their bytes. A process list repeats its logins, hosts,
// programs, states and security ids from row to row: a repeat shares the value already held
// instead of allocating its own copy. At most kMaxPooledTexts are kept; once they are, a column
// whose values seldom repeat (a message, a number as text) stops looking them up, as the lookup
// would cost more than the copies it saves. The table is probed openly and hashes a word at a
// time: a general-purpose set costs more per row than the allocation it saves. It grows with the
// values met, so a column of a few states, or one read as numbers, keeps no table of every slot:
// the tables of a wide result, built and dropped by every statement, would otherwise fill the
// cache.
template <typename Value>
class OdbcStatement::ValuePool {
public:
    Value value(const char* data, qsizetype size)
    {
        if (!m_last.isNull() && sameBytes(m_last, data, size))
            return m_last;
        if (m_unpooled)
            return m_last = make(data, size);
        const quint64 hash = hashOf(data, size);
        if (m_count == kMaxPooledTexts && ++m_lookupsWhenFull == kMaxPooledTexts) {
            // Judged a window at a time: fewer than one in four found is a column of unique values.
            m_unpooled = 4 * m_foundWhenFull < m_lookupsWhenFull;
            m_lookupsWhenFull = m_foundWhenFull = 0;
        }
        if (2 * m_count >= m_slots.size() && m_slots.size() < kSlots)
            grow();
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            Entry& entry = m_slots[slot];
            if (entry.value.isNull()) {
                m_last = make(data, size);
                if (m_count < kMaxPooledTexts) {
                    entry = {hash, m_last};
                    ++m_count;
                }
                return m_last;
            }
            if (entry.hash == hash && sameBytes(entry.value, data, size)) {
                m_foundWhenFull += m_count == kMaxPooledTexts;
                return m_last = entry.value;
            }
        }
    }

private:
    static constexpr size_t kSlots = 2 * kMaxPooledTexts;   // at most half full
    static constexpr size_t kFirstSlots = 16;
    static_assert((kSlots & (kSlots - 1)) == 0 && kFirstSlots <= kSlots);

    struct Entry {
        quint64 hash = 0;
        Value value;
    };

    void grow()
    {
        std::vector<Entry> table(m_slots.empty() ? kFirstSlots : 2 * m_slots.size());
        const size_t mask = table.size() - 1;
        for (Entry& entry : m_slots) {
            if (entry.value.isNull())
                continue;
            size_t slot = entry.hash & mask;
            while (!table[slot].value.isNull())
                slot = (slot + 1) & mask;
            table[slot] = std::move(entry);
        }
        m_slots = std::move(table);
    }

    static qsizetype byteSize(const QString& value) { return value.size() * qsizetype(sizeof(char16_t)); }
    static qsizetype byteSize(const QByteArray& value) { return value.size(); }

    static bool sameBytes(const Value& value, const char* data, qsizetype size)
    {
        return byteSize(value) == size && std::memcmp(value.constData(), data, size_t(size)) == 0;
    }

    static Value make(const char* data, qsizetype size)
    {
        if constexpr (std::is_same_v<Value, QString>)
            return QString(reinterpret_cast<const QChar*>(data), size / qsizetype(sizeof(char16_t)));
        else
            return QByteArray(data, size);
    }

    static quint64 hashOf(const char* data, qsizetype size)
    {
        constexpr quint64 multiplier = 0x9e37'79b9'7f4a'7c15;
        quint64 hash = quint64(size) * multiplier;
        qsizetype at = 0;
        for (; at + 8 <= size; at += 8) {
            quint64 word;
            std::memcpy(&word, data + at, sizeof word);
            hash = std::rotl((hash ^ word) * multiplier, 29);
        }
        quint64 tail = 0;
        std::memcpy(&tail, data + at, size_t(size - at));
        hash = (hash ^ tail) * multiplier;
        return hash ^ (hash >> 32);
    }

    std::vector<Entry> m_slots;   // a power of two, at least twice the values held
    size_t m_count = 0;
    size_t m_lookupsWhenFull = 0;
    size_t m_foundWhenFull = 0;
    bool m_unpooled = false;
    Value m_last;   // asked first: the commonest repeat is of the row before
};

// One column of a block fetch: the read it serves and where its values are in a bound row.
struct OdbcStatement::BoundColumn {
    ColumnRead read;
    SQLLEN width;                    // bytes of one value
    SQLSMALLINT cType;               // of read.kind
    size_t offset;                   // of its length (or SQL_NULL_DATA) in a bound row; the value follows
    ValuePool<QString> texts;
    ValuePool<QByteArray> bytes;

    /// The most bytes a whole value of a text or byte string can have in a cell.
    SQLLEN room() const { return cType == SQL_C_WCHAR ? width - SQLLEN(sizeof(SQLWCHAR)) : width; }
};

const char* OdbcStatement::cellOf(const BoundColumn& column, SQLULEN row) const
{
    return m_block.get() + row * m_rowBytes + column.offset + sizeof(SQLLEN);
}

SQLLEN OdbcStatement::indicatorOf(const BoundColumn& column, SQLULEN row) const
{
    SQLLEN indicator;
    std::memcpy(&indicator, m_block.get() + row * m_rowBytes + column.offset, sizeof indicator);
    return indicator;
}

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
    , m_timeoutSeconds(std::max(timeoutSeconds, 0))
{
    m_connection.ensureAlive();
    m_stmt = OdbcHandle(SQL_HANDLE_STMT, m_connection.handle());
    // The driver counts its time-out for each read; it still ends the wait for a server that has
    // gone silent, even for the answer to a cancel. run() counts the whole call.
    SQLSetStmtAttr(m_stmt.get(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(m_timeoutSeconds)), 0);
}

OdbcStatement::~OdbcStatement() = default;

void OdbcStatement::run(const std::function<void()>& work)
{
    // The deadline falls a moment after the time-out: a server that sends nothing at all is timed
    // out by the driver itself, in its own words; the deadline ends an answer that keeps coming a
    // byte at a time.
    const auto deadline = m_timeoutSeconds > 0 ? std::chrono::seconds(m_timeoutSeconds) + kDeadlineGrace
                                               : std::chrono::milliseconds::zero();
    const WaitOutcome outcome = waitForServer(work, [this] { SQLCancel(m_stmt.get()); }, deadline);
    if (outcome.end == WaitEnd::DeadlinePassed)
        throw timeoutError(outcome.failure);
    if (outcome.failure)
        std::rethrow_exception(outcome.failure);
    // Cancelled as the last row came: what was read may still be short of the whole answer.
    if (outcome.end == WaitEnd::Cancelled)
        throw DbError(DbError::Cause::Link, QStringLiteral("Operation was cancelled."), {}, m_batch);
}

DbError OdbcStatement::timeoutError(const std::exception_ptr& failure) const
{
    std::vector<Diagnostic> records;
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const DbError& error) {
            records = error.records();
        }
    }
    const bool driverTimedOut = std::any_of(records.begin(), records.end(),
                                            [](const Diagnostic& d) { return d.sqlState == u"HYT00"; });
    if (!driverTimedOut) {
        // Worded as the driver words its own time-out, so that both read the same.
        const QString first = records.empty() ? QString() : records.front().message;
        const QString prefix = first.left(first.lastIndexOf(u']') + 1);
        records.insert(records.begin(), {QStringLiteral("HYT00"), 0, prefix + QStringLiteral("Timeout expired")});
    }
    return errorFromRecords(std::move(records), m_batch);
}

void OdbcStatement::check(SQLRETURN rc)
{
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        fail();
}

void OdbcStatement::fail()
{
    DbError error = odbcError(SQL_HANDLE_STMT, m_stmt.get(), m_batch);
    if (isLinkLoss(error.records()) || m_connection.driverReportsDead())
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
    drain();
}

void OdbcStatement::drain()
{
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

std::vector<std::vector<QVariant>> OdbcStatement::fetchAll(const std::vector<ColumnRead>& plan, size_t width,
                                                           std::vector<std::vector<QVariant>> reuse)
{
    // One SQLFetch for a block of bound rows costs far less than a call per value, but needs a
    // buffer that holds every value whole; a single long column sends the result piecewise.
    m_bound.reserve(plan.size());
    m_rowBytes = 0;
    for (const ColumnRead& read : plan) {
        const SQLLEN cellBytes = boundWidth(read.kind, m_columns[size_t(read.column)].size);
        if (cellBytes == 0)
            return fetchByRows(plan, width);
        m_bound.push_back({read, cellBytes, cTypeOf(read.kind), m_rowBytes, {}, {}});
        // Each length and value starts on a multiple of 8 bytes, as a length must.
        m_rowBytes += sizeof(SQLLEN) + (size_t(cellBytes) + 7) / 8 * 8;
    }
    return fetchByBlocks(width, std::clamp<SQLULEN>(kBlockBytes / std::max<size_t>(m_rowBytes, 1), 1, kBlockRows),
                         std::move(reuse));
}

std::vector<std::vector<QVariant>> OdbcStatement::fetchByRows(const std::vector<ColumnRead>& plan, size_t width)
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

std::vector<std::vector<QVariant>> OdbcStatement::fetchByBlocks(size_t width, SQLULEN blockRows,
                                                                std::vector<std::vector<QVariant>> reuse)
{
    // Bound by row: the driver writes, and the loop below reads, a row's values side by side.
    // The array size and the buffers are set once, and since the handle is freed with this
    // statement they are never undone. The block is left unwritten: it reaches a megabyte, and
    // clearing it would cost a one-row look-up more than its round trip.
    const SQLHSTMT stmt = m_stmt.get();
    m_rowStatus.resize(blockRows);
    m_block = std::make_unique_for_overwrite<char[]>(m_rowBytes * blockRows);
    check(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(m_rowBytes), 0));
    check(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(blockRows), 0));
    check(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &m_rowsFetched, 0));
    check(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, m_rowStatus.data(), 0));
    for (const BoundColumn& column : m_bound) {
        char* const length = m_block.get() + column.offset;
        check(SQLBindCol(stmt, SQLUSMALLINT(column.read.column + 1), column.cType, length + sizeof(SQLLEN),
                         column.width, reinterpret_cast<SQLLEN*>(length)));
    }

    // The slots no column fills: a reused row must hold nothing there either.
    std::vector<bool> read(width);
    for (const BoundColumn& column : m_bound)
        read[size_t(column.read.target)] = true;
    std::vector<size_t> unread;
    for (size_t slot = 0; slot < width; ++slot)
        if (!read[slot])
            unread.push_back(slot);

    std::vector<std::vector<QVariant>> rows = std::move(reuse);
    size_t count = 0;
    for (;;) {
        const SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA)
            break;
        check(rc);
        for (SQLULEN r = 0; r < m_rowsFetched; ++r, ++count) {
            if (m_rowStatus[r] == SQL_ROW_ERROR)
                fail();
            if (count < rows.size() && rows[count].size() == width) {
                std::vector<QVariant>& row = rows[count];
                for (size_t slot : unread)
                    row[slot] = QVariant();
                // A value of the earlier reading that has not changed stays as it is: a text or
                // byte string stays shared, and nothing is made.
                for (BoundColumn& column : m_bound) {
                    QVariant& slot = row[size_t(column.read.target)];
                    const SQLLEN indicator = indicatorOf(column, r);
                    const char* cell = cellOf(column, r);
                    if (indicator == SQL_NULL_DATA) {
                        if (!slot.isNull())
                            slot = QVariant();
                    } else if (indicator >= 0 && column.read.kind == FieldKind::DateTime) {
                        refillDateTime(slot, cell);
                    } else if (indicator < 0
                               || !holdsCell(slot, column.read.kind, column.cType, column.room(), cell, indicator)) {
                        slot = boundValue(column, r);
                    }
                }
                continue;
            }
            std::vector<QVariant> row(width);
            // The slots are null and own nothing: each value is made in its slot, where
            // assigning it would move it twice.
            for (BoundColumn& column : m_bound)
                ::new (&row[size_t(column.read.target)]) QVariant(boundValue(column, r));
            if (count < rows.size())
                rows[count] = std::move(row);
            else
                rows.push_back(std::move(row));
        }
    }
    rows.erase(rows.begin() + qsizetype(count), rows.end());
    return rows;
}

void OdbcStatement::refillDateTime(QVariant& slot, const char* cell)
{
    // Worked out as for a new value; only the date-time itself is not made.
    const LocalInstant instant = localInstant(load<SQL_TIMESTAMP_STRUCT>(cell));
    if (slot.metaType() != QMetaType::fromType<QDateTime>()
        || !instant.isHeldBy(*static_cast<const QDateTime*>(slot.constData())))
        slot = QVariant(instant.dateTime());
}

QVariant OdbcStatement::boundValue(BoundColumn& column, SQLULEN row)
{
    const SQLLEN indicator = indicatorOf(column, row);
    if (indicator == SQL_NULL_DATA)
        return {};
    checkIndicator(indicator, size_t(column.read.column));
    const char* cell = cellOf(column, row);
    const SQLSMALLINT cType = column.cType;
    if (cType == SQL_C_BINARY || cType == SQL_C_WCHAR) {
        // The width comes from the column's description; a driver that sends more must not
        // have the rest silently dropped.
        if (indicator == SQL_NO_TOTAL || indicator > column.room())
            throw DbError(DbError::Cause::Binding,
                          QStringLiteral("Column '%1' holds a value longer than its described size (%2).")
                              .arg(m_columns[size_t(column.read.column)].name)
                              .arg(m_columns[size_t(column.read.column)].size),
                          {}, m_batch);
        if (cType == SQL_C_BINARY)
            return column.bytes.value(cell, qsizetype(indicator));
        return column.texts.value(cell, qsizetype(indicator));
    }
    return fixedValue(column.read.kind, cell);
}

QVariant OdbcStatement::readValue(SQLUSMALLINT column, FieldKind kind)
{
    const SQLSMALLINT cType = cTypeOf(kind);
    if (cType == SQL_C_WCHAR)
        return readText(column);
    if (cType == SQL_C_BINARY)
        return readBytes(column);
    alignas(std::max_align_t) char cell[sizeof(SQL_TIMESTAMP_STRUCT)];
    SQLLEN indicator = 0;
    check(SQLGetData(m_stmt.get(), column, cType, cell, sizeof cell, &indicator));
    return indicator == SQL_NULL_DATA ? QVariant() : fixedValue(kind, cell);
}

QVariant OdbcStatement::fixedValue(FieldKind kind, const char* cell)
{
    switch (kind) {
    case FieldKind::SmallInt: return QVariant::fromValue(load<qint16>(cell));
    case FieldKind::Integer: return QVariant(int(load<qint32>(cell)));
    case FieldKind::LargeInt: return QVariant(qlonglong(load<qint64>(cell)));
    case FieldKind::Float: return QVariant(load<double>(cell));
    case FieldKind::DateTime: return localInstant(load<SQL_TIMESTAMP_STRUCT>(cell)).dateTime();
    default: return {};   // text and byte strings are read by their own paths
    }
}

QDateTime OdbcStatement::LocalInstant::dateTime() const
{
    // Made from the instant rather than from a date and a time: the same value, made faster.
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::OffsetFromUTC, offsetSeconds);
}

bool OdbcStatement::LocalInstant::isHeldBy(const QDateTime& time) const
{
    // A zero offset makes a UTC value.
    return time.timeSpec() == (offsetSeconds != 0 ? Qt::OffsetFromUTC : Qt::UTC)
           && time.offsetFromUtc() == offsetSeconds && time.toMSecsSinceEpoch() == msecs;
}

OdbcStatement::LocalInstant OdbcStatement::localInstant(const SQL_TIMESTAMP_STRUCT& ts)
{
    // The fraction is in nanoseconds; the server keeps 1/300 s, so round to the nearest ms
    // (999.5 ms and up carries into the next second, minute or day).
    // Rows come in runs of one day: the day's number is worked out once for the run.
    if (ts.year != m_day.year || ts.month != m_day.month || ts.day != m_day.day) {
        const QDate date(ts.year, ts.month, ts.day);
        if (!date.isValid())
            throw DbError(DbError::Cause::Binding,
                          QStringLiteral("The server sent an impossible date (year %1, month %2, day %3).")
                              .arg(ts.year).arg(ts.month).arg(ts.day),
                          {}, m_batch);
        m_day = {ts.year, ts.month, ts.day, date.toJulianDay()};
    }
    const qint64 wallMs = m_day.julianDay * kMsPerDay
        + ((ts.hour * 60 + ts.minute) * 60 + ts.second) * qint64(1000) + (ts.fraction + 500000) / 1000000;
    // The server's value has no zone: it is the local wall clock. Held with the local offset of
    // its minute it keeps that wall clock exactly (even in a daylight-saving gap, where a local
    // time would be moved) and compares as the local instant. The offset is asked for once per
    // minute; converting local time checks the zone file on every call, so that way is taken only
    // near a change of offset, where it decides which of a repeated hour's offsets applies.
    const qint64 minute = wallMs / 60000;
    MinuteOffset& offset = m_offsets[size_t(minute) % m_offsets.size()];
    if (minute != offset.minute) {
        offset.minute = minute;
        const qint64 wallSecond = (minute * 60000 - kEpochMs) / 1000;
        if (const std::optional<int> steady = steadyOffset(wallSecond, m_lastOffset)) {
            offset.seconds = *steady;
        } else {
            const QDateTime wallMinute = QDateTime::fromSecsSinceEpoch(wallSecond, Qt::UTC);
            offset.seconds = QDateTime(wallMinute.date(), wallMinute.time(), Qt::LocalTime).offsetFromUtc();
        }
        m_lastOffset = offset.seconds;
    }
    return {wallMs - kEpochMs - offset.seconds * qint64(1000), offset.seconds};
}

QVariant OdbcStatement::readText(SQLUSMALLINT column)
{
    QString text;
    const SQLLEN capacity = SQLLEN(kChunkBytes);
    char* const chunk = this->chunk();
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(m_stmt.get(), column, SQL_C_WCHAR, chunk, capacity, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        check(rc);
        if (indicator == SQL_NULL_DATA)
            return {};
        checkIndicator(indicator, column - 1u);
        // A full buffer holds one terminator; the rest comes with the next call.
        const bool more = rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator >= capacity);
        const SQLLEN bytes = more ? capacity - SQLLEN(sizeof(SQLWCHAR)) : indicator;
        if (!more && text.isNull())
            return textView(chunk, bytes).toString();   // the usual single read: one exact allocation
        text.append(textView(chunk, bytes));
        if (!more)
            break;
    }
    return QVariant(std::move(text));
}

char* OdbcStatement::chunk()
{
    if (!m_chunk)
        m_chunk = std::make_unique_for_overwrite<char[]>(kChunkBytes);
    return m_chunk.get();
}

void OdbcStatement::checkIndicator(SQLLEN indicator, size_t columnIndex) const
{
    if (indicator < 0 && indicator != SQL_NULL_DATA && indicator != SQL_NO_TOTAL)
        throw DbError(DbError::Cause::Binding,
                      QStringLiteral("Column '%1' came with an impossible length (%2).")
                          .arg(m_columns[columnIndex].name).arg(qint64(indicator)),
                      {}, m_batch);
}

QVariant OdbcStatement::readBytes(SQLUSMALLINT column)
{
    QByteArray bytes;
    const SQLLEN capacity = SQLLEN(kChunkBytes);
    char* const chunk = this->chunk();
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(m_stmt.get(), column, SQL_C_BINARY, chunk, capacity, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        check(rc);
        if (indicator == SQL_NULL_DATA)
            return {};
        checkIndicator(indicator, column - 1u);
        const bool more = rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || indicator > capacity);
        bytes.append(chunk, more ? capacity : indicator);
        if (!more)
            break;
    }
    return QVariant(std::move(bytes));
}

} // namespace velmora
