#include "ProcessTable.h"

#include <algorithm>
#include <utility>

namespace sqlsim {

const Process* findProcess(const ServerState& state, int spid)
{
    const auto it = std::find_if(state.processes.begin(), state.processes.end(),
                                 [spid](const Process& p) { return p.spid == spid; });
    return it == state.processes.end() ? nullptr : &*it;
}

Process* findProcess(ServerState& state, int spid)
{
    return const_cast<Process*>(findProcess(std::as_const(state), spid));
}

bool endProcess(ServerState& state, int spid)
{
    const auto gone = std::remove_if(state.processes.begin(), state.processes.end(),
                                     [spid](const Process& p) { return p.spid == spid; });
    if (gone == state.processes.end())
        return false;
    state.processes.erase(gone, state.processes.end());
    std::erase_if(state.locks, [spid](const Lock& lock) { return lock.spid == spid; });
    // Its locks are released, so whoever waited for them is granted and runs on; the last
    // wait type stays, as the server keeps it.
    for (Process& waiter : state.processes) {
        if (waiter.blocked != spid)
            continue;
        waiter.blocked = 0;
        waiter.waittype = QByteArray(2, '\0');
        waiter.waittime = 0;
        waiter.waitresource.clear();
    }
    return true;
}

QDateTime serverNow(const ServerState& state)
{
    return state.frozenNow.isValid() ? state.frozenNow : QDateTime::currentDateTime();
}

} // namespace sqlsim
