#include "ProcessGridColumns.h"

#include <iterator>

namespace velmora {

GridColumns processGridColumns()
{
    struct Definition {
        const char* field;
        const char* title;
        int width;           // -1: the width the grid derives from the field
        bool visible;
        Qt::Alignment alignment;
    };
    constexpr Qt::Alignment centred = Qt::AlignHCenter;
    static const Definition definitions[] = {
        {"spid", "spid", 35, true, centred},
        {"kpid", "kpid", 52, true, centred},
        {"block_count", "block_count", 71, true, Qt::AlignLeft},
        {"blocked", "blocked", -1, true, centred},
        {"waittype", "waittype", -1, false, centred},
        {"waittime", "waittime", -1, true, centred},
        {"lastwaittype", "lastwaittype", 102, true, centred},
        {"waitresource", "waitresource", 163, true, centred},
        {"dbid", "dbid", -1, true, centred},
        {"DBName", "DB Name", 128, true, centred},
        {"uid", "uid", -1, true, centred},
        {"cpu", "cpu", -1, true, centred},
        {"physical_io", "physical_io", -1, true, centred},
        {"memusage", "memusage", -1, true, centred},
        {"login_time", "login_time", 108, true, centred},
        {"last_batch", "last_batch", 108, true, centred},
        {"ecid", "ecid", -1, true, centred},
        {"open_tran", "open_tran", -1, true, centred},
        {"status", "status", -1, true, centred},
        {"sid", "sid", -1, false, centred},
        {"hostname", "hostname", 100, true, centred},
        {"program_name", "program_name", 200, true, centred},
        {"hostprocess", "hostprocess", 100, true, centred},
        {"cmd", "cmd", 200, true, centred},
        {"nt_domain", "nt_domain", 100, true, centred},
        {"nt_username", "nt_username", 100, true, centred},
        {"net_address", "net_address", 80, true, centred},
        {"net_library", "net_library", 80, true, centred},
        {"loginame", "loginame", 100, true, centred},
        {"suid", "suid", -1, true, centred},
    };

    GridColumns columns;
    columns.reserve(std::size(definitions));
    for (const Definition& definition : definitions) {
        GridColumn column;
        column.fieldName = QString::fromLatin1(definition.field);
        column.title = QString::fromLatin1(definition.title);
        column.titleAlignment = definition.alignment;
        column.width = definition.width;
        column.visible = definition.visible;
        column.titleButton = true;
        columns.push_back(std::move(column));
    }
    return columns;
}

} // namespace velmora
