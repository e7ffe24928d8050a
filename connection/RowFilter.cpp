#include "RowFilter.h"

#include "DbError.h"
#include "LocaleValues.h"
#include "ValueCompare.h"

namespace velmora {

// A comparison or pattern test on a row without a value is false, "<>" and "Not Like"
// included: a filter such as "spid <> ''" hides the rows that have no spid at all.
struct RowFilter::Node {
    virtual ~Node() = default;
    virtual bool test(const Row& row) const = 0;
};

namespace {

using Node = RowFilter::Node;
using NodePtr = std::unique_ptr<Node>;

enum class Comparison { Equal, NotEqual, Greater, Less, GreaterOrEqual, LessOrEqual };

bool holds(int order, Comparison comparison)
{
    switch (comparison) {
    case Comparison::Equal: return order == 0;
    case Comparison::NotEqual: return order != 0;
    case Comparison::Greater: return order > 0;
    case Comparison::Less: return order < 0;
    case Comparison::GreaterOrEqual: return order >= 0;
    case Comparison::LessOrEqual: return order <= 0;
    }
    return false;
}

template <typename T>
int threeWay(T a, T b)
{
    return (a > b) - (a < b);
}

// Operands joined by one connective, held side by side so that a long chain of ANDs is tested
// and freed in a loop, never by recursion as deep as the chain is long.
class Connective : public Node {
public:
    Connective(bool isAnd, std::vector<NodePtr> operands)
        : m_isAnd(isAnd), m_operands(std::move(operands)) {}
    bool test(const Row& row) const override
    {
        for (const NodePtr& operand : m_operands) {
            if (operand->test(row) != m_isAnd)
                return !m_isAnd;
        }
        return m_isAnd;
    }
private:
    bool m_isAnd;
    std::vector<NodePtr> m_operands;
};

class NullTest : public Node {
public:
    NullTest(size_t field, bool wantNull) : m_field(field), m_wantNull(wantNull) {}
    bool test(const Row& row) const override { return isMissing(row[m_field]) == m_wantNull; }
private:
    size_t m_field;
    bool m_wantNull;
};

// Number columns hold the driver's integers and doubles: those are read in place, anything else
// through QVariant's conversion, which gives the same double.
double numberOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Short: return *static_cast<const short*>(value.constData());
    case QMetaType::Int: return *static_cast<const int*>(value.constData());
    case QMetaType::LongLong: return double(*static_cast<const qlonglong*>(value.constData()));
    case QMetaType::Double: return *static_cast<const double*>(value.constData());
    default: return value.toDouble();
    }
}

// The text of a held value: a held string is looked at where it lies, anything else is converted
// into `converted`.
QStringView heldText(const QVariant& value, QString& converted)
{
    if (value.typeId() == QMetaType::QString)
        return *static_cast<const QString*>(value.constData());
    converted = value.toString();
    return converted;
}

qint64 wallClockOf(const QVariant& value)
{
    return wallClockMsecs(value.toDateTime());
}

// A comparison of a value that orders as a plain number once read: a number or a date-time.
template <typename Ordered, Ordered (*read)(const QVariant&)>
class OrderedComparison : public Node {
public:
    OrderedComparison(size_t field, Comparison comparison, Ordered literal)
        : m_field(field), m_comparison(comparison), m_literal(literal) {}
    bool test(const Row& row) const override
    {
        const QVariant& value = row[m_field];
        return !isMissing(value) && holds(threeWay(read(value), m_literal), m_comparison);
    }
private:
    size_t m_field;
    Comparison m_comparison;
    Ordered m_literal;
};

using NumberComparison = OrderedComparison<double, numberOf>;
using DateTimeComparison = OrderedComparison<qint64, wallClockOf>;

class TextComparison : public Node {
public:
    TextComparison(size_t field, FieldKind kind, Comparison comparison, const QString& literal,
                   const QLocale& locale)
        : m_field(field), m_kind(kind), m_comparison(comparison),
          m_literal(comparableText(literal, kind).toString()), m_collator(textCollator(locale)) {}
    bool test(const Row& row) const override
    {
        const QVariant& value = row[m_field];
        if (isMissing(value))
            return false;
        QString converted;
        return holds(m_collator.compare(comparableText(heldText(value, converted), m_kind), m_literal),
                     m_comparison);
    }
private:
    size_t m_field;
    FieldKind m_kind;
    Comparison m_comparison;
    QString m_literal;
    QCollator m_collator;
};

