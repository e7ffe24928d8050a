#include "BatchSplitter.h"

namespace sqlsim {

namespace {

bool beginsStatement(const Token& token)
{
    static const char* const words[] = {
        "alter", "backup", "begin", "break", "checkpoint", "close", "commit", "continue",
        "create", "dbcc", "deallocate", "declare", "delete", "deny", "drop", "else", "end",
        "exec", "execute", "fetch", "goto", "grant", "if", "insert", "kill", "open", "print",
        "raiserror", "restore", "return", "revoke", "rollback", "save", "select", "set",
        "truncate", "update", "use", "waitfor", "while",
    };
    if (token.kind != Token::Kind::Word)
        return false;
    for (const char* word : words) {
        if (token.is(word))
            return true;
    }
    return false;
}

// Tracks what the current statement has seen, to tell a continuation from a new statement.
struct Shape {
    const Token* first = nullptr;
    bool sourceSeen = false;    // Insert: its Select/Exec/Values; Update: its Set
    const Token* previous = nullptr;
    int caseOpen = 0;           // Case expressions waiting for their End

    bool continues(const Token& word) const
    {
        if (!first)
            return false;
        if (previous && (previous->is("union") || previous->is("all") || previous->is("for")))
            return word.is("select");
        if (first->is("insert") && !sourceSeen)
            return word.is("select") || word.is("exec") || word.is("execute");
        if (first->is("update") && !sourceSeen)
            return word.is("set");
        // End closes a Case inside a select list rather than a block.
        return word.is("end") && caseOpen > 0;
    }
};

} // namespace

std::vector<StatementTokens> splitStatements(const std::vector<Token>& tokens)
{
    std::vector<StatementTokens> statements;
    StatementTokens current;
    Shape shape;
    int depth = 0;
    auto finish = [&](int nextOffset) {
        if (!current.tokens.empty()) {
            current.tokens.push_back(Token{Token::Kind::End, {}, nextOffset, false});
            statements.push_back(std::move(current));
        }
        current = {};
        shape = {};
    };
    for (const Token& token : tokens) {
        if (token.kind == Token::Kind::End) {
            finish(token.offset);
            break;
        }
        if (token.isSymbol("(")) {
            ++depth;
        } else if (token.isSymbol(")")) {
            depth = std::max(0, depth - 1);
        } else if (depth == 0 && token.isSymbol(";")) {
            finish(token.offset);
            continue;
        } else if (depth == 0 && beginsStatement(token)) {
            if (shape.continues(token)) {
                shape.sourceSeen = true;
                if (token.is("end"))
                    --shape.caseOpen;
            } else {
                finish(token.offset);
            }
        } else if (depth == 0 && token.is("case")) {
            ++shape.caseOpen;
        } else if (depth == 0 && shape.first && shape.first->is("insert") && token.is("values")) {
            shape.sourceSeen = true;
        }
        if (current.tokens.empty()) {
            current.offset = token.offset;
        }
        current.tokens.push_back(token);
        if (!shape.first)
            shape.first = &token;
        shape.previous = &token;
    }
    return statements;
}

} // namespace sqlsim
