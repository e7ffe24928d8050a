#include "DecimalMath.h"
#include "SqlError.h"
#include "Value.h"
#include "ValueText.h"

namespace sqlsim::tsql {

namespace {

template <typename T>
int threeWay(const T& a, const T& b)
{
    return a < b ? -1 : b < a ? 1 : 0;
}

int compareText(const QString& a, const QString& b)
{
    const int order = withoutTrailingBlanks(a).compare(withoutTrailingBlanks(b), Qt::CaseInsensitive);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

// Two non-null values, brought to their common type first.
int compareValues(const SqlValue& left, const SqlValue& right, DateFormat dateFormat)
{
    const TypeInfo common = commonType(left.type(), right.type());
    const SqlValue a = left.type().type == common.type ? left : implicitConvert(left, common, dateFormat);
    const SqlValue b = right.type().type == common.type ? right : implicitConvert(right, common, dateFormat);
    switch (common.type) {
    case SqlType::Float: return threeWay(a.toFloat(), b.toFloat());
    case SqlType::Decimal: return compareWide(widen(a.toDecimal()), widen(b.toDecimal()));
    case SqlType::DateTime: return threeWay(a.toDateTime(), b.toDateTime());
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::NChar:
    case SqlType::NVarChar: return compareText(a.toText(), b.toText());
    case SqlType::Binary:
    case SqlType::VarBinary: return threeWay(a.toBinary(), b.toBinary());
    default: return threeWay(a.toInteger(), b.toInteger());
    }
}

// One element of a LIKE pattern: a character, _ (any one), % (any run), or a [set].
struct PatternItem {
    enum class Kind { Character, AnyOne, AnyRun, Set } kind = Kind::Character;
    QChar character;
    QString set;   // pairs of range bounds: "aazz" for [a-z]
    bool negated = false;

    bool matches(QChar c) const
    {
        const QChar folded = c.toCaseFolded();
        switch (kind) {
        case Kind::Character: return folded == character.toCaseFolded();
        case Kind::AnyOne: return true;
        case Kind::AnyRun: return false;
        case Kind::Set:
            for (qsizetype i = 0; i + 1 < set.size(); i += 2)
                if (folded >= set[i].toCaseFolded() && folded <= set[i + 1].toCaseFolded())
                    return !negated;
            return negated;
        }
        return false;
    }
};

std::vector<PatternItem> parsePattern(const QString& pattern, std::optional<QChar> escape)
{
    std::vector<PatternItem> items;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        PatternItem item;
        if (escape && c == *escape && i + 1 < pattern.size()) {
            item.character = pattern[++i];
        } else if (c == u'%') {
            item.kind = PatternItem::Kind::AnyRun;
        } else if (c == u'_') {
            item.kind = PatternItem::Kind::AnyOne;
        } else if (c == u'[' && pattern.indexOf(u']', i + 2) > i) {
            // A set ends at the first ] after its first member, so []] and [a]] read as the server reads them.
            const qsizetype end = pattern.indexOf(u']', i + 2);
            QString members = pattern.mid(i + 1, end - i - 1);
            item.kind = PatternItem::Kind::Set;
            if (members.size() > 1 && members[0] == u'^') {
                item.negated = true;
                members.remove(0, 1);
            }
            for (qsizetype k = 0; k < members.size(); ++k) {
                if (k + 2 < members.size() && members[k + 1] == u'-') {
                    item.set += members[k];
                    item.set += members[k + 2];
                    k += 2;
                } else {
                    item.set += members[k];
                    item.set += members[k];
                }
            }
            i = end;
        } else {
            item.character = c;
        }
        items.push_back(item);
    }
    return items;
}

// Wildcard matching without recursion: on a mismatch, retry from the last % one character on.
bool matchPattern(const QString& text, const std::vector<PatternItem>& items)
{
    qsizetype t = 0;
    size_t p = 0;
    std::optional<size_t> star;
    qsizetype starText = 0;
    while (t < text.size()) {
        if (p < items.size() && items[p].kind == PatternItem::Kind::AnyRun) {
            star = p++;
            starText = t;
        } else if (p < items.size() && items[p].matches(text[t])) {
            ++p;
            ++t;
        } else if (star) {
            p = *star + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < items.size() && items[p].kind == PatternItem::Kind::AnyRun)
        ++p;
    return p == items.size();
}

QString likeText(const SqlValue& value)
{
    if (value.type().isText())
        return value.toText();
    return convert(value, TypeInfo::text(SqlType::NVarChar, 4000)).toText();
}

} // namespace

Truth truthNot(Truth value)
{
    return value == Truth::Unknown ? Truth::Unknown : value == Truth::True ? Truth::False : Truth::True;
}

Truth truthAnd(Truth left, Truth right)
{
    if (left == Truth::False || right == Truth::False)
        return Truth::False;
    return left == Truth::True && right == Truth::True ? Truth::True : Truth::Unknown;
}

Truth truthOr(Truth left, Truth right)
{
    if (left == Truth::True || right == Truth::True)
        return Truth::True;
    return left == Truth::False && right == Truth::False ? Truth::False : Truth::Unknown;
}

Truth compare(CompareOp op, const SqlValue& left, const SqlValue& right, DateFormat dateFormat)
{
    if (left.isNull() || right.isNull())
        return Truth::Unknown;
    const int order = compareValues(left, right, dateFormat);
    switch (op) {
    case CompareOp::Equal: return truthOf(order == 0);
    case CompareOp::NotEqual: return truthOf(order != 0);
    case CompareOp::Less: return truthOf(order < 0);
    case CompareOp::LessOrEqual: return truthOf(order <= 0);
    case CompareOp::Greater: return truthOf(order > 0);
    case CompareOp::GreaterOrEqual: return truthOf(order >= 0);
    }
    return Truth::Unknown;
}

int compareForOrder(const SqlValue& left, const SqlValue& right, DateFormat dateFormat)
{
    if (left.isNull() || right.isNull())
        return threeWay(!left.isNull(), !right.isNull());
    return compareValues(left, right, dateFormat);
}

Truth like(const SqlValue& value, const SqlValue& pattern, std::optional<QChar> escape)
{
    if (value.isNull() || pattern.isNull())
        return Truth::Unknown;
    const QString text = likeText(value);
    const std::vector<PatternItem> items = parsePattern(likeText(pattern), escape);
    return truthOf(matchPattern(text, items) || matchPattern(trimTrailingBlanks(text), items));
}

} // namespace sqlsim::tsql
