// The queries of the error log viewer: their batch texts, line by line as they are sent, and
// their declared fields. 7.0 and 2000 give each line of the log with a continuation flag, and
// the entry list splits the lines on the server; 2005 and later give each entry already split
// into date, source and text, which the entry list reads as they come.
#pragma once

#include "Query.h"
#include "ServerFamily.h"

#include <QStringList>

namespace velmora {

/// LogNumQuery: the archive list.
QStringList logArchiveBatch();
/// LogNumInfoQuery: the last line of archive :LID (bound as decimal text).
QStringList lastEntryBatch(ServerFamily family);
/// LogListQuery on 7.0 and 2000: every line of archive :LID (bound as decimal text) split into
/// date, source and message by the server.
QStringList logParsingBatch();
/// LogListQuery on 2005 and later: every entry of archive :LID (bound as decimal text) with the
/// log reader's own date, source and text, none marked as a continuation.
QStringList logEntryBatch();
/// LogQuery: the log reader's raw rows of archive :LID (bound as an integer).
QStringList rawLogBatch();

/// Gives each query its batch and declared fields. Precondition: the queries are closed.
void setUpLogArchiveQuery(Query& query);
void setUpLastEntryQuery(Query& query, ServerFamily family);
/// The entry list also gets its filter, the rows with a source, switched off.
void setUpLogListQuery(Query& query, ServerFamily family);
void setUpRawLogQuery(Query& query);

} // namespace velmora
