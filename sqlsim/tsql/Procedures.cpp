#include "Procedures.h"

#include "DatabaseProcedures.h"
#include "ProcessProcedures.h"
#include "state/ProductVersion.h"

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

// What differs between the versions beside the product version itself.
struct MsverBuild {
    const char* fileVersion;
    const char* copyright;
    const char* platform;
    int processorType;
    const char* processorName;
    int windowsMajor, windowsMinor, windowsBuild;
};

MsverBuild msverBuild(ServerVersion version)
{
    static const char* const allRights = "\u00A9 Microsoft Corporation. All rights reserved.";
    switch (version) {
    case ServerVersion::Sql70:
        return {"1998.070.1063.00", "\u00A9 1988-2002 Microsoft Corp. All rights reserved.", "NT INTEL X86", 586,
                "PROCESSOR_INTEL_PENTIUM", 5, 0, 2195};
    case ServerVersion::Sql2000:
        break;
    case ServerVersion::Sql2005:
        return {"2005.090.5000.00", "\u00A9 Microsoft Corp. All rights reserved.", "NT INTEL X86", 586,
                "PROCESSOR_INTEL_PENTIUM", 5, 2, 3790};
    case ServerVersion::Sql2008R2:
        return {"2009.0100.6000.034", allRights, "NT x64", 8664, "PROCESSOR_AMD_X8664", 6, 1, 7601};
    case ServerVersion::Sql2016:
        return {"2015.0131.6300.02", allRights, "NT x64", 8664, "PROCESSOR_AMD_X8664", 6, 3, 14393};
    case ServerVersion::Sql2022:
        return {"2022.0160.1000.06", allRights, "NT x64", 8664, "PROCESSOR_AMD_X8664", 6, 3, 20348};
    }
    return {"2000.080.2039.00", "\u00A9 1988-2003 Microsoft Corp. All rights reserved.", "NT INTEL X86", 586,
            "PROCESSOR_INTEL_PENTIUM", 5, 2, 3790};
}

std::vector<MsverRow> msverRows(ServerVersion version)
{
    const ProductVersion product = productVersion(version);
    const MsverBuild build = msverBuild(version);
    std::vector<MsverRow> rows = {
        {"ProductName", {}, QStringLiteral("Microsoft SQL Server")},
        {"ProductVersion", product.major << 16 | product.minor, QString::fromLatin1(product.text)},
        {"Language", 1033, QStringLiteral("English (United States)")},
        {"Platform", {}, QString::fromLatin1(build.platform)},
        {"Comments", {}, QString::fromLatin1(build.platform)},
        {"CompanyName", {}, QStringLiteral("Microsoft Corporation")},
        {"FileDescription", {}, QStringLiteral("SQL Server Windows NT")},
        {"FileVersion", {}, QString::fromLatin1(build.fileVersion)},
        {"InternalName", {}, QStringLiteral("SQLSERVR")},
        {"LegalCopyright", {}, QString::fromUtf8(build.copyright)},
        {"LegalTrademarks", {}, QStringLiteral("Microsoft\u00AE is a registered trademark of Microsoft Corporation. "
                                               "Windows(TM) is a trademark of Microsoft Corporation")},
        {"OriginalFilename", {}, QStringLiteral("SQLSERVR.EXE")},
        {"PrivateBuild", {}, {}},
        {"SpecialBuild", product.build << 16, {}},
        // Windows version: build << 16 | minor << 8 | major.
        {"WindowsVersion", build.windowsBuild << 16 | build.windowsMinor << 8 | build.windowsMajor,
         QStringLiteral("%1.%2 (%3)").arg(build.windowsMajor).arg(build.windowsMinor).arg(build.windowsBuild)},
        {"ProcessorCount", 2, QStringLiteral("2")},
        {"ProcessorActiveMask", 3, QStringLiteral("00000003")},
        {"ProcessorType", build.processorType, QString::fromLatin1(build.processorName)},
        {"PhysicalMemory", 2047, QStringLiteral("2047 (2146426880)")},
    };
    if (version != ServerVersion::Sql70)
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

// The date and time a log line begins with ("2026-12-06 05:17:53.51"), or none.
std::optional<QDateTime> lineDate(const QString& line)
{
    constexpr int kDateLength = 22;
    if (line.size() < kDateLength || line[19] != u'.' || !line[20].isDigit() || !line[21].isDigit()
        || (line.size() > kDateLength && line[kDateLength] != u' '))
        return std::nullopt;
    const QDateTime seconds = QDateTime::fromString(line.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!seconds.isValid())
        return std::nullopt;
    return seconds.addMSecs(line.mid(20, 2).toInt() * 10);
}

// The reader of 2005 and later splits each entry itself: its date, its source and its text,
// with the lines that follow without a date of their own (a banner, a message of several
// lines, a stack dump) joined to the entry's text. Lines before the first dated one have no
// date and no source.
ProcedureResult logEntries(const ErrorLogArchive& log)
{
    ProcedureResult result;
    result.columns = {TableColumn{QStringLiteral("LogDate"), TypeInfo::dateTime(), true},
                      textColumn("ProcessInfo", SqlType::NVarChar, 50), textColumn("Text", SqlType::NVarChar, 4000)};
    struct Entry {
        std::optional<QDateTime> date;
        QString source;
        QString text;
    };
    std::vector<Entry> entries;
    for (const QString& line : log.lines) {
        const std::optional<QDateTime> date = lineDate(line);
        if (!date && !entries.empty()) {
            entries.back().text += u'\n' + line;
            continue;
        }
        if (!date) {
            entries.push_back({std::nullopt, QString(), line});
            continue;
        }
        const QString rest = line.mid(23);
        const qsizetype sourceEnd = rest.indexOf(u' ');
        entries.push_back({date, sourceEnd < 0 ? rest : rest.left(sourceEnd),
                           sourceEnd < 0 ? QString() : rest.mid(sourceEnd).trimmed()});
    }
    for (const Entry& entry : entries) {
        result.rows.push_back({entry.date ? SqlValue::dateTime(DateTime::fromQDateTime(*entry.date))
                                          : SqlValue::null(result.columns[0].type),
                               entry.date ? SqlValue::text(entry.source, result.columns[1].type)
                                          : SqlValue::null(result.columns[1].type),
                               SqlValue::text(entry.text.left(4000), result.columns[2].type)});
    }
    return result;
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
    if (isSql2005OrLater(call.state.options.version)) {
        call.output.push_back(logEntries(*log));
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
