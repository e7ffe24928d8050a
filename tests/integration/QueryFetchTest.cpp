// Fetching whole results through the real driver: rows read a block at a time must come back
// value for value as the row-by-row reads give them, across block boundaries, with nulls,
// padding, repeated texts and the widest values a column can hold.
#include "Connection.h"
#include "DbError.h"
#include "Query.h"
#include "SimFixture.h"

#include <QDateTime>
#include <bit>
#include <gtest/gtest.h>

using namespace velmora;
using sqlsim::SqlType;

namespace {

// Every kind, at widths a block holds whole. The decimal(4,4) column is as wide as its text
// can get: sign, leading zero, point and four digits.
const std::vector<sqlsim::Column> boundedColumns = {
    {"id", SqlType::Int}, {"small", SqlType::SmallInt}, {"big", SqlType::BigInt}, {"ratio", SqlType::Float},
    {"money", SqlType::Decimal, 0, 18, 4}, {"fraction", SqlType::Decimal, 0, 4, 4}, {"stamp", SqlType::DateTime},
    {"fixed", SqlType::Char, 5}, {"wfixed", SqlType::NChar, 10}, {"wtext", SqlType::NVarChar, 40},
    {"bin", SqlType::Binary, 4}, {"varbin", SqlType::VarBinary, 16},
};

std::vector<FieldDef> boundedFields()
{
    return {
        {"id", FieldKind::Integer}, {"small", FieldKind::SmallInt}, {"big", FieldKind::LargeInt},
        {"ratio", FieldKind::Float}, {"money", FieldKind::BCD}, {"fraction", FieldKind::BCD},
        {"stamp", FieldKind::DateTime}, {"fixed", FieldKind::FixedChar, 5}, {"wfixed", FieldKind::FixedWideChar, 10},
        {"wtext", FieldKind::WideString, 40}, {"bin", FieldKind::Bytes, 4}, {"varbin", FieldKind::VarBytes, 16},
    };
}

// Row i: nulls in a pattern that crosses every block boundary, texts that repeat from the row
// before, repeat after a gap, or never repeat, the widest values, empty ones, zeros of both signs
// in neighbouring rows.
std::vector<sqlsim::Value> boundedRow(int i)
{
    const bool null = i % 5 == 3;
    auto orNull = [null](sqlsim::Value value) { return null ? sqlsim::Value() : value; };
    const QString host = i % 3 == 0 ? QStringLiteral("Сервер-%1").arg(i) : QStringLiteral("WORKSTATION-%1").arg(i % 7);
    return {
        qint64(i), orNull(qint64(i % 2 ? -32768 : 32767)), orNull(qint64(i) * 5000000000LL),
        orNull(i % 6 == 0 ? 0.0 : i % 6 == 1 ? -0.0 : i / 3.0), orNull(QStringLiteral("%1%2.%3").arg(i % 2 ? "-" : "").arg(i * 1000003).arg(i % 10000, 4, 10, QChar(u'0'))),
        orNull(i % 2 ? QStringLiteral("-0.9999") : QStringLiteral("0.0001")),
        orNull(QDateTime(QDate(2026, 12, 9), QTime(6, 0)).addMSecs(qint64(i) * 59990)),
        orNull(i % 4 ? QStringLiteral("ab") : QStringLiteral("abcde")), orNull(QStringLiteral("sa")),
        i % 11 == 0 ? QString("") : orNull(i % 17 == 0 ? QString(40, u'Ж') : host),
        orNull(QByteArray("\x01\x00\x02", 3)), orNull(QByteArray(i % 17, char(i))),
    };
}

sqlsim::ResultSet table(int rowCount, bool withMemo, int firstRow = 0)
{
    sqlsim::ResultSet result;
    result.columns = boundedColumns;
    if (withMemo)
        result.columns.push_back({"memo", SqlType::VarChar, 8000});
    for (int i = firstRow; i < firstRow + rowCount; ++i) {
        std::vector<sqlsim::Value> row = boundedRow(i);
        if (withMemo)
            row.push_back(i % 4 == 1 ? sqlsim::Value() : sqlsim::Value(QString(i % 3 ? 5000 : 3, QChar(u'a' + i % 26))));
        result.rows.push_back(std::move(row));
    }
    return result;
}

class QueryFetch : public ::testing::Test {
protected:
    void SetUp() override
    {
        connection.setConnectionString(sim.oledbConnectionString());
        connection.open();
        query.setConnection(&connection);
    }

