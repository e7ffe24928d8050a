// The product version each simulated server reports: in @@VERSION, xp_msver, pre-login and
// the login acknowledgement.
#pragma once

#include "ServerState.h"

#include <QString>
#include <cstdint>

namespace sqlsim {

struct ProductVersion {
    int major = 8;
    int minor = 0;
    int build = 2039;
    const char* text = "8.00.2039";   // as xp_msver's Character_Value spells it

    /// LOGINACK's ProgVersion: major, minor, build high byte, build low byte.
    std::uint32_t wire() const
    {
        return (std::uint32_t(major) << 24) | (std::uint32_t(minor) << 16) | std::uint32_t(build);
    }
};

inline ProductVersion productVersion(ServerVersion version)
{
    switch (version) {
    case ServerVersion::Sql70: return {7, 0, 1063, "7.00.1063"};
    case ServerVersion::Sql2000: return {8, 0, 2039, "8.00.2039"};
    case ServerVersion::Sql2005: return {9, 0, 5000, "9.00.5000.00"};
    case ServerVersion::Sql2008R2: return {10, 50, 6000, "10.50.6000.34"};
    case ServerVersion::Sql2016: return {13, 0, 6300, "13.0.6300.2"};
    case ServerVersion::Sql2022: return {16, 0, 1000, "16.0.1000.6"};
    }
    return {};
}

/// The database compatibility level the version gives its databases (sp_helpdb, sysdatabases).
inline int compatibilityLevel(ServerVersion version)
{
    switch (version) {
    case ServerVersion::Sql70:
    case ServerVersion::Sql2000: return 80;
    case ServerVersion::Sql2005: return 90;
    case ServerVersion::Sql2008R2: return 100;
    case ServerVersion::Sql2016: return 130;
    case ServerVersion::Sql2022: return 160;
    }
    return 80;
}

} // namespace sqlsim
