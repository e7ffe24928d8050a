#include "Parser.h"

#include "ParserQueries.h"

#include <QSet>

namespace sqlsim::tsql {

namespace parsing {


bool isReserved(const Token& token)
{
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const char* word :
             {"add", "all", "and", "any", "as", "asc", "begin", "between", "break", "by", "case",
              "close", "continue", "convert", "create", "cross", "cursor", "deallocate", "declare",
              "dbcc", "default", "delete", "desc", "distinct", "drop", "else", "end", "exec", "execute",
              "exists", "fetch", "for", "from", "full", "group", "having", "identity", "if", "in",
              "inner", "insert", "into", "is", "join", "kill", "left", "like", "not", "null", "on",
              "open", "or", "order", "outer", "print", "raiserror", "return", "right", "select", "set", "table",
              "then", "top", "union", "update", "use", "values", "when", "where", "while"})
            set.insert(QString::fromLatin1(word));
        return set;
    }();
    return token.kind == Token::Kind::Word && words.contains(token.text.toLower());
}

bool isBareName(const Token& token)
{
    return token.kind == Token::Kind::QuotedName || (token.kind == Token::Kind::Word && !isReserved(token));
}

} // namespace parsing

namespace {

using namespace parsing;

bool isOnOffOption(const QString& option)
{
    static const QSet<QString> options = [] {
        QSet<QString> set;
        for (const char* name :
             {"ansi_defaults", "ansi_null_dflt_off", "ansi_null_dflt_on", "ansi_nulls", "ansi_padding",
              "ansi_warnings", "arithabort", "arithignore", "concat_null_yields_null",
              "cursor_close_on_commit", "fmtonly", "forceplan", "identity_insert",
              "implicit_transactions", "nocount", "noexec", "numeric_roundabort", "parseonly",
              "quoted_identifier", "remote_proc_transactions", "showplan_all", "showplan_text",
              "xact_abort"})
            set.insert(QString::fromLatin1(name));
        return set;
    }();
    return options.contains(option.toLower());
}

// The statements of a batch, each read to where its grammar ends.
class StatementParser : public QueryParser {
public:
    using QueryParser::QueryParser;

    Batch batch()
    {
        Batch batch;
        while (!m_in.atEnd()) {
            if (m_in.accept(";"))
                continue;
            batch.statements.push_back(statement(batch.statements.empty()));
        }
        return batch;
    }

private:
    StatementPtr make(Statement::Kind kind, const Token& first)
    {
        auto statement = std::make_unique<Statement>(kind);
        statement->offset = first.offset;
        statement->line = lineAt(first.offset);
        statement->firstWord = first.text;
        return statement;
    }

    // --- statements ---------------------------------------------------------------------------

    StatementPtr statement(bool firstOfBatch)
    {
        Nesting nesting(*this);
        const Token& first = m_in.peek();
        if (first.kind != Token::Kind::Word && first.kind != Token::Kind::QuotedName)
            fail();
        // A batch may begin with a procedure's name alone, without EXEC.
        if (firstOfBatch && isBareName(first))
            return execute(first, false);
        m_in.next();
        using K = Statement::Kind;
        if (first.is("select")) {
            auto s = make(K::Select, first);
            s->query = selectQuery();
            return s;
        }
        if (first.is("declare"))
            return declare(first);
        if (first.is("set"))
            return set(first);
        if (first.is("insert"))
            return insert(first);
        if (first.is("update"))
            return update(first);
        if (first.is("delete")) {
            auto s = make(K::Delete, first);
            m_in.accept("from");
            s->table = objectName();
            if (m_in.accept("where"))
                s->expr = expression();
            return s;
        }
        if (first.is("create"))
            return createTable(first);
        if (first.is("drop")) {
            expect("table");
            auto s = make(K::DropTable, first);
            s->table = objectName();
            return s;
        }
        if (first.is("if")) {
            auto s = make(K::If, first);
            s->expr = expression();
            s->body.push_back(statement(false));
            if (m_in.accept("else"))
                s->body.push_back(statement(false));
            return s;
        }
        if (first.is("while")) {
            auto s = make(K::While, first);
            s->expr = expression();
            s->body.push_back(statement(false));
            return s;
        }
        if (first.is("begin")) {
            auto s = make(K::Block, first);
            while (!m_in.accept("end")) {
                if (m_in.atEnd())
                    fail();
                if (!m_in.accept(";"))
                    s->body.push_back(statement(false));
            }
            return s;
        }
        if (first.is("break"))
            return make(K::Break, first);
        if (first.is("continue"))
            return make(K::Continue, first);
        if (first.is("return"))
            return make(K::Return, first);
        if (first.is("open") || first.is("close") || first.is("deallocate")) {
            auto s = make(first.is("open") ? K::Open : first.is("close") ? K::Close : K::Deallocate, first);
            s->name = name();
            return s;
        }
        if (first.is("fetch"))
            return fetch(first);
        if (first.is("exec") || first.is("execute"))
            return execute(first, true);
        if (first.is("use")) {
            auto s = make(K::Use, first);
            s->name = name();
            return s;
        }
        if (first.is("dbcc")) {
            // DBCC <command> [(arguments)] [WITH option, ...]
            auto s = make(K::Dbcc, first);
            s->table.object = name();
            if (m_in.accept("(")) {
                if (!m_in.peek().isSymbol(")")) {
                    // Arguments are constants or bare words: SQLPERF(LOGSPACE).
                    do
                        s->arguments.push_back(ProcedureArgument{{}, procedureValue()});
                    while (m_in.accept(","));
                }
                expect(")");
            }
            if (m_in.accept("with")) {
                do
                    s->options << name();
                while (m_in.accept(","));
            }
            return s;
        }
        if (first.is("kill")) {
            auto s = make(K::Kill, first);
            const Token& number = m_in.peek();
            bool whole = false;
            number.text.toLongLong(&whole);
            if (number.kind != Token::Kind::Number || !whole)
                fail();
            s->expr = primary();
            return s;
        }
        if (first.is("print")) {
            auto s = make(K::Print, first);
            s->expr = expression();
            return s;
        }
        if (first.is("raiserror")) {
            // RAISERROR (message, severity, state [, argument ...]) [WITH option, ...]
            auto s = make(K::RaisError, first);
            expect("(");
            do
                s->arguments.push_back(ProcedureArgument{{}, expression()});
            while (m_in.accept(","));
            expect(")");
            if (s->arguments.size() < 3)
                fail();
            if (m_in.accept("with")) {
                do
                    s->options << name();
                while (m_in.accept(","));
            }
            return s;
        }
        m_in.seek(m_in.position() - 1);
        fail();
    }

