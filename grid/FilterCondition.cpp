#include "FilterCondition.h"

#include "DbError.h"
#include "LocaleValues.h"
#include "SortFilterAdapter.h"
#include "TrimmedText.h"

#include <QStringView>

namespace velmora {

namespace {

const QString quoteAbsent = QStringLiteral("Quote is absent: ");
const QString openExpected = QStringLiteral("'(' expected: ");
const QString closeExpected = QStringLiteral("')' expected: ");
const QString errorInExpression = QStringLiteral("Error in expression: ");
const QString beforeNull = QStringLiteral("Unexpected expression before Null: ");
const QString afterOperator = QStringLiteral("Unexpected expression after operator: ");
const QString unexpectedRelation = QStringLiteral("Unexpected AND or OR: ");
const QString incorrectExpression = QStringLiteral("Incorrect expression: ");

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// Reads one trimmed filter-cell text from left to right.
class ConditionReader {
public:
    ConditionReader(const QString& text, FilterExpressionType type, const QLocale& locale)
        : m_text(text), m_type(type), m_locale(locale),
          m_decimalComma(type == FilterExpressionType::Number && locale.decimalPoint() == u",")
    {
    }

    ColumnCondition read()
    {
        ColumnCondition condition;
        condition.type = m_type;
        if (m_text.isEmpty())
            return condition;
        readTerm(true, condition.firstOperator, condition.firstOperand);
        skipBlanks();
        if (!atEnd()) {
            const qsizetype relation = relationAt(m_pos, &condition.relation);
            if (relation == 0)
                fail(leftoverIsUnreadable() ? incorrectExpression : unexpectedRelation);
            m_pos += relation;
            readTerm(false, condition.secondOperator, condition.secondOperand);
            skipBlanks();
            // A third term would be dropped unseen ("a OR b OR c" filtering on a and b only),
            // so anything after the second term is refused rather than ignored.
            if (!atEnd())
                fail(incorrectExpression);
        }
        checkValuesRead(condition.firstOperand);
        checkValuesRead(condition.secondOperand);
        return condition;
    }

private:
    // An empty second term ("5 AND") is kept as a relation without a second operator.
    void readTerm(bool first, FilterOperator& op, QStringList& operand)
    {
        skipBlanks();
        if (atEnd())
            return;
        FilterOperator typed = FilterOperator::None;
        const qsizetype length = operatorAt(m_pos, &typed);
        if (length == 0) {
            readBareValues(op, operand);
            return;
        }
        m_pos += length;
        switch (typed) {
        case FilterOperator::IsNull:
        case FilterOperator::IsNotNull:
            fail(afterOperator);   // "NULL" or "NOT NULL" standing where an operator belongs
        case FilterOperator::In:
        case FilterOperator::NotIn:
            op = typed;
            operand = readList(first);
            return;
        default:
            break;
        }
        skipBlanks();
        if (const qsizetype null = wordAt(m_pos, u"NULL")) {
            if (typed == FilterOperator::Equal)
                op = FilterOperator::IsNull;
            else if (typed == FilterOperator::NotEqual)
                op = FilterOperator::IsNotNull;
            else
                fail(beforeNull);
            m_pos += null;
            return;
        }
        if (atEnd() || m_text[m_pos] == u'(' || m_text[m_pos] == u')' || operatorAt(m_pos)
            || relationAt(m_pos))
            fail(afterOperator);
        op = typed;
        operand = {readValue(false)};
    }

    // A term without an operator: one value, or a list where commas separate values.
    void readBareValues(FilterOperator& op, QStringList& operand)
    {
        const QChar c = m_text[m_pos];
        if (c == u'!' || c == u'(' || c == u')' || c == u',' || relationAt(m_pos))
            fail(errorInExpression);
        operand = readValues(!m_decimalComma);
        if (operand.size() > 1)
            op = FilterOperator::In;
        else
            op = m_type == FilterExpressionType::Text ? FilterOperator::Like : FilterOperator::Equal;
    }

    // "(" values ")" after IN; a second term missing its ")" at the end of the text is taken
    // as it stands.
    QStringList readList(bool first)
    {
        skipBlanks();
        if (!atChar(u'('))
            fail(openExpected);
        ++m_pos;
        skipBlanks();
        QStringList values = readValues(true);
        skipBlanks();
        if (atChar(u')'))
            ++m_pos;
        else if (first)
            fail(closeExpected);
        return values;
    }