class PatternTest : public Node {
public:
    PatternTest(size_t field, FieldKind kind, bool negated, const QString& pattern,
                const QLocale& locale)
        : m_field(field), m_kind(kind), m_negated(negated), m_pattern(pattern), m_locale(locale) {}
    bool test(const Row& row) const override
    {
        const QVariant& value = row[m_field];
        if (isMissing(value))
            return false;
        QString converted;
        return m_pattern.matches(comparableText(text(value, converted), m_kind)) != m_negated;
    }
private:
    // Numbers and date-times match as the filter string writes them.
    QStringView text(const QVariant& value, QString& converted) const
    {
        if (isNumberKind(m_kind))
            return converted = numberText(numberOf(value), m_locale);
        if (m_kind == FieldKind::DateTime)
            return converted = dateTimeText(value.toDateTime(), m_locale);
        return heldText(value, converted);
    }

    size_t m_field;
    FieldKind m_kind;
    bool m_negated;
    LikePattern m_pattern;
    QLocale m_locale;
};

// Recursive descent over the filter string; AND binds tighter than OR.
class FilterParser {
public:
    FilterParser(const QString& text, const std::vector<FieldDef>& fields, const QLocale& locale)
        : m_text(text), m_fields(fields), m_locale(locale) {}

    NodePtr parse()
    {
        skipBlanks();
        if (atEnd())
            return nullptr;
        NodePtr root = parseOr();
        skipBlanks();
        if (!atEnd())
            fail(QStringLiteral("unexpected text"));
        return root;
    }

private:
    // Deeper nesting than any filter a person writes; it keeps the recursion off the stack limit.
    static constexpr int maxDepth = 200;

    NodePtr parseOr() { return parseChain(false, &FilterParser::parseAnd); }
    NodePtr parseAnd() { return parseChain(true, &FilterParser::parsePrimary); }

    // operand (AND|OR operand)...: one operand as itself, more as one Connective.
    NodePtr parseChain(bool isAnd, NodePtr (FilterParser::*operand)())
    {
        const QStringView word = isAnd ? QStringView(u"AND") : QStringView(u"OR");
        NodePtr first = (this->*operand)();
        if (!takeWord(word))
            return first;
        std::vector<NodePtr> operands;
        operands.push_back(std::move(first));
        do
            operands.push_back((this->*operand)());
        while (takeWord(word));
        return std::make_unique<Connective>(isAnd, std::move(operands));
    }

    NodePtr parsePrimary()
    {
        skipBlanks();
        if (atEnd() || m_text[m_pos] != u'(')
            return parseCondition();
        if (m_depth == maxDepth)
            fail(QStringLiteral("expression nested too deeply"));
        ++m_pos;
        ++m_depth;
        NodePtr inner = parseOr();
        skipBlanks();
        if (!takeChar(u')'))
            fail(QStringLiteral("')' expected"));
        --m_depth;
        return inner;
    }

    NodePtr parseCondition()
    {
        const size_t field = size_t(parseColumn());
        const FieldKind kind = m_fields[field].kind;
        skipBlanks();
        static constexpr std::pair<const char16_t*, Comparison> symbols[] = {
            {u"<>", Comparison::NotEqual}, {u"<=", Comparison::LessOrEqual},
            {u">=", Comparison::GreaterOrEqual}, {u"=", Comparison::Equal},
            {u"<", Comparison::Less}, {u">", Comparison::Greater},
        };
        for (const auto& [symbol, comparison] : symbols) {
            if (takeSymbol(symbol))
                return comparisonNode(field, kind, comparison);
        }
        if (takeWord(u"LIKE"))
            return patternNode(field, kind, false);
        if (takeWord(u"NOT")) {
            if (!takeWord(u"LIKE"))
                fail(QStringLiteral("LIKE expected"));
            return patternNode(field, kind, true);
        }
        if (takeWord(u"IS")) {
            const bool negated = takeWord(u"NOT");
            if (!takeWord(u"NULL"))
                fail(QStringLiteral("NULL expected"));
            return std::make_unique<NullTest>(field, !negated);
        }
        fail(QStringLiteral("operator expected"));
    }

    int parseColumn()
    {
        QStringView name;
        if (takeChar(u'[')) {
            const qsizetype open = m_pos - 1;
            const qsizetype close = m_text.indexOf(u']', m_pos);
            if (close < 0) {
                m_pos = open;
                fail(QStringLiteral("closing ']' missing"));
            }
            name = QStringView(m_text).sliced(m_pos, close - m_pos);
            m_pos = close + 1;
        } else {
            const qsizetype start = m_pos;
            while (!atEnd() && isNameChar(m_text[m_pos]))
                ++m_pos;
            if (m_pos == start)
                fail(QStringLiteral("column name expected"));
            name = QStringView(m_text).sliced(start, m_pos - start);
        }
        const int field = findFieldIndex(m_fields, name);
        if (field < 0)
            throw DbError(DbError::Cause::Usage,
                          QStringLiteral("Filter column '%1' not found").arg(name.toString()));
        return field;
    }

