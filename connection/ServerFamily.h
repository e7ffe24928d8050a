// Which kind of server the version probe found: the batches and declared fields of some
// screens differ between them.
#pragma once

namespace velmora {

enum class ServerFamily {
    Sql70,            // SQL Server 7.0
    Sql2000,          // SQL Server 2000, and every server the probe cannot place
    Sql2005AndLater,  // SQL Server 2005 and later: no syslocks, a three-column log reader
};

} // namespace velmora
