#include "ServerState.h"

namespace sqlsim {

QString ServerState::versionText() const
{
    if (faults.versionText)
        return *faults.versionText;
    // As the servers print it: blanks before each line break, continuation lines tab-indented.
    switch (options.version) {
    case ServerVersion::Sql70:
        return QStringLiteral("Microsoft SQL Server  7.00 - 7.00.1063 (Intel X86) \n"
                              "\tApr  9 2002 14:18:16 \n"
                              "\tCopyright (c) 1988-2002 Microsoft Corporation\n"
                              "\tStandard Edition on Windows NT 5.0 (Build 2195: Service Pack 4)\n");
    case ServerVersion::Sql2000:
        break;
    case ServerVersion::Sql2005:
        return QStringLiteral("Microsoft SQL Server 2005 - 9.00.5000.00 (Intel X86) \n"
                              "\tDec 10 2010 10:56:29 \n"
                              "\tCopyright (c) 1988-2005 Microsoft Corporation\n"
                              "\tStandard Edition on Windows NT 5.2 (Build 3790: Service Pack 2)\n");
    case ServerVersion::Sql2008R2:
        return QStringLiteral("Microsoft SQL Server 2008 R2 (SP3) - 10.50.6000.34 (X64) \n"
                              "\tAug 19 2014 12:21:34 \n"
                              "\tCopyright (c) Microsoft Corporation\n"
                              "\tStandard Edition (64-bit) on Windows NT 6.1 <X64> (Build 7601: Service Pack 1)\n");
    case ServerVersion::Sql2016:
        return QStringLiteral("Microsoft SQL Server 2016 (SP3) (KB5003279) - 13.0.6300.2 (X64) \n"
                              "\tAug  7 2021 01:20:37 \n"
                              "\tCopyright (c) Microsoft Corporation\n"
                              "\tStandard Edition (64-bit) on Windows Server 2016 Standard 10.0 <X64> "
                              "(Build 14393: ) (Hypervisor)\n");
    case ServerVersion::Sql2022:
        return QStringLiteral("Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64) \n"
                              "\tOct  8 2022 05:58:25 \n"
                              "\tCopyright (C) 2022 Microsoft Corporation\n"
                              "\tStandard Edition (64-bit) on Windows Server 2022 Standard 10.0 <X64> "
                              "(Build 20348: ) (Hypervisor)\n");
    }
    return QStringLiteral("Microsoft SQL Server  2000 - 8.00.2039 (Intel X86) \n"
                          "\tMay  3 2005 23:18:38 \n"
                          "\tCopyright (c) 1988-2003 Microsoft Corporation\n"
                          "\tStandard Edition on Windows NT 5.2 (Build 3790: Service Pack 2)\n");
}

} // namespace sqlsim
