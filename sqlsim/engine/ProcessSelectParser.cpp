#include "ProcessSelect.h"

#include <algorithm>
#include <limits>

namespace sqlsim {

namespace {

// Words that end an expression or an alias; a bare one can never be a column or alias name.
bool isReserved(const Token& token)
{
    static const char* const words[] = {
        "select", "from", "where", "group", "order", "by", "having", "as", "on", "join", "left",
        "right", "inner", "outer", "full", "cross", "and", "or", "not", "is", "null", "union",
    };
    for (const char* word : words) {
        if (token.is(word))
            return true;
    }
    return false;
}

bool isName(const Token& token)
{
    return token.isName() && !isReserved(token);
}

// Reads a possibly qualified table name (master..sysprocesses, dbo.syslocks) and returns its
// last part; empty when the tokens are no table name.
QString readTableName(TokenStream& in)
{
    if (!isName(in.peek()))
        return {};
    QString last = in.next().text;
    while (in.peek().isSymbol(".")) {
        in.next();
        if (in.peek().isSymbol("."))
            continue;   // master..sysprocesses: the owner is left out
        if (!isName(in.peek()))
            return {};
        last = in.next().text;
    }
    return last;
}

class Parser {
public:
    Parser(const std::vector<Token>& tokens, int sessionSpid)
        : m_tokens(tokens), m_in(tokens), m_sessionSpid(sessionSpid) {}

    ProcessSelect parse()
    {
        ProcessSelect select;
        expectWord("Select");
        do
            select.items.push_back(selectItem());
        while (m_in.accept(","));
        expectWord("from");
        select.processes = tableRef("sysprocesses");
        const bool left = m_in.accept("left");
        if (left)
            m_in.accept("outer");
        const bool inner = !left && m_in.accept("inner");
        if (left || inner || m_in.peek().is("join")) {
            expectWord("join");
            select.locks = tableRef("syslocks");
            select.leftJoin = left;
            expectWord("on");
            select.on = condition();
        }
        if (m_in.accept("where"))
            select.where = condition();
        if (m_in.accept("group")) {
            expectWord("by");
            do
                select.groupBy.push_back(expr());
            while (m_in.accept(","));
        }
        if (!m_in.atEnd())
            fail();
        return select;
    }

private:
    [[noreturn]] void fail() const
    {
        // At the end of the statement the server names the last thing it read.
        const size_t at = m_in.position();
        const bool atEnd = m_in.atEnd() && at > 0;
        throw SyntaxError{m_tokens[atEnd ? at - 1 : at]};
    }

    void expectWord(const char* word)
    {
        if (!m_in.accept(word))
            fail();
    }

    void expectSymbol(const char* symbol)
    {
        if (!m_in.peek().isSymbol(symbol))
            fail();
        m_in.next();
    }

    TableRef tableRef(const char* table)
    {
        TableRef ref;
        ref.name = readTableName(m_in);
        if (ref.name.compare(QLatin1String(table), Qt::CaseInsensitive) != 0)
            fail();
        if (m_in.accept("as") && !isName(m_in.peek()))
            fail();
        if (isName(m_in.peek()))
            ref.alias = m_in.next().text;
        return ref;
    }

    SelectItem selectItem()
    {
        SelectItem item;
        if (m_in.accept("*"))
            return item;
        if (isName(m_in.peek()) && m_in.peek(1).isSymbol(".") && m_in.peek(2).isSymbol("*")) {
            item.starPrefix = m_in.next().text;
            m_in.next();
            m_in.next();
            return item;
        }
        item.expr = expr();
        const bool as = m_in.accept("as");
        const Token& alias = m_in.peek();
        if (isName(alias) || alias.kind == Token::Kind::String)
            item.alias = m_in.next().text;
        else if (as)
            fail();
        return item;
    }

    std::unique_ptr<Expr> expr()
    {
        auto e = std::make_unique<Expr>();
        const Token& token = m_in.peek();
        if (token.kind == Token::Kind::Number || token.isSymbol("-")) {
            integerLiteral(*e);
        } else if (token.kind == Token::Kind::String) {
            const Token& text = m_in.next();
            e->value = text.text;
            e->literalType = Column{{}, text.unicode ? SqlType::NVarChar : SqlType::VarChar,
                                    std::max<int>(1, int(text.text.size())), 0, 0, false};
        } else if (token.kind == Token::Kind::Variable && token.text.compare(u"@@spid", Qt::CaseInsensitive) == 0) {
            m_in.next();
            e->value = qint64(m_sessionSpid);
            e->literalType = Column{{}, SqlType::SmallInt, 0, 0, 0, false};
        } else if (token.isSymbol("(")) {
            m_in.next();
            if (m_in.accept("Select")) {
                e = expr();
                e->subquery = true;
            } else {
                e = expr();
            }
            expectSymbol(")");
        } else if (isName(token) && m_in.peek(1).isSymbol("(")) {
            function(*e);
        } else if (isName(token)) {
            e->kind = Expr::Kind::Column;
            e->column = columnRef();
        } else {
            fail();
        }
        return e;
    }

