// Reads a whole T-SQL batch into statements before anything runs, as the server compiles a
// batch: one syntax error anywhere rejects all of it with the server's message (170 or 156,
// 105/113 from the lexer, 191 when expressions or blocks nest too deeply).
#pragma once

#include "Ast.h"
#include "state/Reply.h"

#include <variant>

namespace sqlsim::tsql {

/// How deeply expressions, subqueries and blocks may nest before the server answers 191.
constexpr int kMaxNesting = 128;

/// The batch's statements, or the error that rejects it. Never throws.
std::variant<Batch, Message> parseBatch(const QString& text);

/// 191 "Some part of your SQL statement is nested too deeply. ..."
Message nestedTooDeeply(int line = 1);

} // namespace sqlsim::tsql
