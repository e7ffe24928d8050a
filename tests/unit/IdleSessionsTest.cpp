// Hiding idle sessions: which processes are idle, which of them are the server's own on each
// version, and that a process taking part in blocking always stays.
#include "IdleSessions.h"
#include "ProcessQueries.h"
#include "ValueCompare.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

struct Process {
    int spid;
    int blocked;
    const char* status;
    const char* cmd;
    int openTran;
    const char* netLibrary;
};

// Padded as the server sends fixed-width text.
const Process population[] = {
    {1, 0, "background", "LAZY WRITER", 0, ""},
    {2, 0, "background", "LOCK MONITOR", 0, ""},          // blocks 59
    {5, 0, "sleeping", "TASK MANAGER", 0, ""},
    {40, 0, "sleeping", "AWAITING COMMAND", 0, "TCP/IP"},  // a client below 51: 2005 and later only
    {51, 0, "sleeping", "AWAITING COMMAND", 0, "TCP/IP"},
    {52, 0, "sleeping", "AWAITING COMMAND", 1, "TCP/IP"},  // a transaction left open
    {53, 0, "runnable", "SELECT", 0, "TCP/IP"},
    {54, 0, "sleeping", "AWAITING COMMAND", 1, "TCP/IP"},  // the head of 55
    {55, 54, "sleeping", "UPDATE", 1, "TCP/IP"},
    {56, 0, "background", "AWAITING COMMAND", 0, "Named Pipes"},
    {57, 0, "sleeping                      ", "AWAITING COMMAND", 0, "LPC         "},
    {58, 0, "background", "CHECKPOINT SLEEP", 0, "            "},   // a server task above 50
    {59, 2, "runnable", "DBCC", 0, "TCP/IP"},
    {60, 0, "sleeping", "AWAITING COMMAND", 0, "TCP/IP"},  // idle, but heads 61
    {61, 60, "sleeping", "SELECT", 0, "TCP/IP"},
};

TEST(IdleSessions, IdleProcessesGoAndTheServersOwnOnlyWhenAsked)
{
    const std::vector<FieldDef> fields = processFields(ServerFamily::Sql2000);
    const auto at = [&](const char* name) { return size_t(findFieldIndex(fields, QString::fromLatin1(name))); };
    std::vector<Row> rows;
    for (const Process& p : population) {
        Row row(fields.size());
        row[at("spid")] = p.spid;
        row[at("blocked")] = p.blocked;
        row[at("status")] = QString::fromLatin1(p.status);
        row[at("cmd")] = QString::fromLatin1(p.cmd);
        row[at("open_tran")] = p.openTran;
        row[at("net_library")] = QString::fromLatin1(p.netLibrary);
        rows.push_back(std::move(row));
    }
    const auto heldOf = [&](std::initializer_list<int> spids) {
        std::vector<int> view;
        for (const int spid : spids)
            for (size_t i = 0; i < rows.size(); ++i)
                if (rows[i][0].toInt() == spid)
                    view.push_back(int(i));
        return view;
    };
    const std::initializer_list<int> everyone = {1, 2, 5, 40, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61};
    struct Case {
        ServerFamily family;
        bool hideSystem;
        std::initializer_list<int> shown;   // held rows the filter and sort left, in their order
        const char* left;
    };
    const Case cases[] = {
        {ServerFamily::Sql70, false, everyone, "1 2 5 40 52 53 54 55 58 59 60 61"},
        {ServerFamily::Sql2000, false, everyone, "1 2 5 40 52 53 54 55 58 59 60 61"},
        {ServerFamily::Sql2000, true, everyone, "2 52 53 54 55 58 59 60 61"},
        {ServerFamily::Sql2005AndLater, false, everyone, "1 2 5 52 53 54 55 58 59 60 61"},
        {ServerFamily::Sql2005AndLater, true, everyone, "2 52 53 54 55 59 60 61"},
        // The order is kept; a head blocker stays when the filter hides its victims.
        {ServerFamily::Sql2000, false, {60, 57, 53, 51, 1}, "60 53 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.family) << " hideSystem " << c.hideSystem);
        std::vector<int> view = heldOf(c.shown);
        hideIdleSessions(view, rows, fields, {c.family, c.hideSystem});
        QStringList left;
        for (const int held : view)
            left << rows[size_t(held)][0].toString();
        EXPECT_EQ(left.join(u' ').toStdString(), c.left);
    }
}

} // namespace
