// The two variants of the process list query: the batch a SQL Server 7.0 answers and the one
// for 2000 (which has no suid column and a 64-bit physical_io), with their declared fields.
#pragma once

#include "Query.h"

#include <QStringList>
#include <vector>

namespace velmora {

/// The batch, line by line, of ProcQuery (`server2000` false) or ProcQuery2 (true).
QStringList processBatch(bool server2000);

/// The declared fields, in the order the list addresses them (spid first).
std::vector<FieldDef> processFields(bool server2000);

/// Gives `query` the variant's batch and fields and switches local filtering on with an empty
/// filter string. Precondition: `query` is closed.
void setUpProcessQuery(Query& query, bool server2000);

} // namespace velmora
