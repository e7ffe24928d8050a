#include "Procedures.h"

#include "DatabaseProcedures.h"
#include "ProcessProcedures.h"
#include "engine/ProductVersion.h"

#include <algorithm>
#include <optional>

namespace sqlsim::tsql {

TableColumn textColumn(const char* name, SqlType type, int size)
{
    return TableColumn{QString::fromLatin1(name), TypeInfo::text(type, size), true};
}

TableColumn intColumn(const char* name, SqlType type)
{
    return TableColumn{QString::fromLatin1(name), TypeInfo::integer(type), true};
}

QString argumentText(const SqlValue& value)
{
    return value.isNull() ? QString() : convert(value, TypeInfo::text(SqlType::NVarChar, 4000)).toText();
}

namespace {

// --- xp_msver --------------------------------------------------------------------------------

struct MsverRow {
    const char* name;
    std::optional<int> internalValue;
    std::optional<QString> characterValue;
};

std::vector<MsverRow> msverRows(ServerVersion version)
{
    const ProductVersion product = productVersion(version);
    const bool is2000 = version == ServerVersion::Sql2000;
    std::vector<MsverRow> rows = {
        {"ProductName", {}, QStringLiteral("Microsoft SQL Server")},
        {"ProductVersion", product.major << 16, product.text()},
        {"Language", 1033, QStringLiteral("English (United States)")},
        {"Platform", {}, QStringLiteral("NT INTEL X86")},
        {"Comments", {}, QStringLiteral("NT INTEL X86")},
        {"CompanyName", {}, QStringLiteral("Microsoft Corporation")},
        {"FileDescription", {}, QStringLiteral("SQL Server Windows NT")},
        {"FileVersion", {}, is2000 ? QStringLiteral("2000.080.2039.00") : QStringLiteral("1998.070.1063.00")},
        {"InternalName", {}, QStringLiteral("SQLSERVR")},
        {"LegalCopyright", {}, is2000 ? QStringLiteral("\u00A9 1988-2003 Microsoft Corp. All rights reserved.")
                                      : QStringLiteral("\u00A9 1988-2002 Microsoft Corp. All rights reserved.")},
        {"LegalTrademarks", {}, QStringLiteral("Microsoft\u00AE is a registered trademark of Microsoft Corporation. "
                                               "Windows(TM) is a trademark of Microsoft Corporation")},
        {"OriginalFilename", {}, QStringLiteral("SQLSERVR.EXE")},
        {"PrivateBuild", {}, {}},
        {"SpecialBuild", product.build << 16, {}},
        // Windows version: build << 16 | minor << 8 | major.
        {"WindowsVersion", is2000 ? (3790 << 16 | 2 << 8 | 5) : (2195 << 16 | 0 << 8 | 5),
         is2000 ? QStringLiteral("5.2 (3790)") : QStringLiteral("5.0 (2195)")},
        {"ProcessorCount", 2, QStringLiteral("2")},
        {"ProcessorActiveMask", 3, QStringLiteral("00000003")},
        {"ProcessorType", 586, QStringLiteral("PROCESSOR_INTEL_PENTIUM")},
        {"PhysicalMemory", 2047, QStringLiteral("2047 (2146426880)")},
    };
    if (is2000)
        rows.push_back({"Product ID", {}, {}});
    return rows;
}

void xpMsver(ProcedureCall& call)
{
    QStringList names;
    for (const ProcedureArgumentValue& argument : call.arguments)
        names << argumentText(argument.value);
    ProcedureResult result;
    result.columns = {intColumn("Index", SqlType::SmallInt), textColumn("Name", SqlType::NVarChar, 32),
                      intColumn("Internal_Value"), textColumn("Character_Value", SqlType::NVarChar, 120)};
    const std::vector<MsverRow> rows = msverRows(call.state.options.version);
    for (size_t i = 0; i < rows.size(); ++i) {
        const QString name = QString::fromLatin1(rows[i].name);
        if (!names.isEmpty() && !names.contains(name, Qt::CaseInsensitive))
            continue;
        if (call.state.faults.productVersionWithoutRows && !names.isEmpty() && name == u"ProductVersion")
            continue;
        result.rows.push_back({
            SqlValue::integer(qint64(i + 1), SqlType::SmallInt),
            SqlValue::text(name, result.columns[1].type),
            rows[i].internalValue ? SqlValue::integer(*rows[i].internalValue) : SqlValue::null(TypeInfo::integer()),
            rows[i].characterValue ? SqlValue::text(*rows[i].characterValue, result.columns[3].type)
                                   : SqlValue::null(result.columns[3].type),
        });
    }
    call.output.push_back(std::move(result));
}

// --- error logs ----------------------------------------------------------------------------

constexpr int kLogRowLength = 255;

const ErrorLogArchive* archive(const ServerState& state, int number)
{
    const auto it = std::find_if(state.errorLogs.begin(), state.errorLogs.end(),
                                 [number](const ErrorLogArchive& a) { return a.number == number; });
    return it == state.errorLogs.end() ? nullptr : &*it;
}

// The log reader gives a line longer than a row as several rows, the later ones flagged as
// continuing the one before.
void spReadErrorLog(ProcedureCall& call)
{
    int number = 0;
    if (const SqlValue* argument = call.argument(0, "@p1"); argument && !argument->isNull())
        number = int(implicitConvert(*argument, TypeInfo::integer()).toInteger());
    const ErrorLogArchive* log = archive(call.state, number);
    if (!log || log->unreadable) {
        const QString reason = log ? QStringLiteral("32, 'The process cannot access the file because it is being "
                                                    "used by another process.'")
                                   : QStringLiteral("2, 'The system cannot find the file specified.'");
        call.output.push_back(Message{22004, 1, 16, QStringLiteral("xp_readerrorlog() returned error ") + reason,
                                      QStringLiteral("xp_readerrorlog"), 1});
        call.returnStatus = 1;
        return;
    }
    ProcedureResult result;
    result.columns = {textColumn("ERRORLOG", SqlType::NVarChar, kLogRowLength), intColumn("ContinuationRow")};
    for (const QString& line : log->lines) {
        for (qsizetype at = 0; at == 0 || at < line.size(); at += kLogRowLength) {
            result.rows.push_back({SqlValue::text(line.mid(at, kLogRowLength), result.columns[0].type),
                                   SqlValue::integer(at > 0 ? 1 : 0)});
        }
    }
    call.output.push_back(std::move(result));
}

void spEnumErrorLogs(ProcedureCall& call)
{
    ProcedureResult result;
    result.columns = {intColumn("Archive #"), textColumn("Date", SqlType::NVarChar, 255)};
    std::vector<const ErrorLogArchive*> logs;
    for (const ErrorLogArchive& log : call.state.errorLogs)
        logs.push_back(&log);
    std::sort(logs.begin(), logs.end(), [](auto* a, auto* b) { return a->number < b->number; });
    for (const ErrorLogArchive* log : logs) {
        result.rows.push_back({SqlValue::integer(log->number),
                               SqlValue::text(log->lastWrite.toString(QStringLiteral("MM/dd/yyyy  HH:mm")),
                                              result.columns[1].type)});
    }
    call.output.push_back(std::move(result));
}

} // namespace

const SqlValue* ProcedureCall::argument(int position, const char* name) const
{
    for (const ProcedureArgumentValue& a : arguments) {
        if (a.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return &a.value;
    }
    if (position < int(arguments.size()) && arguments[size_t(position)].name.isEmpty())
        return &arguments[size_t(position)].value;
    return nullptr;
}

const std::vector<NativeProcedure>& nativeProcedures()
{
    static const std::vector<NativeProcedure> procedures{
        {"xp_msver", xpMsver},
        {"sp_readerrorlog", spReadErrorLog},
        {"sp_enumerrorlogs", spEnumErrorLogs},
        {"sp_lock", spLock},
        {"dbcc inputbuffer", dbccInputbuffer},
        {"sp_helpdb", spHelpDb},
        {"sp_helpfile", spHelpFile},
        {"dbcc sqlperf", dbccSqlPerf},
    };
    return procedures;
}

const NativeProcedure* findProcedure(const QString& name)
{
    for (const NativeProcedure& procedure : nativeProcedures()) {
        if (name.compare(QLatin1String(procedure.name), Qt::CaseInsensitive) == 0)
            return &procedure;
    }
    return nullptr;
}

} // namespace sqlsim::tsql
