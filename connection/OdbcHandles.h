// RAII ownership of ODBC handles and the reading of their diagnostic records into DbError.
#pragma once

#include "DbError.h"

#include <sql.h>
#include <sqlext.h>

#include <QString>
#include <vector>

namespace velmora {

/// One ODBC handle of a given type, freed on destruction.
class OdbcHandle {
public:
    OdbcHandle() = default;
    /// Allocates a handle of `type` under `parent` (SQL_NULL_HANDLE for an environment).
    /// Throws DbError (Link) when the driver manager refuses.
    OdbcHandle(SQLSMALLINT type, SQLHANDLE parent);
    ~OdbcHandle();
    OdbcHandle(OdbcHandle&& other) noexcept;
    OdbcHandle& operator=(OdbcHandle&& other) noexcept;
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    SQLHANDLE get() const noexcept { return m_handle; }
    SQLSMALLINT type() const noexcept { return m_type; }

private:
    void reset() noexcept;

    SQLSMALLINT m_type = 0;
    SQLHANDLE m_handle = SQL_NULL_HANDLE;
};

/// Every diagnostic record the handle holds, in the driver's order.
std::vector<Diagnostic> readDiagnostics(SQLSMALLINT type, SQLHANDLE handle);

/// Whether the records say the link to the server is gone.
bool isLinkLoss(const std::vector<Diagnostic>& records);

/// The error for a failed call on `handle`: all its records, the text of its error records,
/// the cause read from the SQLSTATEs.
DbError odbcError(SQLSMALLINT type, SQLHANDLE handle, const QString& statement = {});
/// The error these records make, as odbcError makes it from a handle's.
DbError errorFromRecords(std::vector<Diagnostic> records, const QString& statement = {});

} // namespace velmora
