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

} // namespace

bool answerKill(const StatementTokens& statement, StatementContext& context)
{
    const std::vector<Token>& tokens = statement.tokens;   // Kill <number> End
    if (tokens.empty() || !tokens.front().is("Kill"))
        return false;
    const Token& number = tokens.size() > 1 ? tokens[1] : tokens.front();
    if (number.kind == Token::Kind::End) {
        context.reply.items.push_back(syntaxError(tokens.front()));
        return true;
    }
    if (!isWholeNumber(number) || tokens.size() > 3) {
        context.reply.items.push_back(syntaxError(isWholeNumber(number) ? tokens[2] : number));
        return true;
    }
    const qint64 spid = number.text.toLongLong();
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
