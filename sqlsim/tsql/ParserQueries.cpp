#include "ParserQueries.h"

#include <algorithm>
#include <iterator>

namespace sqlsim::tsql::parsing {

std::shared_ptr<SelectQuery> QueryParser::selectQuery()
{
    Nesting nesting(*this);
    auto query = std::make_shared<SelectQuery>();
    if (m_in.accept("distinct"))
        query->distinct = true;
    else
        m_in.accept("all");
    if (m_in.accept("top"))
        query->top = integer();
    do
        query->items.push_back(selectItem());
    while (m_in.accept(","));
    if (m_in.accept("from")) {
        query->from.push_back(tableSource(TableSource::Join::First));
        for (;;) {
            if (m_in.accept(",")) {
                query->from.push_back(tableSource(TableSource::Join::Comma));
                continue;
            }
            TableSource::Join join;
            if (m_in.accept("left")) {
                m_in.accept("outer");
                join = TableSource::Join::Left;
            } else if (m_in.accept("inner") || m_in.peek().is("join")) {
                join = TableSource::Join::Inner;
            } else {
                break;
            }
            expect("join");
            TableSource source = tableSource(join);
            expect("on");
            source.on = expression();
            query->from.push_back(std::move(source));
        }
    }
    if (m_in.accept("where"))
        query->where = expression();
    if (m_in.accept("group")) {
        expect("by");
        do
            query->groupBy.push_back(expression());
        while (m_in.accept(","));
    }
    if (m_in.accept("having"))
        query->having = expression();
    if (m_in.accept("order")) {
        expect("by");
        do {
            OrderItem item;
            item.expr = expression();
            if (m_in.accept("desc"))
                item.descending = true;
            else
                m_in.accept("asc");
            query->orderBy.push_back(std::move(item));
        } while (m_in.accept(","));
    }
    return query;
}

SelectItem QueryParser::selectItem()
{
    SelectItem item;
    const Token& token = m_in.peek();
    if (m_in.accept("*"))
        return item;
    if (isBareName(token) && m_in.peek(1).isSymbol(".") && m_in.peek(2).isSymbol("*")) {
        item.starPrefix = m_in.next().text;
        m_in.next();
        m_in.next();
        return item;
    }
    if (m_in.peek(1).isSymbol("=")
        && (token.kind == Token::Kind::Variable || isBareName(token) || token.kind == Token::Kind::String)) {
        (token.kind == Token::Kind::Variable ? item.variable : item.alias) = m_in.next().text;
        m_in.next();
        item.expr = expression();
        return item;
    }
    item.expr = expression();
    const bool as = m_in.accept("as");
    const Token& alias = m_in.peek();
    if (isBareName(alias) || alias.kind == Token::Kind::String)
        item.alias = m_in.next().text;
    else if (as)
        fail();
    return item;
}

TableSource QueryParser::tableSource(TableSource::Join join)
{
    TableSource source;
    source.join = join;
    source.name = objectName();
    const bool as = m_in.accept("as");
    if (isBareName(m_in.peek()))
        source.alias = m_in.next().text;
    else if (as)
        fail();
    return source;
}


ExprPtr QueryParser::node(Expr::Kind kind, int offset)
{
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->offset = offset;
    return e;
}

// Chains of OR, AND and arithmetic are read into one node each, so that a long flat chain
// costs no depth of recursion here or when it is evaluated.
ExprPtr QueryParser::expression()
{
    Nesting nesting(*this);
    const int offset = m_in.peek().offset;
    ExprPtr first = conjunction();
    if (!m_in.peek().is("or"))
        return first;
    ExprPtr any = node(Expr::Kind::Or, offset);
    any->args.push_back(std::move(first));
    while (m_in.accept("or"))
        any->args.push_back(conjunction());
    return any;
}

ExprPtr QueryParser::conjunction()
{
    const int offset = m_in.peek().offset;
    ExprPtr first = negation();
    if (!m_in.peek().is("and"))
        return first;
    ExprPtr all = node(Expr::Kind::And, offset);
    all->args.push_back(std::move(first));
    while (m_in.accept("and"))
        all->args.push_back(negation());
    return all;
}

ExprPtr QueryParser::negation()
{
    const int offset = m_in.peek().offset;
    int nots = 0;
    while (m_in.accept("not"))
        ++nots;
    ExprPtr e = predicate();
    if (nots % 2 == 0)
        return e;
    ExprPtr negated = node(Expr::Kind::Not, offset);
    negated->args.push_back(std::move(e));
    return negated;
}

ExprPtr QueryParser::predicate()
{
    const int offset = m_in.peek().offset;
    if (m_in.peek().is("exists")) {
        m_in.next();
        ExprPtr e = node(Expr::Kind::Exists, offset);
        expect("(");
        expect("select");
        e->query = selectQuery();
        expect(")");
        return e;
    }
    ExprPtr left = additive();
    static const char* const comparisons[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    for (const char* op : comparisons) {
        if (m_in.peek().isSymbol(op)) {
            ExprPtr e = node(Expr::Kind::Compare, offset);
            e->text = m_in.next().text;
            e->args.push_back(std::move(left));
            e->args.push_back(additive());
            return e;
        }
    }
    if (m_in.accept("is")) {
        ExprPtr e = node(Expr::Kind::IsNull, offset);
        e->negated = m_in.accept("not");
        expect("null");
        e->args.push_back(std::move(left));
        return e;
    }
    const bool negated = m_in.peek().is("not")
        && (m_in.peek(1).is("in") || m_in.peek(1).is("like") || m_in.peek(1).is("between"));
    if (negated)
        m_in.next();
    if (m_in.accept("in")) {
        ExprPtr e = node(Expr::Kind::In, offset);
        e->negated = negated;
        e->args.push_back(std::move(left));
        expect("(");
        if (m_in.accept("select")) {
            e->query = selectQuery();
        } else {
            do
                e->args.push_back(expression());
            while (m_in.accept(","));
        }
        expect(")");
        return e;
    }
    if (m_in.accept("like")) {
        ExprPtr e = node(Expr::Kind::Like, offset);
        e->negated = negated;
        e->args.push_back(std::move(left));
        e->args.push_back(additive());
        return e;
    }
    if (m_in.accept("between")) {
        ExprPtr e = node(Expr::Kind::Between, offset);
        e->negated = negated;
        e->args.push_back(std::move(left));
        e->args.push_back(additive());
        expect("and");
        e->args.push_back(additive());
        return e;
    }
    if (negated)
        fail();
    return left;
}

ExprPtr QueryParser::chain(ExprPtr (QueryParser::*operand)(), const char* const* operators, size_t count)
{
    const int offset = m_in.peek().offset;
    ExprPtr first = (this->*operand)();
    ExprPtr arithmetic;
    for (;;) {
        const Token& token = m_in.peek();
        const auto op = std::find_if(operators, operators + count,
                                     [&token](const char* o) { return token.isSymbol(o); });
        if (op == operators + count)
            break;
        m_in.next();
        if (!arithmetic) {
            arithmetic = node(Expr::Kind::Arithmetic, offset);
            arithmetic->args.push_back(std::move(first));
        }
        arithmetic->ops.push_back(QLatin1Char(**op));
        arithmetic->args.push_back((this->*operand)());
    }
    return arithmetic ? std::move(arithmetic) : std::move(first);
}

ExprPtr QueryParser::additive()
{
    static const char* const operators[] = {"+", "-", "&", "|", "^"};
    return chain(&QueryParser::multiplicative, operators, std::size(operators));
}

ExprPtr QueryParser::multiplicative()
{
    static const char* const operators[] = {"*", "/", "%"};
    return chain(&QueryParser::unary, operators, std::size(operators));
}

ExprPtr QueryParser::unary()
{
    const int offset = m_in.peek().offset;
    int minus = 0;
    bool signs = false;
    while (m_in.peek().isSymbol("-") || m_in.peek().isSymbol("+")) {
        minus += m_in.next().isSymbol("-") ? 1 : 0;
        signs = true;
    }
    ExprPtr e = primary();
    if (!signs || minus % 2 == 0)
        return e;
    ExprPtr negate = node(Expr::Kind::Negate, offset);
    negate->args.push_back(std::move(e));
    return negate;
}

ExprPtr QueryParser::primary()
{
    const Token& token = m_in.peek();
    const int offset = token.offset;
    switch (token.kind) {
    case Token::Kind::Number: {
        ExprPtr e = node(Expr::Kind::Number, offset);
        e->text = m_in.next().text;
        return e;
    }
    case Token::Kind::String: {
        ExprPtr e = node(Expr::Kind::String, offset);
        e->unicode = token.unicode;
        e->text = m_in.next().text;
        return e;
    }
    case Token::Kind::Variable: {
        ExprPtr e = node(token.text.startsWith(QLatin1String("@@")) ? Expr::Kind::GlobalVariable
                                                                    : Expr::Kind::Variable, offset);
        e->text = m_in.next().text;
        return e;
    }
    case Token::Kind::Symbol:
        if (token.isSymbol("(")) {
            m_in.next();
            ExprPtr e;
            if (m_in.accept("select")) {
                e = node(Expr::Kind::Subquery, offset);
                e->query = selectQuery();
            } else {
                e = expression();
            }
            expect(")");
            return e;
        }
        fail();
    case Token::Kind::Word:
    case Token::Kind::QuotedName:
        break;
    case Token::Kind::End:
        fail();
    }
    if (token.is("null")) {
        m_in.next();
        return node(Expr::Kind::Null, offset);
    }
    if (token.is("case"))
        return caseExpression();
    // LEFT and RIGHT are keywords of joins and names of functions.
    const bool functionWord = token.is("convert") || token.is("left") || token.is("right");
    if ((functionWord || isBareName(token)) && m_in.peek(1).isSymbol("("))
        return function();
    ExprPtr e = node(Expr::Kind::Column, offset);
    e->text = name();
    if (m_in.accept(".")) {
        e->prefix = e->text;
        e->text = name();
    }
    return e;
}

ExprPtr QueryParser::caseExpression()
{
    ExprPtr e = node(Expr::Kind::Case, m_in.next().offset);
    if (!m_in.peek().is("when")) {
        e->caseOperand = true;
        e->args.push_back(expression());
    }
    if (!m_in.peek().is("when"))
        fail();
    while (m_in.accept("when")) {
        e->args.push_back(expression());
        expect("then");
        e->args.push_back(expression());
    }
    if (m_in.accept("else")) {
        e->caseElse = true;
        e->args.push_back(expression());
    }
    expect("end");
    return e;
}

ExprPtr QueryParser::function()
{
    const Token& nameToken = m_in.next();
    m_in.next();   // (
    const QString lower = nameToken.text.toLower();
    const bool aggregate = lower == u"count" || lower == u"sum" || lower == u"min"
        || lower == u"max" || lower == u"avg";
    ExprPtr e = node(aggregate ? Expr::Kind::Aggregate : Expr::Kind::Function, nameToken.offset);
    e->text = lower;
    e->prefix = nameToken.text;
    if (lower == u"convert") {
        e->type = typeName();
        expect(",");
        e->args.push_back(expression());
        if (m_in.accept(","))
            e->args.push_back(expression());
    } else if (lower == u"cast") {
        e->args.push_back(expression());
        expect("as");
        e->type = typeName();
    } else if (aggregate && lower == u"count" && m_in.accept("*")) {
        // count(*): no argument
    } else if (!m_in.peek().isSymbol(")")) {
        if (aggregate)
            m_in.accept("all");
        do
            e->args.push_back(expression());
        while (m_in.accept(","));
    }
    expect(")");
    return e;
}

} // namespace sqlsim::tsql::parsing
