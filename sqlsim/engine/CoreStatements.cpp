#include "CoreStatements.h"

#include "ProcessTable.h"
#include "ProductVersion.h"

#include <QRegularExpression>

namespace sqlsim {

namespace {

Message error(int number, int severity, int state, const QString& text)
{
    return Message{number, state, severity, text, {}, 1};
}

// A statement's tokens after its first word, ending at the End token.
TokenStream afterFirstWord(const StatementTokens& statement)
{
    return TokenStream(statement.tokens, 1);
}

// An object name, optionally qualified ("master.dbo.x", "master..x"): the last part.
std::optional<QString> objectName(TokenStream& stream)
{
    if (!stream.peek().isName())
        return std::nullopt;
    QString name = stream.next().text;
    while (stream.peek().isSymbol(".")) {
        stream.next();
        if (stream.peek().isSymbol("."))
            continue;   // "master..xp_msver": the owner left out
        if (!stream.peek().isName())
            return std::nullopt;
        name = stream.next().text;
    }
    return name;
}

// --- xp_msver -------------------------------------------------------------------------------

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

ResultSet msverResult(const ServerState& state, const QStringList& names)
{
    ResultSet result;
    result.columns = {
        {QStringLiteral("Index"), SqlType::SmallInt},
        {QStringLiteral("Name"), SqlType::NVarChar, 32},
        {QStringLiteral("Internal_Value"), SqlType::Int},
        {QStringLiteral("Character_Value"), SqlType::NVarChar, 120},
    };
    const std::vector<MsverRow> rows = msverRows(state.options.version);
    for (size_t i = 0; i < rows.size(); ++i) {
        const QString name = QString::fromLatin1(rows[i].name);
        if (!names.isEmpty() && !names.contains(name, Qt::CaseInsensitive))
            continue;
        if (state.faults.productVersionWithoutRows && !names.isEmpty()
            && name == QLatin1String("ProductVersion"))
            continue;
        result.rows.push_back({
            Value(qint64(i + 1)),
            Value(name),
            rows[i].internalValue ? Value(qint64(*rows[i].internalValue)) : Value(),
            rows[i].characterValue ? Value(*rows[i].characterValue) : Value(),
        });
    }
    return result;
}

// --- SET --------------------------------------------------------------------------------------

bool isOnOffOption(const Token& token)
{
    static const char* const options[] = {
        "ansi_defaults", "ansi_null_dflt_off", "ansi_null_dflt_on", "ansi_nulls", "ansi_padding",
        "ansi_warnings", "arithabort", "arithignore", "concat_null_yields_null",
        "cursor_close_on_commit", "fmtonly", "forceplan", "identity_insert",
        "implicit_transactions", "nocount", "noexec", "numeric_roundabort", "parseonly",
        "quoted_identifier", "remote_proc_transactions", "showplan_all", "showplan_text",
        "xact_abort",
    };
    for (const char* option : options) {
        if (token.is(option))
            return true;
    }
    return false;
}

// The token a syntax error names: at the end of a statement, its last token.
const Token& nearToken(const StatementTokens& statement, const Token& token)
{
    if (token.kind != Token::Kind::End || statement.tokens.size() < 2)
        return token;
    return statement.tokens[statement.tokens.size() - 2];
}

// SET option [, option ...] ON|OFF, or one of the options that take a value.
std::optional<Message> checkSet(const StatementTokens& statement, TokenStream& stream)
{
    auto syntaxError = [&](const Token& token) { return sqlsim::syntaxError(nearToken(statement, token)); };
    const Token& first = stream.peek();
    if (first.is("statistics")) {
        stream.next();
        if (!(stream.accept("io") || stream.accept("time") || stream.accept("profile")))
            return syntaxError(stream.peek());
    } else if (first.is("transaction")) {
        stream.next();
        if (!stream.accept("isolation") || !stream.accept("level"))
            return syntaxError(stream.peek());
        if (stream.accept("read")) {
            if (!stream.accept("committed") && !stream.accept("uncommitted"))
                return syntaxError(stream.peek());
        } else if (stream.accept("repeatable")) {
            if (!stream.accept("read"))
                return syntaxError(stream.peek());
        } else if (!stream.accept("serializable")) {
            return syntaxError(stream.peek());
        }
        return stream.atEnd() ? std::nullopt : std::optional(syntaxError(stream.peek()));
    } else if (first.is("rowcount") || first.is("textsize") || first.is("lock_timeout")
               || first.is("datefirst") || first.is("dateformat") || first.is("language")
               || first.is("deadlock_priority")) {
        stream.next();
        stream.accept("-");
        const Token& value = stream.next();
        if (value.kind == Token::Kind::End || value.kind == Token::Kind::Symbol)
            return syntaxError(value);
        return stream.atEnd() ? std::nullopt : std::optional(syntaxError(stream.peek()));
    } else {
        for (;;) {
            const Token& option = stream.next();
            if (!option.isName())
                return syntaxError(option);
            if (!isOnOffOption(option))
                return error(195, 15, 1, QStringLiteral("'%1' is not a recognized SET option.").arg(option.text));
            if (!stream.accept(","))
                break;
        }
    }
    if (!stream.accept("on") && !stream.accept("off"))
        return syntaxError(stream.peek());
    return stream.atEnd() ? std::nullopt : std::optional(syntaxError(stream.peek()));
}

// --- global variables ---------------------------------------------------------------------

std::optional<std::pair<Column, Value>> globalVariable(const Token& token, const ServerState& state,
                                                       int spid)
{
    if (token.kind != Token::Kind::Variable)
        return std::nullopt;
    const QString name = token.text.toLower();
    if (name == QLatin1String("@@version"))
        return std::pair{Column{QString(), SqlType::NVarChar, 256}, Value(state.versionText())};
    if (name == QLatin1String("@@spid"))
        return std::pair{Column{QString(), SqlType::SmallInt}, Value(qint64(spid))};
    if (name == QLatin1String("@@servername"))
        return std::pair{Column{QString(), SqlType::NVarChar, 128},
                         Value(QString::fromLatin1("SQLSIM"))};
    return std::nullopt;
}

} // namespace

Message syntaxError(const Token& token)
{
    return error(170, 15, 1, QStringLiteral("Incorrect syntax near '%1'.").arg(token.text));
}

Message databaseChanged(const QString& database)
{
    return Message{5701, 1, 10, QStringLiteral("Changed database context to '%1'.").arg(database), {}, 1};
}

std::optional<QString> changedDatabase(const Message& message)
{
    static const QRegularExpression pattern(QStringLiteral("^Changed database context to '(.*)'\\.$"));
    if (message.number != 5701)
        return std::nullopt;
    const QRegularExpressionMatch match = pattern.match(message.text);
    return match.hasMatch() ? std::optional(match.captured(1)) : std::nullopt;
}

bool answerUse(const StatementTokens& statement, StatementContext& context)
{
    if (!statement.tokens.front().is("use"))
        return false;
    TokenStream stream = afterFirstWord(statement);
    const Token& name = stream.next();
    if (!name.isName() || !stream.atEnd()) {
        context.reply.items.push_back(syntaxError(nearToken(statement, name.isName() ? stream.peek() : name)));
        return true;
    }
    for (const Database& database : context.state.databases) {
        if (database.name.compare(name.text, Qt::CaseInsensitive) != 0)
            continue;
        if (Process* process = findProcess(context.state, context.spid)) {
            process->database = database.name;
            process->dbid = database.dbid;
        }
        context.reply.items.push_back(databaseChanged(database.name));
        context.reply.items.push_back(Done{});
        return true;
    }
    context.reply.items.push_back(error(911, 16, 1,
        QStringLiteral("Could not locate entry in sysdatabases for database '%1'. No entry found "
                       "with that name. Make sure that the name is entered correctly.").arg(name.text)));
    return true;
}

bool answerSet(const StatementTokens& statement, StatementContext& context)
{
    if (!statement.tokens.front().is("set") || statement.tokens.size() < 2
        || statement.tokens[1].kind == Token::Kind::Variable)
        return false;   // SET @variable belongs to the procedural statements
    TokenStream stream = afterFirstWord(statement);
    if (const std::optional<Message> failure = checkSet(statement, stream)) {
        context.reply.items.push_back(*failure);
        return true;
    }
    context.reply.items.push_back(Done{});
    return true;
}

bool answerGlobalVariables(const StatementTokens& statement, StatementContext& context)
{
    if (!statement.tokens.front().is("select"))
        return false;
    TokenStream stream = afterFirstWord(statement);
    ResultSet result;
    std::vector<Value> row;
    do {
        auto variable = globalVariable(stream.next(), context.state, context.spid);
        if (!variable)
            return false;
        if (stream.accept("as")) {
            if (!stream.peek().isName() && stream.peek().kind != Token::Kind::String)
                return false;
            variable->first.name = stream.next().text;
        } else if (stream.peek().isName()) {
            variable->first.name = stream.next().text;
        }
        result.columns.push_back(variable->first);
        row.push_back(variable->second);
    } while (stream.accept(","));
    if (!stream.atEnd())
        return false;
    result.rows.push_back(std::move(row));
    context.reply.items.push_back(std::move(result));
    return true;
}

bool answerMsver(const StatementTokens& statement, StatementContext& context)
{
    const Token& first = statement.tokens.front();
    if (!first.is("exec") && !first.is("execute"))
        return false;
    TokenStream stream = afterFirstWord(statement);
    if (stream.peek().isSymbol("("))
        return false;   // a dynamic statement, not a procedure call
    const std::optional<QString> name = objectName(stream);
    if (!name) {
        context.reply.items.push_back(syntaxError(nearToken(statement, stream.peek())));
        return true;
    }
    if (name->compare(QLatin1String("xp_msver"), Qt::CaseInsensitive) != 0) {
        context.reply.items.push_back(error(2812, 16, 62,
            QStringLiteral("Could not find stored procedure '%1'.").arg(*name)));
        return true;
    }
    QStringList names;
    while (!stream.atEnd()) {
        const Token& argument = stream.next();
        if (argument.kind != Token::Kind::String && argument.kind != Token::Kind::Word) {
            context.reply.items.push_back(syntaxError(argument));
            return true;
        }
        names.push_back(argument.text);
        if (!stream.accept(",") && !stream.atEnd()) {
            context.reply.items.push_back(syntaxError(stream.peek()));
            return true;
        }
    }
    context.reply.items.push_back(msverResult(context.state, names));
    context.reply.items.push_back(ReturnStatus{0});
    return true;
}

bool answerTableSelect(const StatementTokens& statement, StatementContext& context)
{
    TokenStream stream(statement.tokens);
    if (!stream.accept("select") || !stream.accept("*") || !stream.accept("from"))
        return false;
    const std::optional<QString> name = objectName(stream);
    if (!name || !stream.atEnd())
        return false;
    for (const auto& [tableName, table] : context.state.tables) {
        if (tableName.compare(*name, Qt::CaseInsensitive) == 0) {
            context.reply.items.push_back(table);
            return true;
        }
    }
    context.reply.items.push_back(error(208, 16, 1, QStringLiteral("Invalid object name '%1'.").arg(*name)));
    return true;
}

} // namespace sqlsim