    void integerLiteral(Expr& e)
    {
        const bool negative = m_in.accept("-");
        const Token& number = m_in.peek();
        bool ok = false;
        const qint64 value = number.text.toLongLong(&ok);
        if (number.kind != Token::Kind::Number || !ok)
            fail();
        m_in.next();
        e.value = negative ? -value : value;
        const bool fitsInt = value <= std::numeric_limits<qint32>::max();
        e.literalType = Column{{}, fitsInt ? SqlType::Int : SqlType::BigInt, 0, 0, 0, false};
    }

    void function(Expr& e)
    {
        const Token& name = m_in.next();
        m_in.next();   // (
        if (name.is("Count")) {
            if (m_in.accept("*")) {
                e.kind = Expr::Kind::CountRows;
            } else {
                e.kind = Expr::Kind::Count;
                e.argument = expr();
            }
        } else if (name.is("DB_Name")) {
            e.kind = Expr::Kind::DbName;
            if (!m_in.peek().isSymbol(")"))
                e.argument = expr();
        } else {
            throw SyntaxError{name};
        }
        expectSymbol(")");
    }

    ColumnRef columnRef()
    {
        ColumnRef ref;
        ref.name = m_in.next().text;
        if (m_in.accept(".")) {
            if (!isName(m_in.peek()))
                fail();
            ref.prefix = ref.name;
            ref.name = m_in.next().text;
        }
        return ref;
    }

    std::unique_ptr<Condition> condition()
    {
        auto left = conjunction();
        while (m_in.accept("or")) {
            auto both = std::make_unique<Condition>();
            both->kind = Condition::Kind::Or;
            both->left = std::move(left);
            both->right = conjunction();
            left = std::move(both);
        }
        return left;
    }

    std::unique_ptr<Condition> conjunction()
    {
        auto left = negation();
        while (m_in.accept("and")) {
            auto both = std::make_unique<Condition>();
            both->kind = Condition::Kind::And;
            both->left = std::move(left);
            both->right = negation();
            left = std::move(both);
        }
        return left;
    }

    std::unique_ptr<Condition> negation()
    {
        if (!m_in.accept("not"))
            return predicate();
        auto c = std::make_unique<Condition>();
        c->kind = Condition::Kind::Not;
        c->left = negation();
        return c;
    }

    std::unique_ptr<Condition> predicate()
    {
        // "(" opens either a nested condition or a parenthesised expression; try the first.
        if (m_in.peek().isSymbol("(") && !m_in.peek(1).is("Select")) {
            const size_t start = m_in.position();
            try {
                m_in.next();
                auto nested = condition();
                expectSymbol(")");
                return nested;
            } catch (const SyntaxError&) {
                m_in.seek(start);
            }
        }
        auto c = std::make_unique<Condition>();
        c->a = expr();
        if (m_in.accept("is")) {
            c->kind = m_in.accept("not") ? Condition::Kind::IsNotNull : Condition::Kind::IsNull;
            expectWord("null");
            return c;
        }
        static const char* const operators[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
        for (const char* op : operators) {
            if (m_in.peek().isSymbol(op)) {
                c->op = m_in.next().text;
                c->b = expr();
                return c;
            }
        }
        fail();
    }

    const std::vector<Token>& m_tokens;
    TokenStream m_in;
    int m_sessionSpid;
};

} // namespace

bool isProcessSelect(const std::vector<Token>& tokens)
{
    if (tokens.empty() || !tokens.front().is("Select"))
        return false;
    int depth = 0;
    for (size_t i = 1; i < tokens.size(); ++i) {
        if (tokens[i].isSymbol("("))
            ++depth;
        else if (tokens[i].isSymbol(")"))
            --depth;
        else if (depth == 0 && tokens[i].is("from")) {
            TokenStream in(tokens, i + 1);
            return readTableName(in).compare(u"sysprocesses", Qt::CaseInsensitive) == 0;
        }
    }
    return false;
}

ProcessSelect parseProcessSelect(const std::vector<Token>& tokens, int sessionSpid)
{
    return Parser(tokens, sessionSpid).parse();
}

} // namespace sqlsim
