#include "SystemTables.h"

#include <algorithm>
#include <limits>

namespace sqlsim {

namespace {

template <typename Row, auto Member>
Value integer(const Row& row)
{
    return Value(qint64(row.*Member));
}

template <typename Row, auto Member>
Value asIs(const Row& row)
{
    return Value(row.*Member);
}

Column declared(const char* name, SqlType type, int size = 0)
{
    // The system tables declare every column NOT NULL.
    return Column{QString::fromLatin1(name), type, size, 0, 0, false};
}

std::vector<SystemColumn<Process>> makeSysprocesses(ServerVersion version)
{
    using P = Process;
    const bool is2000 = version == ServerVersion::Sql2000;
    std::vector<SystemColumn<P>> columns{
        {declared("spid", SqlType::SmallInt), integer<P, &P::spid>},
        {declared("kpid", SqlType::SmallInt), integer<P, &P::kpid>},
        {declared("blocked", SqlType::SmallInt), integer<P, &P::blocked>},
        {declared("waittype", SqlType::Binary, 2), asIs<P, &P::waittype>},
        {declared("waittime", SqlType::Int), integer<P, &P::waittime>},
        {declared("lastwaittype", SqlType::NChar, 32), asIs<P, &P::lastwaittype>},
        {declared("waitresource", SqlType::NChar, 256), asIs<P, &P::waitresource>},
        {declared("dbid", SqlType::SmallInt), integer<P, &P::dbid>},
        {declared("uid", SqlType::SmallInt), integer<P, &P::uid>},
        {declared("cpu", SqlType::Int), integer<P, &P::cpu>},
        {declared("physical_io", is2000 ? SqlType::BigInt : SqlType::Int), integer<P, &P::physical_io>},
        {declared("memusage", SqlType::Int), integer<P, &P::memusage>},
        {declared("login_time", SqlType::DateTime), asIs<P, &P::login_time>},
        {declared("last_batch", SqlType::DateTime), asIs<P, &P::last_batch>},
        {declared("ecid", SqlType::SmallInt), integer<P, &P::ecid>},
        {declared("open_tran", SqlType::SmallInt), integer<P, &P::open_tran>},
        {declared("status", SqlType::NChar, 30), asIs<P, &P::status>},
        {declared("sid", SqlType::Binary, is2000 ? 86 : 85), asIs<P, &P::sid>},
        {declared("hostname", SqlType::NChar, 128), asIs<P, &P::hostname>},
        {declared("program_name", SqlType::NChar, 128), asIs<P, &P::program_name>},
        {declared("hostprocess", SqlType::NChar, 8), asIs<P, &P::hostprocess>},
        {declared("cmd", SqlType::NChar, 16), asIs<P, &P::cmd>},
        {declared("nt_domain", SqlType::NChar, 128), asIs<P, &P::nt_domain>},
        {declared("nt_username", SqlType::NChar, 128), asIs<P, &P::nt_username>},
        {declared("net_address", SqlType::NChar, 12), asIs<P, &P::net_address>},
        {declared("net_library", SqlType::NChar, 12), asIs<P, &P::net_library>},
        {declared("loginame", SqlType::NChar, 128), asIs<P, &P::loginame>},
    };
    if (!is2000)
        columns.push_back({declared("suid", SqlType::SmallInt), integer<P, &P::suid>});
    return columns;
}

} // namespace

const std::vector<SystemColumn<Process>>& sysprocessesColumns(ServerVersion version)
{
    static const auto sql70 = makeSysprocesses(ServerVersion::Sql70);
    static const auto sql2000 = makeSysprocesses(ServerVersion::Sql2000);
    return version == ServerVersion::Sql2000 ? sql2000 : sql70;
}

const std::vector<SystemColumn<Lock>>& syslocksColumns()
{
    using L = Lock;
    static const std::vector<SystemColumn<L>> columns{
        {declared("id", SqlType::Int), integer<L, &L::id>},
        {declared("dbid", SqlType::SmallInt), integer<L, &L::dbid>},
        {declared("page", SqlType::Int), integer<L, &L::page>},
        {declared("type", SqlType::SmallInt), integer<L, &L::type>},
        {declared("spid", SqlType::SmallInt), integer<L, &L::spid>},
    };
    return columns;
}

Value storedValue(const Column& column, const Value& value)
{
    if (!value.isValid())
        return value;
    switch (column.type) {
    case SqlType::DateTime:
        // A time never set reads as the type's zero, as the server shows it.
        return value.toDateTime().isValid() ? value : Value(QDateTime(QDate(1900, 1, 1), QTime(0, 0)));
    case SqlType::NChar:
    case SqlType::Char:
        return value.toString().leftJustified(column.size, u' ', true);
    case SqlType::NVarChar:
    case SqlType::VarChar:
        return value.toString().left(column.size);
    case SqlType::Binary: {
        QByteArray bytes = value.toByteArray().left(column.size);
        bytes.append(QByteArray(column.size - bytes.size(), '\0'));
        return bytes;
    }
    case SqlType::SmallInt:
        return std::clamp<qint64>(value.toLongLong(), std::numeric_limits<qint16>::min(),
                                  std::numeric_limits<qint16>::max());
    case SqlType::Int:
        // A 7.0 counter (physical_io) cannot hold what a 2000 server counts: show its ceiling
        // rather than a wrapped negative figure.
        return std::clamp<qint64>(value.toLongLong(), std::numeric_limits<qint32>::min(),
                                  std::numeric_limits<qint32>::max());
    default:
        return value;
    }
}

} // namespace sqlsim
