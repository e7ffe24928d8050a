#include "ServerState.h"

namespace sqlsim {

QString ServerState::versionText() const
{
    if (faults.versionText)
        return *faults.versionText;
    // As the servers print it: blanks before each line break, continuation lines tab-indented.
    if (options.version == ServerVersion::Sql70)
        return QStringLiteral("Microsoft SQL Server  7.00 - 7.00.1063 (Intel X86) \n"
                              "\tApr  9 2002 14:18:16 \n"
                              "\tCopyright (c) 1988-2002 Microsoft Corporation\n"
                              "\tStandard Edition on Windows NT 5.0 (Build 2195: Service Pack 4)\n");
    return QStringLiteral("Microsoft SQL Server  2000 - 8.00.2039 (Intel X86) \n"
                          "\tMay  3 2005 23:18:38 \n"
                          "\tCopyright (c) 1988-2003 Microsoft Corporation\n"
                          "\tStandard Edition on Windows NT 5.2 (Build 3790: Service Pack 2)\n");
}

} // namespace sqlsim
