// The half of the batch parser that reads SELECT queries and expressions. Chains of OR, AND
// and arithmetic become one node each, so a long flat chain costs no depth of recursion.
// Internal to the parser.
#pragma once

#include "ParserBase.h"

namespace sqlsim::tsql::parsing {

class QueryParser : public ParserBase {
public:
    using ParserBase::ParserBase;

    /// After SELECT: the rest of the query.
    std::shared_ptr<SelectQuery> selectQuery();
    ExprPtr expression();
    /// A signed term (procedure arguments), or a term alone (Kill's number).
    ExprPtr unary();
    ExprPtr primary();

private:
    SelectItem selectItem();
    TableSource tableSource(TableSource::Join join);
    ExprPtr node(Expr::Kind kind, int offset);
    ExprPtr conjunction();
    ExprPtr negation();
    ExprPtr predicate();
    ExprPtr chain(ExprPtr (QueryParser::*operand)(), const char* const* operators, size_t count);
    ExprPtr additive();
    ExprPtr multiplicative();
    ExprPtr caseExpression();
    ExprPtr function();
};

} // namespace sqlsim::tsql::parsing
