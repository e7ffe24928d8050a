// The two queries of the process detail window and its lock grid's columns: the locks of one
// process as sp_lock reports them, with two names looked up per row, and its last input.
#pragma once

#include "GridColumn.h"
#include "Query.h"

#include <QStringList>
#include <vector>

namespace velmora {

/// "Exec sp_lock <spid>".
QStringList lockBatch(const QString& spid);
/// "dbcc inputbuffer(<spid>)".
QStringList inputBufferBatch(const QString& spid);

/// The lock fields: the eight sp_lock columns, then OName and DBName, calculated.
std::vector<FieldDef> lockFields();
/// EventType, Parameters, EventInfo.
std::vector<FieldDef> inputBufferFields();

/// How many characters of an object or database name the lock rows keep.
constexpr int lockNameLength = 20;

/// The look-up texts a lock row sends: "Select object_name (<id>)", "Select DB_name (<id>)".
QString objectNameLookup(const QString& objectId);
QString databaseNameLookup(const QString& databaseId);

/// The ten columns of the lock grid; every title is a sort button but those of the two names.
GridColumns lockGridColumns();

} // namespace velmora
