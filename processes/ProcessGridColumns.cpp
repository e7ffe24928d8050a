#include "ProcessGridColumns.h"

#include "GridSetup.h"

namespace velmora {

GridColumns processGridColumns()
{
    constexpr int derived = -1;   // the width the grid derives from the field
    constexpr bool hidden = false;
    return columnTable({
        {"spid", 35, "spid"},
        {"kpid", 52, "kpid"},
        {"block_count", 71, "block_count", true, Qt::AlignLeft},
        {"blocked", derived, "blocked"},
        {"waittype", derived, "waittype", hidden},
        {"waittime", derived, "waittime"},
        {"lastwaittype", 102, "lastwaittype"},
        {"waitresource", 163, "waitresource"},
        {"dbid", derived, "dbid"},
        {"DBName", 128, "DB Name"},
        {"uid", derived, "uid"},
        {"cpu", derived, "cpu"},
        {"physical_io", derived, "physical_io"},
        {"memusage", derived, "memusage"},
        {"login_time", 108, "login_time"},
        {"last_batch", 108, "last_batch"},
        {"ecid", derived, "ecid"},
        {"open_tran", derived, "open_tran"},
        {"status", derived, "status"},
        {"sid", derived, "sid", hidden},
        {"hostname", 100, "hostname"},
        {"program_name", 200, "program_name"},
        {"hostprocess", 100, "hostprocess"},
        {"cmd", 200, "cmd"},
        {"nt_domain", 100, "nt_domain"},
        {"nt_username", 100, "nt_username"},
        {"net_address", 80, "net_address"},
        {"net_library", 80, "net_library"},
        {"loginame", 100, "loginame"},
        {"suid", derived, "suid"},
    }, true);
}

} // namespace velmora
