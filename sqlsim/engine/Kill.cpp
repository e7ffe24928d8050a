#include "CoreStatements.h"
#include "ProcessErrors.h"
#include "ProcessTable.h"
#include "Statement.h"

#include <climits>

namespace sqlsim {

namespace {

bool isWholeNumber(const Token& token)
{
    bool fits = false;
    token.text.toLongLong(&fits);
    return token.kind == Token::Kind::Number && fits;
}

// The token the server names when "Kill <number>" is not what follows Kill; null when it is.
// `tokens` ends with the End token.
const Token* misfit(const std::vector<Token>& tokens)
{
    if (tokens[1].kind == Token::Kind::End)
        return &tokens[0];
    if (!isWholeNumber(tokens[1]))
        return &tokens[1];
    return tokens[2].kind == Token::Kind::End ? nullptr : &tokens[2];
}

} // namespace

bool answerKill(const StatementTokens& statement, StatementContext& context)
{
    const std::vector<Token>& tokens = statement.tokens;
    if (tokens.size() < 2 || !tokens.front().is("Kill"))
        return false;
    if (const Token* near = misfit(tokens)) {
        context.reply.items.push_back(syntaxError(*near));
        return true;
    }
    const qint64 spid = tokens[1].text.toLongLong();
    // A spid is a smallint: a larger number names no process.
    Process* const victim = spid <= SHRT_MAX ? findProcess(context.state, int(spid)) : nullptr;
    if (spid == context.spid)
        context.reply.items.push_back(killOwnProcess());
    else if (!victim)
        context.reply.items.push_back(killInactiveProcess(spid));
    else if (victim->system)
        context.reply.items.push_back(killSystemProcess());
    else {
        if (victim->hasClient)
            context.killedSessions.push_back(victim->spid);
        endProcess(context.state, victim->spid);
    }
    return true;
}

} // namespace sqlsim