    void putTable(const char* name, sqlsim::ResultSet result)
    {
        std::lock_guard lock(sim.engine().mutex());
        sim.engine().state().tables[name] = std::move(result);
    }

    std::vector<Row> fetch(const QString& tableName, std::vector<FieldDef> fields)
    {
        query.close();
        query.setSql({QStringLiteral("Select * from ") + tableName});
        query.setFields(std::move(fields));
        query.open();
        std::vector<Row> rows;
        for (int i = 0; i < query.heldRowCount(); ++i)
            rows.push_back(query.heldRow(i));
        return rows;
    }

    SimFixture sim{sqlsim::ServerVersion::Sql2000, false};
    Connection connection;
    Query query;
};

// A cell as type and text, so that a different C type or a cut text shows in the message.
std::string describe(const QVariant& value)
{
    if (!value.isValid())
        return "NULL";
    const QDateTime stamp = value.toDateTime();
    // A double by its bits: 0 and -0 read the same as text.
    const QString text = value.typeId() == QMetaType::Double ? QString::number(std::bit_cast<quint64>(value.toDouble()), 16)
        : value.typeId() == QMetaType::QByteArray ? QString::fromLatin1(value.toByteArray().toHex())
        : value.typeId() == QMetaType::QDateTime
        ? stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")) + QString::number(stamp.offsetFromUtc())
        : value.toString();
    return std::string(value.typeName()) + ':' + text.toStdString();
}

} // namespace

TEST_F(QueryFetch, BlocksGiveTheSameValuesAsRowByRowReads)
{
    // Around one block of rows and its boundaries; none at all; more distinct texts than a
    // column keeps for sharing, and enough rows after them for a column of unique texts (money)
    // to stop looking its values up.
    for (const int rowCount : {0, 1, 255, 256, 257, 600, 2000}) {
        SCOPED_TRACE(rowCount);
        putTable("Bounded", table(rowCount, false));
        putTable("WithMemo", table(rowCount, true));
        const std::vector<Row> blocks = fetch(QStringLiteral("Bounded"), boundedFields());
        std::vector<FieldDef> withMemo = boundedFields();
        withMemo.push_back({"memo", FieldKind::String, 8000});
        const std::vector<Row> single = fetch(QStringLiteral("WithMemo"), withMemo);

        ASSERT_EQ(blocks.size(), size_t(rowCount));
        ASSERT_EQ(single.size(), size_t(rowCount));
        for (size_t r = 0; r < blocks.size(); ++r)
            for (size_t c = 0; c < blocks[r].size(); ++c)
                ASSERT_EQ(describe(blocks[r][c]), describe(single[r][c])) << "row " << r << " column " << c;
    }
}

