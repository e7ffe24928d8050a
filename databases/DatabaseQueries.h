// The statements of the databases tab: the database list, the four queries about the chosen
// database (properties, files, log space, space used) and the users list, with their declared
// fields, and the texts the refresh puts into them.
#pragma once

#include "Query.h"

#include <QStringList>
#include <vector>

namespace velmora {

/// A database name as a bracket-quoted identifier: "[name]", a "]" inside doubled.
QString quotedDatabaseName(const QString& name);

/// "Use [name]": the first line of the space-used and users batches.
QString useDatabaseLine(const QString& name);
/// "exec [name]..sp_helpfile": the whole text of the files query at a refresh.
QString helpFileLine(const QString& name);
/// "[Database Name] = 'name'", each quote inside the name doubled: the log-space query's filter.
QString logSpaceFilter(const QString& name);
/// The statement that drops a #spt_space left by a cut-off space-used batch, leaving the
/// connection in tempdb.
QString dropLeftOverSpaceTable();

/// The 59 lines of the space-used batch, line 1 empty.
QStringList spaceUsedBatch();
/// The users batch, line 1 empty.
QStringList usersBatch();

/// Seconds the space-used batch may run.
constexpr int spaceUsedTimeout = 10;

/// Gives each query its text, parameters and declared fields. Precondition: all closed.
void setUpDatabaseListQuery(Query& query);
void setUpPropertiesQuery(Query& query);
void setUpFilesQuery(Query& query);
void setUpLogSpaceQuery(Query& query);
void setUpSpaceUsedQuery(Query& query);
void setUpUserQuery(Query& query);

/// The space used's percentage as the field holds it: four decimals, trailing zeros dropped
/// ("86.8889", "50"); empty text stays empty.
QString percentWithFourDecimals(const QString& exact);

} // namespace velmora