    QStringList readValues(bool commasSeparate)
    {
        QStringList values{readValue(commasSeparate)};
        while (commasSeparate) {
            qsizetype next = m_pos;   // blanks may stand after a quoted value
            while (next < m_text.size() && m_text[next].isSpace())
                ++next;
            if (next == m_text.size() || m_text[next] != u',')
                break;
            // No blank is skipped after the comma: it is the next value's first character.
            m_pos = next + 1;
            values << readValue(commasSeparate);
        }
        return values;
    }

    QString readValue(bool commasSeparate)
    {
        if (atChar(u'\'')) {
            const qsizetype close = m_text.indexOf(u'\'', m_pos + 1);
            if (close < 0)
                fail(quoteAbsent);
            const QString value = m_text.mid(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
            return value;
        }
        const qsizetype start = m_pos;
        while (!atEnd() && !endsValue(m_pos, commasSeparate))
            ++m_pos;
        return m_text.mid(start, m_pos - start);
    }

    // An unquoted value may hold blanks; a blank ends it only where an operator, a relation
    // or NULL follows.
    bool endsValue(qsizetype at, bool commasSeparate) const
    {
        const QChar c = m_text[at];
        if (c == u'(' || c == u')' || (commasSeparate && c == u','))
            return true;
        if (!c.isSpace())
            return false;
        qsizetype next = at;
        while (next < m_text.size() && m_text[next].isSpace())
            ++next;
        return next < m_text.size() && (operatorAt(next) || relationAt(next));
    }

    // The length of the operator at `at`, 0 when none stands there. A lone "NULL" reads as
    // IsNull and "NOT NULL" or "!NULL" as IsNotNull, so that callers can refuse them.
    qsizetype operatorAt(qsizetype at, FilterOperator* op = nullptr) const
    {
        static const std::pair<QStringView, FilterOperator> symbols[] = {
            {u"!~", FilterOperator::NotLike}, {u"!=", FilterOperator::NotEqual},
            {u"<>", FilterOperator::NotEqual}, {u"<=", FilterOperator::LessOrEqual},
            {u">=", FilterOperator::GreaterOrEqual}, {u"<", FilterOperator::Less},
            {u">", FilterOperator::Greater}, {u"=", FilterOperator::Equal},
            {u"~", FilterOperator::Like},
        };
        const QStringView rest = QStringView(m_text).sliced(at);
        const auto found = [op](FilterOperator value, qsizetype length) {
            if (op)
                *op = value;
            return length;
        };
        for (const auto& [symbol, value] : symbols) {
            if (rest.startsWith(symbol))
                return found(value, symbol.size());
        }
        if (rest.startsWith(u'!')) {
            if (const qsizetype in = wordAt(at + 1, u"IN"))
                return found(FilterOperator::NotIn, 1 + in);
            if (const qsizetype null = wordAt(at + 1, u"NULL"))
                return found(FilterOperator::IsNotNull, 1 + null);
            return 0;
        }
        if (const qsizetype like = wordAt(at, u"LIKE"))
            return found(FilterOperator::Like, like);
        if (const qsizetype in = wordAt(at, u"IN"))
            return found(FilterOperator::In, in);
        if (const qsizetype null = wordAt(at, u"NULL"))
            return found(FilterOperator::IsNull, null);
        if (const qsizetype notWord = wordAt(at, u"NOT")) {
            qsizetype next = at + notWord;
            while (next < m_text.size() && m_text[next].isSpace())
                ++next;
            if (const qsizetype like = wordAt(next, u"LIKE"))
                return found(FilterOperator::NotLike, next + like - at);
            if (const qsizetype in = wordAt(next, u"IN"))
                return found(FilterOperator::NotIn, next + in - at);
            if (const qsizetype null = wordAt(next, u"NULL"))
                return found(FilterOperator::IsNotNull, next + null - at);
        }
        return 0;
    }

    qsizetype relationAt(qsizetype at, FilterRelation* relation = nullptr) const
    {
        const auto found = [relation](FilterRelation value, qsizetype length) {
            if (relation)
                *relation = value;
            return length;
        };
        if (atChar(u'&', at))
            return found(FilterRelation::And, 1);
        if (atChar(u'|', at))
            return found(FilterRelation::Or, 1);
        if (const qsizetype andWord = wordAt(at, u"AND"))
            return found(FilterRelation::And, andWord);
        if (const qsizetype orWord = wordAt(at, u"OR"))
            return found(FilterRelation::Or, orWord);
        return 0;
    }

    // The word's length when it stands at `at` in any case and is not the start of a longer
    // word ("IN" does not begin "INDEX"); 0 otherwise.
    qsizetype wordAt(qsizetype at, QStringView word) const
    {
        const QStringView rest = QStringView(m_text).sliced(at);
        if (!rest.startsWith(word, Qt::CaseInsensitive)
            || (rest.size() > word.size() && isWordChar(rest[word.size()])))
            return 0;
        return word.size();
    }

    // What follows the first term can be no element at all: a parenthesis, a comma, or a "!"
    // that begins no operator.
    bool leftoverIsUnreadable() const
    {
        const QChar c = m_text[m_pos];
        return c == u'(' || c == u')' || c == u',' || (c == u'!' && !operatorAt(m_pos));
    }

    // Numbers and date-times are read as the filter string will write them, so a value that
    // cannot be read is refused here, with the locale's message, rather than at apply time.
    void checkValuesRead(const QStringList& values) const
    {
        for (const QString& value : values)
            filterLiteral(value, m_type, m_locale);
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    bool atChar(QChar c) const { return atChar(c, m_pos); }
    bool atChar(QChar c, qsizetype at) const { return at < m_text.size() && m_text[at] == c; }

    void skipBlanks()
    {
        while (!atEnd() && m_text[m_pos].isSpace())
            ++m_pos;
    }

    [[noreturn]] void fail(const QString& message) const
    {
        throw DbError(DbError::Cause::Usage, message + m_text);
    }

    const QString m_text;
    const FilterExpressionType m_type;
    const QLocale m_locale;
    const bool m_decimalComma;
    qsizetype m_pos = 0;
};

} // namespace

FilterExpressionType filterExpressionType(FieldKind kind)
{
    if (isTextKind(kind))
        return FilterExpressionType::Text;
    if (isNumberKind(kind))
        return FilterExpressionType::Number;
    if (kind == FieldKind::DateTime)
        return FilterExpressionType::DateTime;
    return FilterExpressionType::Other;
}

ColumnCondition parseFilterCondition(const QString& text, FilterExpressionType type,
                                     const QLocale& locale)
{
    return ConditionReader(trimmedText(text), type, locale).read();
}

void storeFilterText(ColumnFilter& filter, const QString& text, FilterExpressionType type,
                     const QLocale& locale)
{
    try {
        filter.condition = parseFilterCondition(text, type, locale);
    } catch (const DbError&) {
        filter.condition = ColumnCondition{};
        filter.condition.type = type;
        throw;
    }
    filter.text = text;
}

namespace {

bool isSingleValue(const ColumnCondition& condition, const QString& value)
{
    return condition.relation == FilterRelation::None && condition.firstOperand == QStringList{value};
}

} // namespace

void storePickedValue(ColumnFilter& filter, const QString& value, FilterExpressionType type,
                      const QLocale& locale)
{
    ColumnCondition condition;
    try {
        condition = parseFilterCondition(value, type, locale);
    } catch (const DbError&) {
        if (type != FilterExpressionType::Text)
            throw;
    }
    if (!isSingleValue(condition, value) && !trimmedText(value).isEmpty()) {
        condition = ColumnCondition{};
        condition.firstOperator = type == FilterExpressionType::Text ? FilterOperator::Like : FilterOperator::Equal;
        condition.firstOperand = {value};
    }
    if (type == FilterExpressionType::DateTime && condition.firstOperator == FilterOperator::Equal) {
        condition.firstOperator = FilterOperator::GreaterOrEqual;
        condition.relation = FilterRelation::And;
        condition.secondOperator = FilterOperator::Less;
        condition.secondOperand = {dateTimeText(readDateTime(value, locale).addSecs(1), locale)};
    }
    condition.type = type;
    filter.condition = condition;
    filter.text = value;
}

bool isPickedValue(const ColumnCondition& condition, const QString& value, FilterExpressionType type,
                   const QLocale& locale)
{
    ColumnFilter picked;
    try {
        storePickedValue(picked, value, type, locale);
    } catch (const DbError&) {
        return false;
    }
    return picked.condition == condition;
}

} // namespace velmora
