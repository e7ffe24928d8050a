// One reading of the process list as a recording keeps it: when and where it was read, the
// list's fields and rows, and the locks of the processes that blocked others at the time.
#pragma once

#include "FieldDef.h"

#include <QDateTime>
#include <QString>
#include <vector>

namespace velmora {

struct Snapshot {
    QDateTime takenAt;               // the client's clock, to the millisecond
    QString server;                  // as the operator named it at the connect
    QString family;                  // "7.0", "2000" or "2005"
    std::vector<FieldDef> fields;
    std::vector<Row> rows;
    std::vector<Row> locks;          // recordedLockFields(), one row per lock
};

/// The columns a blocker's lock row keeps: those of the detail window's lock query, without the
/// names it looks up (spid, dbid, ObjId, IndId, Type, Resource, Mode, Status).
const std::vector<FieldDef>& recordedLockFields();

} // namespace velmora