    NodePtr comparisonNode(size_t field, FieldKind kind, Comparison comparison)
    {
        const QString literal = parseLiteral();
        if (isNumberKind(kind))
            return std::make_unique<NumberComparison>(field, comparison, readNumber(literal, m_locale));
        if (kind == FieldKind::DateTime)
            return std::make_unique<DateTimeComparison>(
                field, comparison, wallClockMsecs(readDateTime(literal, m_locale)));
        rejectBytes(field);
        return std::make_unique<TextComparison>(field, kind, comparison, literal, m_locale);
    }

    NodePtr patternNode(size_t field, FieldKind kind, bool negated)
    {
        rejectBytes(field);
        return std::make_unique<PatternTest>(field, kind, negated, parseLiteral(), m_locale);
    }

    // Byte strings have no literal form, so no comparison or pattern can name them.
    void rejectBytes(size_t field) const
    {
        if (isByteKind(m_fields[field].kind))
            throw DbError(DbError::Cause::Usage,
                          QStringLiteral("Filter column '%1' cannot be compared with a value")
                              .arg(m_fields[field].name));
    }

    // A text in apostrophes, two apostrophes in a row standing for one; or a bare run of
    // characters up to a blank, a parenthesis or an operator (numbers).
    QString parseLiteral()
    {
        skipBlanks();
        if (takeChar(u'\'')) {
            const qsizetype open = m_pos - 1;
            QString text;
            while (true) {
                const qsizetype quote = m_text.indexOf(u'\'', m_pos);
                if (quote < 0) {
                    m_pos = open;
                    fail(QStringLiteral("closing apostrophe missing"));
                }
                text += QStringView(m_text).sliced(m_pos, quote - m_pos);
                m_pos = quote + 1;
                if (!takeChar(u'\''))
                    return text;
                text += u'\'';
            }
        }
        const qsizetype start = m_pos;
        while (!atEnd() && !endsBareValue(m_text[m_pos]))
            ++m_pos;
        if (m_pos == start)
            fail(QStringLiteral("value expected"));
        return m_text.sliced(start, m_pos - start);
    }

    static bool isNameChar(QChar c)
    {
        return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'#' || c == u'$';
    }

    static bool endsBareValue(QChar c)
    {
        return c.isSpace() || c == u'(' || c == u')' || c == u'\'' || c == u'[' || c == u']'
            || c == u'=' || c == u'<' || c == u'>';
    }

    bool atEnd() const { return m_pos >= m_text.size(); }

    void skipBlanks()
    {
        while (!atEnd() && m_text[m_pos].isSpace())
            ++m_pos;
    }

    bool takeChar(char16_t c)
    {
        if (atEnd() || m_text[m_pos] != c)
            return false;
        ++m_pos;
        return true;
    }

    bool takeSymbol(QStringView symbol)
    {
        if (!QStringView(m_text).sliced(m_pos).startsWith(symbol))
            return false;
        m_pos += symbol.size();
        return true;
    }

    // A keyword in any case, standing alone: "AND" does not begin "ANDERSON".
    bool takeWord(QStringView word)
    {
        skipBlanks();
        const QStringView rest = QStringView(m_text).sliced(m_pos);
        if (!rest.startsWith(word, Qt::CaseInsensitive)
            || (rest.size() > word.size() && isNameChar(rest[word.size()])))
            return false;
        m_pos += word.size();
        return true;
    }

    [[noreturn]] void fail(const QString& what) const
    {
        throw DbError(DbError::Cause::Usage,
                      QStringLiteral("Filter expression is incorrect: %1 at position %2")
                          .arg(what).arg(m_pos + 1));
    }

    const QString& m_text;
    const std::vector<FieldDef>& m_fields;
    const QLocale& m_locale;
    qsizetype m_pos = 0;
    int m_depth = 0;
};

} // namespace

std::unique_ptr<RowFilter> RowFilter::parse(const QString& text, const std::vector<FieldDef>& fields,
                                            const QLocale& locale)
{
    std::unique_ptr<RowFilter> filter(new RowFilter);
    filter->m_root = FilterParser(text, fields, locale).parse();
    return filter;
}

RowFilter::~RowFilter() = default;

bool RowFilter::matches(const Row& row) const
{
    return !m_root || m_root->test(row);
}

} // namespace velmora
