// The common ground of the batch parser's two halves (Parser.cpp and ParserQueries.cpp):
// the token stream, syntax errors as the server words them, names, types and the nesting guard.
// Internal to the parser.
#pragma once

#include "Lexer.h"
#include "Parser.h"

namespace sqlsim::tsql::parsing {

/// Words that can never be a bare column, table, alias or procedure name.
bool isReserved(const Token& token);
/// A bracketed name, or a bare word that is not reserved.
bool isBareName(const Token& token);

// Thrown inside the parser only; parseBatch turns it into the reply's message.
struct Failure {
    Message message;
};

class ParserBase {
public:
    ParserBase(const QString& text, const std::vector<Token>& tokens)
        : m_text(text), m_tokens(tokens), m_in(tokens) {}

protected:
    // Guards every recursive descent: too deep a nesting is the server's 191, not a crash.
    class Nesting {
    public:
        explicit Nesting(ParserBase& parser) : m_parser(parser)
        {
            if (++m_parser.m_depth > kMaxNesting)
                throw Failure{nestedTooDeeply(m_parser.lineAt(m_parser.m_in.peek().offset))};
        }
        ~Nesting() { --m_parser.m_depth; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        ParserBase& m_parser;
    };

    int lineAt(int offset) const
    {
        return 1 + int(QStringView(m_text).left(offset).count(u'\n'));
    }

    [[noreturn]] void fail() const
    {
        // At the end of the batch the server names the last thing it read.
        const size_t at = m_in.position();
        const Token& token = m_in.atEnd() && at > 0 ? m_tokens[at - 1] : m_tokens[at];
        Message message{170, 1, 15, QStringLiteral("Incorrect syntax near '%1'.").arg(token.text), {},
                        lineAt(token.offset)};
        if (!m_in.atEnd() && isReserved(token)) {
            message.number = 156;
            message.text = QStringLiteral("Incorrect syntax near the keyword '%1'.").arg(token.text);
        }
        throw Failure{message};
    }

    void expect(const char* wordOrSymbol)
    {
        if (!m_in.accept(wordOrSymbol))
            fail();
    }

    QString name()
    {
        if (!isBareName(m_in.peek()))
            fail();
        return m_in.next().text;
    }

    ObjectName objectName()
    {
        QStringList parts{name()};
        while (m_in.accept(".")) {
            if (m_in.peek().isSymbol(".")) {
                parts << QString();   // "master..x": the owner left out
                continue;
            }
            parts << name();
        }
        if (parts.size() > 3)
            fail();
        ObjectName object;
        object.object = parts.takeLast();
        if (!parts.isEmpty())
            object.owner = parts.takeLast();
        if (!parts.isEmpty())
            object.database = parts.takeLast();
        return object;
    }

    qint64 integer()
    {
        bool ok = false;
        const qint64 value = m_in.peek().text.toLongLong(&ok);
        if (m_in.peek().kind != Token::Kind::Number || !ok)
            fail();
        m_in.next();
        return value;
    }

    TypeName typeName()
    {
        TypeName type;
        type.name = name();
        if (m_in.accept("(")) {
            do
                type.params.push_back(int(integer()));
            while (m_in.accept(","));
            expect(")");
        }
        return type;
    }

    const QString& m_text;
    const std::vector<Token>& m_tokens;
    TokenStream m_in;
    int m_depth = 0;
};

} // namespace sqlsim::tsql::parsing
