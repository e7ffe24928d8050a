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

    /// "8.00.2039"
    QString text() const
    {
        return QStringLiteral("%1.%2.%3").arg(major).arg(minor, 2, 10, QLatin1Char('0')).arg(build);
    }
    /// LOGINACK's ProgVersion: major, minor, build high byte, build low byte.
    std::uint32_t wire() const
    {
        return (std::uint32_t(major) << 24) | (std::uint32_t(minor) << 16) | std::uint32_t(build);
    }
};

inline ProductVersion productVersion(ServerVersion version)
{
    return version == ServerVersion::Sql70 ? ProductVersion{7, 0, 1063} : ProductVersion{8, 0, 2039};
}

} // namespace sqlsim