TEST_F(QueryFetch, ValuesSurviveTheBlockBoundaryExactly)
{
    putTable("Bounded", table(600, false));
    const std::vector<Row> rows = fetch(QStringLiteral("Bounded"), boundedFields());
    ASSERT_EQ(rows.size(), 600u);
    // Rows 256..258 straddle the first boundary; 258 is all nulls but its key.
    EXPECT_EQ(describe(rows[256][7]), "QString:abcde");
    EXPECT_EQ(describe(rows[257][7]), "QString:ab   ");
    EXPECT_EQ(describe(rows[256][8]), "QString:sa        ");
    EXPECT_EQ(describe(rows[256][4]), "QString:256000768.0256");
    EXPECT_EQ(rows[257][5].toString().remove(u'0'), QStringLiteral("-.9999"));
    const QDateTime stamp = QDateTime(QDate(2026, 12, 9), QTime(6, 0)).addMSecs(257 * 59990);
    EXPECT_EQ(rows[257][6].toDateTime(), stamp);
    EXPECT_EQ(rows[257][6].toDateTime().time(), stamp.time());
    for (size_t c = 1; c < rows[258].size(); ++c)
        EXPECT_FALSE(rows[258][c].isValid()) << c;
    EXPECT_EQ(describe(rows[258][0]), "int:258");
    EXPECT_EQ(rows[261][9].toString(), QStringLiteral("Сервер-261"));
    EXPECT_EQ(rows[257][9].toString(), QStringLiteral("WORKSTATION-5"));
    EXPECT_EQ(rows[271][9].toString(), QStringLiteral("WORKSTATION-5"));   // repeated after a gap
    EXPECT_EQ(rows[272][9].toString(), QString(40, u'Ж'));
    EXPECT_EQ(describe(rows[264][9]), "QString:");
    EXPECT_EQ(describe(rows[264][10]), "QByteArray:01000200");
    EXPECT_EQ(describe(rows[256][11]), "QByteArray:00");
    EXPECT_EQ(describe(rows[272][11]), "QByteArray:");
}

TEST_F(QueryFetch, LongTextColumnIsReadWholeRowByRow)
{
    putTable("WithMemo", table(40, true));
    std::vector<FieldDef> fields = {{"id", FieldKind::Integer}, {"memo", FieldKind::String, 8000}};
    const std::vector<Row> rows = fetch(QStringLiteral("WithMemo"), fields);
    ASSERT_EQ(rows.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        SCOPED_TRACE(i);
        if (i % 4 == 1)
            EXPECT_FALSE(rows[size_t(i)][1].isValid());
        else
            EXPECT_EQ(rows[size_t(i)][1].toString(), QString(i % 3 ? 5000 : 3, QChar(u'a' + i % 26)));
    }
}

TEST_F(QueryFetch, ReadingAgainOverTheEarlierRowsGivesExactlyTheNewValues)
{
    std::vector<FieldDef> fields = boundedFields();
    fields.push_back({"mark", FieldKind::WideString, 10, false, true});
    query.setSql({QStringLiteral("Select * from Bounded")});
    query.setFields(fields);
    Query fresh;
    fresh.setConnection(&connection);
    fresh.setSql(query.sql());
    fresh.setFields(fields);
    // The same rows again, then rows shifted against the reading before (every null, text and
    // byte string moves) while the list shrinks and grows across block boundaries. Only the
    // first reading marks its rows: a calculated field left unset must read as null again.
    bool mark = true;
    query.onCalcFields = fresh.onCalcFields = [&mark](Query& q) {
        if (mark)
            q.setValue(12, QStringLiteral("seen"));
    };
    const std::pair<int, int> readings[] = {{600, 0}, {600, 0}, {300, 1}, {700, 3}, {0, 0}, {2, 5}};
    for (const auto& [rowCount, firstRow] : readings) {
        SCOPED_TRACE(testing::Message() << rowCount << " rows from " << firstRow);
        putTable("Bounded", table(rowCount, false, firstRow));
        query.reopen(QString());
        fresh.close();
        fresh.open();
        mark = false;
        ASSERT_EQ(query.heldRowCount(), rowCount);
        ASSERT_EQ(fresh.heldRowCount(), rowCount);
        for (int r = 0; r < rowCount; ++r)
            for (size_t c = 0; c < fields.size(); ++c)
                ASSERT_EQ(describe(query.heldRow(r)[c]), describe(fresh.heldRow(r)[c])) << "row " << r << " column " << c;
    }
}
