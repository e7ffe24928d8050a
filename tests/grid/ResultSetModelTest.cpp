// The table model over a held result set: display texts by field kind, alignment, titles, and
// following the query through sort, append and close.
#include "ResultSetModel.h"

#include "Query.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <gtest/gtest.h>

using namespace velmora;

namespace {

GridColumn gridColumn(const QString& fieldName)
{
    GridColumn column;
    column.fieldName = fieldName;
    return column;
}

std::string modelRow(const QAbstractItemModel& model, int row)
{
    QStringList cells;
    for (int column = 0; column < model.columnCount(); ++column)
        cells << model.index(row, column).data().toString();
    return cells.join(QLatin1Char('|')).toStdString();
}

std::vector<std::string> modelRows(const QAbstractItemModel& model)
{
    std::vector<std::string> rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows.push_back(modelRow(model, row));
    return rows;
}

class ResultSetModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        query.setFields({{QStringLiteral("spid"), FieldKind::SmallInt},
                         {QStringLiteral("cpu"), FieldKind::Integer},
                         {QStringLiteral("loginame"), FieldKind::FixedChar, 6},
                         {QStringLiteral("login_time"), FieldKind::DateTime}});
        query.createDataSet();
        const QDateTime noon(QDate(2024, 3, 5), QTime(12, 0, 1));
        query.appendRow({57, 0, QStringLiteral("sa    "), noon});
        query.appendRow({12, 300, QStringLiteral("dbo   "), QVariant()});
        query.appendRow({33, 20, QVariant(), noon.addDays(1)});
        columns = {gridColumn(QStringLiteral("spid")), gridColumn(QStringLiteral("loginame")),
                   gridColumn(QStringLiteral("cpu"))};
        model.setQuery(&query);
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    Query query;
    GridColumns columns;
    ResultSetModel model{columns};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

} // namespace

TEST(FieldText, CellsAndValueListsSpellEachKindInTheLocale)
{
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QDateTime afternoon(QDate(2024, 3, 5), QTime(14, 7, 9));
    struct Case {
        QVariant value;
        FieldKind kind;
        QLocale locale;
        QString cell;   // fieldDisplayText
        QString list;   // fieldListText
    };
    const Case cases[] = {
        {QVariant(), FieldKind::Integer, ru, QString(), QString()},
        {QVariant(), FieldKind::Bytes, ru, QString(), QString()},
        {qint64(5000000000), FieldKind::LargeInt, ru, QStringLiteral("5000000000"), QStringLiteral("5000000000")},
        {1234.5, FieldKind::Float, ru, QStringLiteral("1234,5"), QStringLiteral("1234,5")},
        {0.1 + 0.2, FieldKind::Float, us, QStringLiteral("0.3"), QStringLiteral("0.3")},
        {QStringLiteral("12.50"), FieldKind::BCD, ru, QStringLiteral("12,50"), QStringLiteral("12,50")},
        {afternoon, FieldKind::DateTime, ru, QStringLiteral("05.03.2024 14:07:09"), QStringLiteral("05.03.2024 14:07:09")},
        {afternoon, FieldKind::DateTime, us, QStringLiteral("3/5/24 2:07:09 PM"), QStringLiteral("3/5/24 2:07:09 PM")},
        {QDateTime(QDate(2024, 3, 5), QTime(0, 0)), FieldKind::DateTime, ru, QStringLiteral("05.03.2024"),
         QStringLiteral("05.03.2024")},
        {QDateTime(QDate(2024, 3, 5), QTime(0, 0, 0, 3)), FieldKind::DateTime, ru, QStringLiteral("05.03.2024 00:00:00"),
         QStringLiteral("05.03.2024 00:00:00")},
        // Byte strings: hex in a cell, the bytes themselves as characters in a list.
        {QByteArray("\x01\xab", 2), FieldKind::VarBytes, ru, QStringLiteral("0x01AB"), QStringLiteral("\u0001\u00ab")},
        {QByteArray("AB", 2), FieldKind::Bytes, ru, QStringLiteral("0x4142"), QStringLiteral("AB")},
        // Fixed-width text: padded in a cell, without the padding in a list.
        {QStringLiteral("sa  "), FieldKind::FixedChar, ru, QStringLiteral("sa  "), QStringLiteral("sa")},
        {QStringLiteral(" x  "), FieldKind::FixedWideChar, ru, QStringLiteral(" x  "), QStringLiteral(" x")},
        {QStringLiteral("sa  "), FieldKind::WideString, ru, QStringLiteral("sa  "), QStringLiteral("sa  ")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fieldDisplayText(c.value, c.kind, c.locale).toStdString(), c.cell.toStdString())
            << "kind " << qPrintable(fieldKindName(c.kind)) << ", " << qPrintable(c.locale.name());
        EXPECT_EQ(fieldListText(c.value, c.kind, c.locale).toStdString(), c.list.toStdString())
            << "kind " << qPrintable(fieldKindName(c.kind)) << ", " << qPrintable(c.locale.name());
    }
}

TEST_F(ResultSetModelTest, ShowsTheVisibleRowsInColumnOrder)
{
    EXPECT_EQ(modelRows(model), (std::vector<std::string>{"57|sa    |0", "12|dbo   |300", "33||20"}));
    EXPECT_EQ(model.index(0, 0).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(model.index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignLeft, Qt::AlignLeft);
    EXPECT_FALSE(model.index(0, 0).data(Qt::BackgroundRole).isValid());
}

TEST_F(ResultSetModelTest, FollowsSortAppendAndClose)
{
    query.setSort(QStringLiteral("cpu DESC"));
    EXPECT_EQ(modelRows(model), (std::vector<std::string>{"12|dbo   |300", "33||20", "57|sa    |0"}));
    query.appendRow({99, 5, QStringLiteral("web   "), QVariant()});
    EXPECT_EQ(model.rowCount(), 4);
    query.close();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 3);
}
