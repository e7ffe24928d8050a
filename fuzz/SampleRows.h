// A result set's worth of fields and rows for the filter and sort targets: one field of every
// kind, rows with ordinary, extreme and missing values.
#pragma once

#include "FieldDef.h"

#include <QDateTime>
#include <limits>
#include <vector>

namespace velmora::fuzz {

inline std::vector<FieldDef> sampleFields()
{
    return {
        {QStringLiteral("spid"), FieldKind::SmallInt},
        {QStringLiteral("cpu"), FieldKind::Integer},
        {QStringLiteral("physical_io"), FieldKind::LargeInt},
        {QStringLiteral("ratio"), FieldKind::Float},
        {QStringLiteral("size"), FieldKind::BCD},
        {QStringLiteral("login_time"), FieldKind::DateTime},
        {QStringLiteral("status"), FieldKind::String, 30},
        {QStringLiteral("cmd"), FieldKind::FixedChar, 16},
        {QStringLiteral("loginame"), FieldKind::WideString, 128},
        {QStringLiteral("nt_domain"), FieldKind::FixedWideChar, 128},
        {QStringLiteral("sid"), FieldKind::Bytes, 86},
        {QStringLiteral("context_info"), FieldKind::VarBytes, 128},
    };
}

inline std::vector<Row> sampleRows()
{
    const QDateTime login(QDate(2001, 3, 14), QTime(9, 26, 53, 590));
    std::vector<Row> rows = {
        {qint16(51), 100, qint64(12), 0.5, QStringLiteral("12.50"), login, QStringLiteral("sleeping"),
         QStringLiteral("AWAITING COMMAND"), QStringLiteral("sa"), QStringLiteral("DOMAIN"),
         QByteArray("\x01\x02", 2), QByteArray()},
        {qint16(-32768), std::numeric_limits<int>::min(), std::numeric_limits<qint64>::max(),
         -std::numeric_limits<double>::infinity(), QStringLiteral("-99999999999999999999.9999"),
         QDateTime(QDate(1753, 1, 1), QTime(0, 0)), QStringLiteral("O'Brien"), QString(),
         QStringLiteral("Ünïcødé 名前"), QStringLiteral(" "), QByteArray(86, '\xFF'),
         QByteArray("\0", 1)},
        {qint16(32767), std::numeric_limits<int>::max(), std::numeric_limits<qint64>::min(),
         std::numeric_limits<double>::quiet_NaN(), QStringLiteral("0"),
         QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 997)), QStringLiteral("%_[]"),
         QStringLiteral("KILLED/ROLLBACK"), QStringLiteral("sa"), QStringLiteral("[x]"),
         QByteArray(), QByteArray("abc")},
    };
    rows.emplace_back(sampleFields().size());   // every value missing
    return rows;
}

} // namespace velmora::fuzz
