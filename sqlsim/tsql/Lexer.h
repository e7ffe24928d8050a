// T-SQL tokens as the server reads them: words (bare, [bracketed] or "quoted"), numbers, strings,
// variables, punctuation. Comments and white space separate tokens and are dropped.
#pragma once

#include <QString>
#include <vector>

namespace sqlsim {

struct Token {
    enum class Kind { Word, QuotedName, Number, String, Variable, Symbol, End };
    Kind kind = Kind::End;
    QString text;      // Word/Symbol/Number: as written; QuotedName/String: the unquoted value;
                       // Variable: with its @ or @@
    int offset = 0;    // position in the batch
    bool unicode = false;   // N'...' strings

    /// A word (not a quoted name) equal to `word`, ignoring case.
    bool is(const char* word) const;
    /// A symbol equal to `symbol`.
    bool isSymbol(const char* symbol) const;
    /// A bare or bracketed name; `name()` is its text either way.
    bool isName() const { return kind == Kind::Word || kind == Kind::QuotedName; }
};

/// Splits a batch into tokens, ending with one End token. An unterminated string, bracket or
/// comment gives `error` the text SQL Server reports and `errorNumber` (105 or 113).
struct Lexed {
    std::vector<Token> tokens;
    QString error;
    int errorNumber = 0;
};
Lexed lex(const QString& batch);

/// A cursor over tokens for the statement parsers.
class TokenStream {
public:
    explicit TokenStream(const std::vector<Token>& tokens, size_t position = 0)
        : m_tokens(tokens), m_position(position) {}

    const Token& peek(size_t ahead = 0) const;
    const Token& next();
    bool atEnd() const { return peek().kind == Token::Kind::End; }
    size_t position() const { return m_position; }
    void seek(size_t position) { m_position = position; }

    /// Consumes the word or symbol when it is next; tells whether it did.
    bool accept(const char* wordOrSymbol);

private:
    const std::vector<Token>& m_tokens;
    size_t m_position;
};

} // namespace sqlsim
