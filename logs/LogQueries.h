// The queries of the error log viewer: their batch texts, line by line as they are sent, and
// their declared fields.
#pragma once

#include "Query.h"

#include <QStringList>

namespace velmora {

/// LogNumQuery: the archive list.
QStringList logArchiveBatch();
/// LogNumInfoQuery: the last line of archive :LID (bound as decimal text).
QStringList lastEntryBatch();
/// LogListQuery: every line of archive :LID (bound as decimal text) split into date, source and
/// message by the server.
QStringList logParsingBatch();
/// LogQuery: the log reader's raw rows of archive :LID (bound as an integer).
QStringList rawLogBatch();

/// Gives each query its batch and declared fields. Precondition: the queries are closed.
void setUpLogArchiveQuery(Query& query);
void setUpLastEntryQuery(Query& query);
/// The entry list also gets its filter, the rows with a source, switched off.
void setUpLogListQuery(Query& query);
void setUpRawLogQuery(Query& query);

} // namespace velmora
