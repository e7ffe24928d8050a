// One batch sent over an OdbcConnection: its results walked, its columns described and typed,
// its rows fetched with the wide functions (text as UTF-16, decimals as exact text), in blocks of
// rows when every column read has a bounded width. A statement may carry one batch after another
// when each was read through to its end (drain) and none in blocks.
#pragma once

#include "FieldKind.h"
#include "OdbcConnection.h"

#include <QDateTime>
#include <QVariant>
#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace velmora {

struct ResultColumn {
    QString name;
    FieldKind kind = FieldKind::WideString;
    int size = 0;   // characters for text, bytes for byte strings, as the driver describes it
};

/// One column to read from each row: server column `column` (0-based) read as `kind` into slot
/// `target` of the row.
struct ColumnRead {
    int column;
    int target;
    FieldKind kind;
};

/// The kind a result column of this ODBC SQL type is held as.
FieldKind fieldKindForSqlType(SQLSMALLINT sqlType);

class OdbcStatement {
public:
    /// Throws DbError (Link) when the connection's link is already gone.
    OdbcStatement(OdbcConnection& connection, int timeoutSeconds);
    ~OdbcStatement();

    /// Runs `work`, the calls made on this statement, on the worker thread while this thread waits
    /// (see waitForServer). The operator's cancel, and the time-out counted for the whole of
    /// `work`, cancel the batch on the server. Throws what `work` throws; DbError (Link) with the
    /// time-out's text once the time-out has passed, and on a cancel.
    void run(const std::function<void()>& work);

    /// Sends the batch and moves to its first result with columns; false when it has none.
    /// Throws DbError for every failure up to that result.
    bool openFirstResultWithColumns(const QString& batch);
    /// Sends the batch and reads through all of its results. Throws DbError.
    void runToEnd(const QString& batch);
    /// Reads through the results left after the current one. The driver reports some failures
    /// (a value longer than its column) only here. Throws DbError.
    void drain();

    const std::vector<ResultColumn>& columns() const { return m_columns; }

    /// Fetches every row of the current result into rows of `width` values (null where nothing is
    /// read). Called once on a statement. Precondition: `plan` is in ascending column order.
    /// `reuse`, the rows of an earlier reading, are filled again in their order when the result is
    /// read in blocks: a text or byte string equal to the one in its place is kept, not made anew,
    /// so a list read again and mostly unchanged costs little more than the reading.
    /// Throws DbError.
    std::vector<std::vector<QVariant>> fetchAll(const std::vector<ColumnRead>& plan, size_t width,
                                                std::vector<std::vector<QVariant>> reuse = {});
    /// As fetchAll, but value by value: nothing to set up and undo, so the cheaper way to read an
    /// answer of a row or a few, the dearer one for many rows.
    std::vector<std::vector<QVariant>> fetchByRows(const std::vector<ColumnRead>& plan, size_t width);

private:
    template <typename Value> class ValuePool;
    struct BoundColumn;

    void execute(const QString& batch);
    DbError timeoutError(const std::exception_ptr& failure) const;
    void describe();
    void check(SQLRETURN rc);
    [[noreturn]] void fail();
    std::vector<std::vector<QVariant>> fetchByBlocks(size_t width, SQLULEN blockRows,
                                                     std::vector<std::vector<QVariant>> reuse);
    QVariant boundValue(BoundColumn& column, SQLULEN row);
    const char* cellOf(const BoundColumn& column, SQLULEN row) const;
    SQLLEN indicatorOf(const BoundColumn& column, SQLULEN row) const;
    /// Puts the date-time of `cell` in `slot`, keeping what is there when it is the same value.
    void refillDateTime(QVariant& slot, const char* cell);
    QVariant readValue(SQLUSMALLINT column, FieldKind kind);
    QVariant fixedValue(FieldKind kind, const char* cell);
    QVariant readText(SQLUSMALLINT column);
    /// A server date-time (a local wall clock) as the instant it names and the local offset
    /// from UTC it is held with.
    struct LocalInstant {
        qint64 msecs;   // since 1970 UTC
        int offsetSeconds;

        QDateTime dateTime() const;
        /// True when `time` is the value dateTime() makes.
        bool isHeldBy(const QDateTime& time) const;
    };
    LocalInstant localInstant(const SQL_TIMESTAMP_STRUCT& ts);
    QVariant readBytes(SQLUSMALLINT column);
    /// The buffer variable-length reads take their pieces in.
    char* chunk();
    /// Throws DbError (Binding) for a length below zero other than null and no-total.
    void checkIndicator(SQLLEN indicator, size_t columnIndex) const;

    OdbcConnection& m_connection;
    int m_timeoutSeconds;
    // A block fetch's buffers. The driver keeps pointers to them until the handle is freed, so
    // they are declared before it and outlive it.
    std::vector<BoundColumn> m_bound;
    size_t m_rowBytes = 0;             // of one bound row: each column's length, then its value
    std::unique_ptr<char[]> m_block;   // the rows of a block, one after the other
    std::vector<SQLUSMALLINT> m_rowStatus;
    SQLULEN m_rowsFetched = 0;
    OdbcHandle m_stmt;
    QString m_batch;
    std::vector<ResultColumn> m_columns;
    std::unique_ptr<char[]> m_chunk;   // kChunkBytes, made by the first variable-length read, left unwritten
    /// Local time minus UTC at a wall-clock minute (counted from Julian day 0), for the minutes
    /// met lately: a slot per minute modulo the table's size, so that the columns of one row
    /// (a login time and a last batch hours apart) do not evict each other.
    struct MinuteOffset {
        qint64 minute = -1;
        int seconds = 0;
    };
    std::array<MinuteOffset, 64> m_offsets{};
    int m_lastOffset = 0;   // the offset last asked for: where the next one is looked for first
    /// A valid date, held with its Julian day number.
    struct Day {
        SQLSMALLINT year;
        SQLUSMALLINT month;
        SQLUSMALLINT day;
        qint64 julianDay;
    };
    Day m_day{1970, 1, 1, 2440588};   // the date last read
};

} // namespace velmora
