// The statements every session needs: Use, Set, select of @@ variables, xp_msver, and
// "Select * from <table>" over the plain tables; and the server's own messages for them.
#pragma once

#include "Statement.h"

#include <optional>

namespace sqlsim {

bool answerUse(const StatementTokens& statement, StatementContext& context);
bool answerSet(const StatementTokens& statement, StatementContext& context);
bool answerGlobalVariables(const StatementTokens& statement, StatementContext& context);
bool answerMsver(const StatementTokens& statement, StatementContext& context);
bool answerTableSelect(const StatementTokens& statement, StatementContext& context);

/// 170 "Incorrect syntax near '<token>'."
Message syntaxError(const Token& token);

/// INFO 5701, sent after a change of database; the wire layer announces the change from it.
Message databaseChanged(const QString& database);
/// The database a 5701 message announces, if it is one.
std::optional<QString> changedDatabase(const Message& message);

} // namespace sqlsim
