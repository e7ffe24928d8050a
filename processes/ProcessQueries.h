// The three variants of the process list query: the batch a SQL Server 7.0 answers, the one
// for 2000 (which has no suid column and a 64-bit physical_io) and the one for 2005 and later
// (which count locks in syslockinfo, having no syslocks), with their declared fields.
#pragma once

#include "Query.h"
#include "ServerFamily.h"

#include <QStringList>
#include <vector>

namespace velmora {

/// The batch, line by line, of ProcQuery (7.0), ProcQuery2 (2000) or ProcQuery2005 (2005 and
/// later).
QStringList processBatch(ServerFamily family);

/// The declared fields, in the order the list addresses them (spid first).
std::vector<FieldDef> processFields(ServerFamily family);

/// Gives `query` the variant's batch and fields and switches local filtering on with an empty
/// filter string. Precondition: `query` is closed.
void setUpProcessQuery(Query& query, ServerFamily family);

} // namespace velmora
