// `:NAME` markers become T-SQL literals, never raw text: whatever a value holds, the batch the
// server receives has exactly the statements the screen declared.
#include "DbError.h"
#include "Query.h"
#include "SqlParameters.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace velmora;

TEST(QueryParameters, MarkersAreFoundOnlyOutsideLiteralsNamesAndComments)
{
    const QString batch = QStringLiteral(
        "exec(' Use master insert #t exec sp_readerrorlog '+:LID)\r\n"
        "select ':NOT', [a:NOT], \"b:NOT\" -- :NOT\r\n"
        "/* :NOT /* nested :NOT */ still :NOT */ select ::fn_x(), :BD, :_x1\r\n");
    EXPECT_EQ(bindParameters(batch, {QVariant(1), QVariant(2), QVariant(3)}),
              QStringLiteral("exec(' Use master insert #t exec sp_readerrorlog '+1)\r\n"
                             "select ':NOT', [a:NOT], \"b:NOT\" -- :NOT\r\n"
                             "/* :NOT /* nested :NOT */ still :NOT */ select ::fn_x(), 2, 3\r\n"));
}

TEST(QueryParameters, ValuesBecomeLiteralsOfTheirType)
{
    struct Case {
        QVariant value;
        QString literal;
    };
    const Case cases[] = {
        {QVariant(), QStringLiteral("NULL")},
        {QVariant(qint32(-42)), QStringLiteral("-42")},
        {QVariant(qint64(5000000000LL)), QStringLiteral("5000000000")},
        {QVariant(true), QStringLiteral("1")},
        {QVariant(0.1), QStringLiteral("0.1")},
        {QVariant(QStringLiteral("master")), QStringLiteral("N'master'")},
        {QVariant(QStringLiteral("O'Brien'; drop table x --")), QStringLiteral("N'O''Brien''; drop table x --'")},
        {QVariant(QStringLiteral("База")), QStringLiteral("N'База'")},
        {QVariant(QByteArray("\x01\xff", 2)), QStringLiteral("0x01ff")},
        {QVariant(QDateTime(QDate(2026, 12, 9), QTime(6, 7, 8, 123))), QStringLiteral("'20261209 06:07:08.123'")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sqlLiteral(c.value), c.literal) << c.literal.toStdString();
}

TEST(QueryParameters, BindsByPositionAndRefusesWhatCannotBeSentSafely)
{
    EXPECT_EQ(bindParameters(QStringLiteral("sp_helpdb :BD; select :A, :BD"),
                             {QVariant(QStringLiteral("x'y")), QVariant(1), QVariant(2)}),
              QStringLiteral("sp_helpdb N'x''y'; select 1, 2"));

    auto usageError = [](auto&& call) {
        try {
            call();
        } catch (const DbError& e) {
            return e.cause() == DbError::Cause::Usage;
        }
        return false;
    };
    EXPECT_TRUE(usageError([] { bindParameters(QStringLiteral("select :A, :B"), {QVariant(1)}); }));
    EXPECT_TRUE(usageError([] { sqlLiteral(QVariant(qInf())); }));
    EXPECT_TRUE(usageError([] { sqlLiteral(QVariant(QStringList{"a"})); }));
}

TEST(QueryParameters, CommandTextJoinsLinesWithCrLfAndRebindsAChangedValue)
{
    Query query;
    query.setSql({QStringLiteral("Use master"), QStringLiteral("exec sp_readerrorlog :LID")});
    query.setParameter(QStringLiteral("LID"), 1);
    EXPECT_EQ(query.commandText(), QStringLiteral("Use master\r\nexec sp_readerrorlog 1\r\n"));
    query.setParameter(QStringLiteral("lid"), 2);
    EXPECT_EQ(query.commandText(), QStringLiteral("Use master\r\nexec sp_readerrorlog 2\r\n"));
}