    StatementPtr declare(const Token& first)
    {
        if (isBareName(m_in.peek()) && m_in.peek(1).is("cursor")) {
            auto s = make(Statement::Kind::DeclareCursor, first);
            s->name = m_in.next().text;
            m_in.next();
            // LOCAL, GLOBAL, FORWARD_ONLY, STATIC, FAST_FORWARD, READ_ONLY ... up to FOR
            while (!m_in.peek().is("for") && isBareName(m_in.peek()))
                m_in.next();
            expect("for");
            if (!m_in.accept("select"))
                fail();
            s->query = selectQuery();
            return s;
        }
        auto s = make(Statement::Kind::Declare, first);
        do {
            if (m_in.peek().kind != Token::Kind::Variable)
                fail();
            const QString variable = m_in.next().text;
            m_in.accept("as");
            s->variables.emplace_back(variable, typeName());
        } while (m_in.accept(","));
        return s;
    }

    StatementPtr set(const Token& first)
    {
        if (m_in.peek().kind == Token::Kind::Variable) {
            auto s = make(Statement::Kind::SetVariable, first);
            s->name = m_in.next().text;
            expect("=");
            s->expr = expression();
            return s;
        }
        auto s = make(Statement::Kind::SetOption, first);
        const Token& option = m_in.peek();
        if (option.is("statistics")) {
            s->options << m_in.next().text;
            if (!(m_in.accept("io") || m_in.accept("time") || m_in.accept("profile")))
                fail();
        } else if (option.is("transaction")) {
            s->options << m_in.next().text;
            expect("isolation");
            expect("level");
            if (m_in.accept("read")) {
                if (!m_in.accept("committed") && !m_in.accept("uncommitted"))
                    fail();
            } else if (m_in.accept("repeatable")) {
                expect("read");
            } else if (!m_in.accept("serializable")) {
                fail();
            }
            return s;
        } else if (option.is("rowcount") || option.is("textsize") || option.is("lock_timeout")
                   || option.is("datefirst") || option.is("dateformat") || option.is("language")
                   || option.is("deadlock_priority")) {
            s->options << m_in.next().text;
            const bool negative = m_in.accept("-");
            const Token& value = m_in.peek();
            if (value.kind == Token::Kind::End || value.kind == Token::Kind::Symbol)
                fail();
            s->value = (negative ? QStringLiteral("-") : QString()) + m_in.next().text;
            return s;
        } else {
            do {
                if (!m_in.peek().isName())
                    fail();
                if (!isOnOffOption(m_in.peek().text))
                    throw Failure{Message{195, 1, 15,
                                          QStringLiteral("'%1' is not a recognized SET option.").arg(m_in.peek().text),
                                          {}, lineAt(m_in.peek().offset)}};
                s->options << m_in.next().text;
            } while (m_in.accept(","));
        }
        if (m_in.peek().is("on") || m_in.peek().is("off"))
            s->value = m_in.next().text.toUpper();
        else
            fail();
        return s;
    }

