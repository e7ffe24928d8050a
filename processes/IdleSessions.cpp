#include "IdleSessions.h"

#include "RequiredField.h"
#include "TrimmedText.h"
#include "ValueCompare.h"

#include <algorithm>
#include <unordered_set>

namespace velmora {

namespace {

QString text(const Row& row, size_t column)
{
    return trimmedText(row[column].toString());
}

} // namespace

void hideIdleSessions(std::vector<int>& view, const std::vector<Row>& rows, const std::vector<FieldDef>& fields,
                      const IdleSessionRule& rule)
{
    const size_t spid = requiredField(fields, "spid");
    const size_t blocked = requiredField(fields, "blocked");
    const size_t status = requiredField(fields, "status");
    const size_t cmd = requiredField(fields, "cmd");
    const size_t openTran = requiredField(fields, "open_tran");
    const size_t netLibrary = requiredField(fields, "net_library");

    std::unordered_set<qint64> blockers;
    for (const Row& row : rows)
        if (const qint64 blocker = heldInteger(row[blocked]); blocker != 0)
            blockers.insert(blocker);

    const auto hidden = [&](int held) {
        const Row& row = rows[size_t(held)];
        if (heldInteger(row[blocked]) != 0 || blockers.contains(heldInteger(row[spid])))
            return false;
        const bool system = rule.family == ServerFamily::Sql2005AndLater ? text(row, netLibrary).isEmpty()
                                                                         : heldInteger(row[spid]) <= 50;
        if (system)
            return rule.hideSystem;
        const QString state = text(row, status);
        return (state.compare(u"sleeping", Qt::CaseInsensitive) == 0
                || state.compare(u"background", Qt::CaseInsensitive) == 0)
               && text(row, cmd).compare(u"AWAITING COMMAND", Qt::CaseInsensitive) == 0
               && heldInteger(row[openTran]) == 0;
    };
    std::erase_if(view, hidden);
}

} // namespace velmora
