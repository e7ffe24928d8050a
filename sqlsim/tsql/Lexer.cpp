#include "Lexer.h"

namespace sqlsim {

bool Token::is(const char* word) const
{
    return kind == Kind::Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool Token::isSymbol(const char* symbol) const
{
    return kind == Kind::Symbol && text == QLatin1String(symbol);
}

namespace {

bool isWordStart(QChar c) { return c.isLetter() || c == u'_' || c == u'#'; }
bool isWordPart(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'#' || c == u'$' || c == u'@'; }

// Reads a string or a bracketed name from `i`, just past its opening mark, up to `close`; a
// doubled `close` stands for one. Leaves `i` past the closing mark; false when there is none.
bool readDelimited(const QString& s, QChar close, int& i, QString& value)
{
    const int n = int(s.size());
    while (i < n) {
        if (s[i] == close) {
            if (i + 1 < n && s[i + 1] == close) {
                value += close;
                i += 2;
                continue;
            }
            ++i;
            return true;
        }
        value += s[i++];
    }
    return false;
}

} // namespace

Lexed lex(const QString& s)
{
    Lexed out;
    const int n = int(s.size());
    int i = 0;
    auto push = [&](Token::Kind kind, QString text, int offset, bool unicode = false) {
        out.tokens.push_back(Token{kind, std::move(text), offset, unicode});
    };
    auto unclosed = [&](const QString& value) {
        out.error = QStringLiteral("Unclosed quotation mark before the character string '%1'.").arg(value);
        out.errorNumber = 105;
    };
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'-' && i + 1 < n && s[i + 1] == u'-') {
            while (i < n && s[i] != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && s[i + 1] == u'*') {
            const int end = int(s.indexOf(QLatin1String("*/"), i + 2));
            if (end < 0) {
                out.error = QStringLiteral("Missing end comment mark '*/'.");
                out.errorNumber = 113;
                break;
            }
            i = end + 2;
        } else if (c == u'\'' || ((c == u'N' || c == u'n') && i + 1 < n && s[i + 1] == u'\'')) {
            const bool unicode = c != u'\'';
            const int start = i;
            i += unicode ? 2 : 1;
            QString value;
            if (!readDelimited(s, u'\'', i, value)) {
                unclosed(value);
                break;
            }
            push(Token::Kind::String, value, start, unicode);
        } else if (c == u'[' || c == u'"') {
            // "name" is a name too: the client library sets QUOTED_IDENTIFIER ON.
            const int start = i++;
            QString value;
            if (!readDelimited(s, c == u'[' ? u']' : u'"', i, value)) {
                unclosed(value);
                break;
            }
            push(Token::Kind::QuotedName, value, start);
        } else if (c == u'@') {
            const int start = i++;
            while (i < n && isWordPart(s[i]))
                ++i;
            push(Token::Kind::Variable, s.mid(start, i - start), start);
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && s[i + 1].isDigit())) {
            const int start = i;
            while (i < n && (s[i].isDigit() || s[i] == u'.'))
                ++i;
            push(Token::Kind::Number, s.mid(start, i - start), start);
        } else if (isWordStart(c)) {
            const int start = i;
            while (i < n && isWordPart(s[i]))
                ++i;
            push(Token::Kind::Word, s.mid(start, i - start), start);
        } else {
            static const char* const twoCharSymbols[] = {"<>", "<=", ">=", "!=", "!<", "!>"};
            const int start = i;
            QString symbol(c);
            for (const char* two : twoCharSymbols) {
                if (i + 1 < n && s[i] == QLatin1Char(two[0]) && s[i + 1] == QLatin1Char(two[1])) {
                    symbol = QLatin1String(two);
                    break;
                }
            }
            i += int(symbol.size());
            push(Token::Kind::Symbol, symbol, start);
        }
    }
    push(Token::Kind::End, {}, n);
    return out;
}

const Token& TokenStream::peek(size_t ahead) const
{
    const size_t index = m_position + ahead;
    return index < m_tokens.size() ? m_tokens[index] : m_tokens.back();
}

const Token& TokenStream::next()
{
    const Token& token = peek();
    if (m_position < m_tokens.size() - 1)
        ++m_position;
    return token;
}

bool TokenStream::accept(const char* wordOrSymbol)
{
    const Token& token = peek();
    if (token.is(wordOrSymbol) || token.isSymbol(wordOrSymbol)) {
        next();
        return true;
    }
    return false;
}

} // namespace sqlsim
