// Cuts a lexed batch into statements where the server would: at a top-level word that begins a
// statement, or at a semicolon. Words that continue the statement before them (the Select or
// Exec of an Insert, the Set of an Update, a Select after Union or For) do not cut.
#pragma once

#include "Statement.h"

#include <vector>

namespace sqlsim {

/// `tokens` ends with the End token, as lex() returns it.
std::vector<StatementTokens> splitStatements(const std::vector<Token>& tokens);

} // namespace sqlsim
