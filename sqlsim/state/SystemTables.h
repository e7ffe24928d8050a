// The columns of sysprocesses and syslocks as each server version declares them, and how a
// column's value is read from the state's Process and Lock rows.
#pragma once

#include "Reply.h"
#include "ServerState.h"

#include <vector>

namespace sqlsim {

template <typename Row>
struct SystemColumn {
    Column column;               // name, type and width as the server declares the column
    Value (*read)(const Row&);   // the row's value before it is fitted to the column
};

/// sysprocesses of the given version: 7.0 has suid, an int physical_io and a binary(85) sid;
/// 2000 has no suid, a bigint physical_io and a binary(86) sid; 2005 and later also count
/// waittime in a bigint and give hostprocess 10 characters (and cmd 26 from 2008 on).
const std::vector<SystemColumn<Process>>& sysprocessesColumns(ServerVersion version);

/// syslocks (the same in 7.0 and 2000; later versions have none).
const std::vector<SystemColumn<Lock>>& syslocksColumns();

/// syslockinfo, the lock view of 2005 and later: one row per lock, its owner in req_spid.
const std::vector<SystemColumn<Lock>>& syslockinfoColumns();

/// What sp_lock and syslockinfo tell of a lock beyond its syslocks row.
struct LockDetail {
    QString type;       // DB, TAB, PAG, KEY, RID, EXT
    QString resource;
    QString mode;       // S, X, IS, IX, U, Sch-S ...
};

/// The lock's detail; a lock seeded only as a syslocks row is described by its type code.
LockDetail lockDetail(const Lock& lock);

/// The value as the server stores it in a column of that type: fixed text padded with blanks
/// and fixed binary with zero bytes to the column's width, integers held to the type's range,
/// an unset date and time as 1900-01-01 00:00.
Value storedValue(const Column& column, const Value& value);

} // namespace sqlsim