    StatementPtr insert(const Token& first)
    {
        auto s = make(Statement::Kind::Insert, first);
        m_in.accept("into");
        s->table = objectName();
        if (m_in.peek().isSymbol("(")) {
            m_in.next();
            do
                s->names << name();
            while (m_in.accept(","));
            expect(")");
        }
        const Token& source = m_in.peek();
        if (m_in.accept("values")) {
            do {
                expect("(");
                std::vector<ExprPtr> row;
                do
                    row.push_back(expression());
                while (m_in.accept(","));
                expect(")");
                s->rows.push_back(std::move(row));
            } while (m_in.accept(","));
        } else if (m_in.accept("select")) {
            s->query = selectQuery();
        } else if (m_in.accept("exec") || m_in.accept("execute")) {
            s->source = execute(source, true);
        } else {
            fail();
        }
        return s;
    }

    StatementPtr update(const Token& first)
    {
        auto s = make(Statement::Kind::Update, first);
        s->table = objectName();
        expect("set");
        do {
            QString column = name();
            expect("=");
            s->assignments.emplace_back(column, expression());
        } while (m_in.accept(","));
        if (m_in.accept("where"))
            s->expr = expression();
        return s;
    }

    StatementPtr createTable(const Token& first)
    {
        expect("table");
        auto s = make(Statement::Kind::CreateTable, first);
        s->table = objectName();
        expect("(");
        do {
            ColumnDefinition column;
            column.name = name();
            column.type = typeName();
            for (;;) {
                if (m_in.accept("identity")) {
                    column.identity = true;
                    if (m_in.accept("(")) {
                        column.seed = signedInteger();
                        expect(",");
                        column.step = signedInteger();
                        expect(")");
                    }
                } else if (m_in.accept("null")) {
                    column.nullable = true;
                } else if (m_in.peek().is("not") && m_in.peek(1).is("null")) {
                    m_in.next();
                    m_in.next();
                    column.nullable = false;
                } else {
                    break;
                }
            }
            if (column.identity)
                column.nullable = false;
            s->columns.push_back(std::move(column));
        } while (m_in.accept(","));
        expect(")");
        return s;
    }

    qint64 signedInteger()
    {
        const bool negative = m_in.accept("-");
        const qint64 value = integer();
        return negative ? -value : value;
    }

    StatementPtr fetch(const Token& first)
    {
        auto s = make(Statement::Kind::Fetch, first);
        m_in.accept("next");
        m_in.accept("from");
        s->name = name();
        if (m_in.accept("into")) {
            do {
                if (m_in.peek().kind != Token::Kind::Variable)
                    fail();
                s->names << m_in.next().text;
            } while (m_in.accept(","));
        }
        return s;
    }

    // EXEC proc args, EXEC (text), or (first of a batch) proc args without EXEC.
    StatementPtr execute(const Token& first, bool afterWord)
    {
        if (afterWord && m_in.peek().isSymbol("(")) {
            auto s = make(Statement::Kind::ExecuteString, first);
            m_in.next();
            s->expr = expression();
            expect(")");
            return s;
        }
        auto s = make(Statement::Kind::Execute, first);
        if (!afterWord)
            s->firstWord = QStringLiteral("EXECUTE");
        s->table = objectName();
        if (!startsArgument())
            return s;
        do {
            ProcedureArgument argument;
            if (m_in.peek().kind == Token::Kind::Variable && m_in.peek(1).isSymbol("=")) {
                argument.name = m_in.next().text;
                m_in.next();
            }
            argument.value = procedureValue();
            s->arguments.push_back(std::move(argument));
        } while (m_in.accept(","));
        return s;
    }

    bool startsArgument() const
    {
        const Token& token = m_in.peek();
        return token.kind == Token::Kind::Number || token.kind == Token::Kind::String
            || token.kind == Token::Kind::Variable || token.isSymbol("-") || isBareName(token)
            || token.is("null") || token.is("default");
    }

    // A procedure argument is a constant, a variable, or a bare word taken as text.
    ExprPtr procedureValue()
    {
        const Token& token = m_in.peek();
        if (isBareName(token) || token.is("default")) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::String;
            e->offset = token.offset;
            e->text = m_in.next().text;
            return e;
        }
        if (token.kind == Token::Kind::Number || token.kind == Token::Kind::String
            || token.kind == Token::Kind::Variable || token.isSymbol("-") || token.is("null"))
            return unary();
        fail();
    }

};

} // namespace

Message nestedTooDeeply(int line)
{
    return Message{191, 1, 15,
                   QStringLiteral("Some part of your SQL statement is nested too deeply. Rewrite the "
                                  "query or break it up into smaller queries."),
                   {}, line};
}

std::variant<Batch, Message> parseBatch(const QString& text)
{
    const Lexed lexed = lex(text);
    if (lexed.errorNumber != 0)
        return Message{lexed.errorNumber, 1, 15, lexed.error, {}, 1};
    try {
        return StatementParser(text, lexed.tokens).batch();
    } catch (const Failure& failure) {
        return failure.message;
    }
}

} // namespace sqlsim::tsql
