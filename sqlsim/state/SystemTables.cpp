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
    const bool is2000 = version != ServerVersion::Sql70;
    const bool is2005 = isSql2005OrLater(version);
    std::vector<SystemColumn<P>> columns{
        {declared("spid", SqlType::SmallInt), integer<P, &P::spid>},
        {declared("kpid", SqlType::SmallInt), integer<P, &P::kpid>},
        {declared("blocked", SqlType::SmallInt), integer<P, &P::blocked>},
        {declared("waittype", SqlType::Binary, 2), asIs<P, &P::waittype>},
        {declared("waittime", is2005 ? SqlType::BigInt : SqlType::Int), integer<P, &P::waittime>},
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
        {declared("hostprocess", SqlType::NChar, is2005 ? 10 : 8), asIs<P, &P::hostprocess>},
        {declared("cmd", SqlType::NChar, is2005 && version != ServerVersion::Sql2005 ? 26 : 16), asIs<P, &P::cmd>},
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
    static const std::vector<SystemColumn<Process>> byVersion[] = {
        makeSysprocesses(ServerVersion::Sql70),     makeSysprocesses(ServerVersion::Sql2000),
        makeSysprocesses(ServerVersion::Sql2005),   makeSysprocesses(ServerVersion::Sql2008R2),
        makeSysprocesses(ServerVersion::Sql2016),   makeSysprocesses(ServerVersion::Sql2022),
    };
    return byVersion[int(version)];
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

const std::vector<SystemColumn<Lock>>& syslockinfoColumns()
{
    using L = Lock;
    // Resource types and request modes as the view codes them.
    static const QStringList resourceTypes{QString(), QStringLiteral("NULL"), QStringLiteral("DB"),
                                           QStringLiteral("FIL"), QStringLiteral("IDX"), QStringLiteral("TAB"),
                                           QStringLiteral("PAG"), QStringLiteral("KEY"), QStringLiteral("EXT"),
                                           QStringLiteral("RID")};
    static const QStringList modes{QStringLiteral("NULL"), QStringLiteral("Sch-S"), QStringLiteral("Sch-M"),
                                   QStringLiteral("S"), QStringLiteral("U"), QStringLiteral("X"),
                                   QStringLiteral("IS"), QStringLiteral("IU"), QStringLiteral("IX")};
    static const std::vector<SystemColumn<L>> columns{
        {declared("rsc_text", SqlType::NChar, 32), [](const L& l) { return Value(lockDetail(l).resource); }},
        {declared("rsc_dbid", SqlType::SmallInt), integer<L, &L::dbid>},
        {declared("rsc_indid", SqlType::SmallInt), integer<L, &L::indid>},
        {declared("rsc_objid", SqlType::Int), integer<L, &L::id>},
        {declared("rsc_type", SqlType::TinyInt),
         [](const L& l) { return Value(qint64(std::max<qsizetype>(0, resourceTypes.indexOf(lockDetail(l).type)))); }},
        {declared("req_mode", SqlType::TinyInt),
         [](const L& l) { return Value(qint64(std::max<qsizetype>(0, modes.indexOf(lockDetail(l).mode)))); }},
        {declared("req_status", SqlType::TinyInt), [](const L& l) { return Value(qint64(l.waiting ? 3 : 1)); }},
        {declared("req_refcnt", SqlType::SmallInt), [](const L&) { return Value(qint64(1)); }},
        {declared("req_spid", SqlType::Int), integer<L, &L::spid>},
        {declared("req_ecid", SqlType::Int), [](const L&) { return Value(qint64(0)); }},
    };
    return columns;
}

LockDetail lockDetail(const Lock& lock)
{
    LockDetail detail{lock.rscType, lock.resource, lock.mode};
    if (detail.type.isEmpty()) {
        switch (lock.type) {
        case 5: detail.type = QStringLiteral("PAG"); break;
        case 8: detail.type = QStringLiteral("EXT"); break;
        default: detail.type = QStringLiteral("TAB"); break;
        }
    }
    if (detail.resource.isEmpty() && lock.page != 0)
        detail.resource = QStringLiteral("1:%1").arg(lock.page);
    if (detail.mode.isEmpty()) {
        switch (lock.type) {
        case 2: detail.mode = QStringLiteral("S"); break;
        case 3: detail.mode = QStringLiteral("IX"); break;
        case 4: detail.mode = QStringLiteral("IS"); break;
        default: detail.mode = QStringLiteral("X"); break;
        }
    }
    return detail;
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
