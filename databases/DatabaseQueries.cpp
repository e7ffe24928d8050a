#include "DatabaseQueries.h"

namespace velmora {

namespace {

FieldDef field(const char* name, FieldKind kind, int size = 0)
{
    return FieldDef{QString::fromLatin1(name), kind, size};
}

} // namespace

QString quotedDatabaseName(const QString& name)
{
    // Bracketed, a name with blanks, brackets or semicolons stays one identifier and can carry
    // no statement of its own into the batch.
    QString quoted = name;
    quoted.replace(QLatin1Char(']'), QStringLiteral("]]"));
    return QLatin1Char('[') + quoted + QLatin1Char(']');
}

QString useDatabaseLine(const QString& name)
{
    return QStringLiteral("Use ") + quotedDatabaseName(name);
}

QString helpFileLine(const QString& name)
{
    return QStringLiteral("exec ") + quotedDatabaseName(name) + QStringLiteral("..sp_helpfile");
}

QString logSpaceFilter(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("[Database Name] = '") + quoted + QLatin1Char('\'');
}

QString dropLeftOverSpaceTable()
{
    return QStringLiteral("Use tempdb if exists (select * from dbo.sysobjects where id = object_id(N")
           + QStringLiteral("'[dbo].[#spt_space]'")
           + QStringLiteral(")) drop table [dbo].[#spt_space]");
}

QStringList spaceUsedBatch()
{
    // Tabs, blank lines and the closing single blank are part of the text the server receives.
    return {
        QString(),
        QStringLiteral("declare @id\tint\t\t\t"),
        QStringLiteral("declare @type\tcharacter(2) -- The object type."),
        QStringLiteral("declare\t@pages\tint\t\t\t"),
        QStringLiteral("declare @dbname sysname"),
        QStringLiteral("declare @dbsize dec(15,0)"),
        QStringLiteral("declare @bytesperpage\tdec(15,0)"),
        QStringLiteral("declare @pagesperMB\t\tdec(15,0)"),
        QString(),
        QStringLiteral("create table #spt_space"),
        QStringLiteral("("),
        QStringLiteral("\trows\t\tint null,"),
        QStringLiteral("\treserved\tdec(15) null,"),
        QStringLiteral("\tdata\t\tdec(15) null,"),
        QStringLiteral("\tindexp\t\tdec(15) null,"),
        QStringLiteral("\tunused\t\tdec(15) null"),
        QStringLiteral(")"),
        QString(),
        QStringLiteral("\tinsert into #spt_space (reserved)"),
        QStringLiteral("\t\tselect sum(convert(dec(15),reserved))"),
        QStringLiteral("\t\t\tfrom sysindexes"),
        QStringLiteral("\t\t\t\twhere indid in (0, 1, 255)"),
        QString(),
        QStringLiteral("\tselect @pages = sum(convert(dec(15),dpages))"),
        QStringLiteral("\t\t\tfrom sysindexes"),
        QStringLiteral("\t\t\t\twhere indid < 2"),
        QStringLiteral("\tselect @pages = @pages + isnull(sum(convert(dec(15),used)), 0)"),
        QStringLiteral("\t\tfrom sysindexes"),
        QStringLiteral("\t\t\twhere indid = 255"),
        QStringLiteral("\tupdate #spt_space"),
        QStringLiteral("\t\tset data = @pages"),
        QString(),
        QString(),
        QStringLiteral("\tupdate #spt_space"),
        QStringLiteral("\t\tset indexp = (select sum(convert(dec(15),used))"),
        QStringLiteral("\t\t\t\tfrom sysindexes"),
        QStringLiteral("\t\t\t\t\twhere indid in (0, 1, 255))"),
        QStringLiteral("\t\t\t    - data"),
        QString(),
        QStringLiteral("\tupdate #spt_space"),
        QStringLiteral("\t\tset unused = reserved"),
        QStringLiteral("\t\t\t\t- (select sum(convert(dec(15),used))"),
        QStringLiteral("\t\t\t\t\tfrom sysindexes"),
        QStringLiteral("\t\t\t\t\t\twhere indid in (0, 1, 255))"),
        QString(),
        QStringLiteral("\tselect reserved = ltrim(str((reserved * d.low / 1024)/1024.,15,7)),"),
        QStringLiteral("\t\tdata = ltrim(str((data * d.low / 1024)/1024.,15,7)),"),
        QStringLiteral("\t\tindex_size = ltrim(str(indexp * d.low / 1024.,15,0) +"),
        QStringLiteral("\t\t\t\t' ' + 'KB'),"),
        QStringLiteral("\t\tunused = ltrim(str(unused * d.low / 1024.,15,0) +"),
        QStringLiteral("\t\t\t\t' ' + 'KB'),"),
        QStringLiteral("\t\tprocen = (data*100)/reserved"),
        QStringLiteral("\t\tfrom #spt_space, master.dbo.spt_values d"),
        QStringLiteral("\t\twhere d.number = 1"),
        QStringLiteral("\t\t\tand d.type = 'E'"),
        QString(),
        QString(),
        QStringLiteral("drop table #spt_space"),
        QStringLiteral(" "),
    };
}

QStringList usersBatch()
{
    return {QString(), QStringLiteral("select * from sysusers  order by altuid, [name]")};
}

void setUpDatabaseListQuery(Query& query)
{
    query.setSql({QStringLiteral("Select dbid, [name] from sysdatabases order by [name]")});
    query.setFields({field("dbid", FieldKind::SmallInt), field("name", FieldKind::WideString, 128)});
}

void setUpPropertiesQuery(Query& query)
{
    query.setSql({QStringLiteral("sp_helpdb :BD")});
    query.setParameter(QStringLiteral("BD"), QVariant(QMetaType(QMetaType::QString)));
    query.setFields({field("name", FieldKind::WideString, 24), field("db_size", FieldKind::String, 13),
                     field("owner", FieldKind::WideString, 24), field("dbid", FieldKind::SmallInt),
                     field("created", FieldKind::FixedChar, 11), field("status", FieldKind::String, 340)});
}

void setUpFilesQuery(Query& query)
{
    query.setSql({QStringLiteral("exec tempdb..sp_helpfile")});
    query.setFields({field("name", FieldKind::FixedWideChar, 128), field("fileid", FieldKind::SmallInt),
                     field("filename", FieldKind::FixedWideChar, 260), field("filegroup", FieldKind::WideString, 128),
                     field("size", FieldKind::WideString, 18), field("maxsize", FieldKind::WideString, 18),
                     field("growth", FieldKind::WideString, 18), field("usage", FieldKind::String, 9)});
}

void setUpLogSpaceQuery(Query& query)
{
    query.setSql({QStringLiteral("DBCC SQLPERF(LOGSPACE)")});
    query.setFields({field("Database Name", FieldKind::WideString, 128), field("Log Size (MB)", FieldKind::Float),
                     field("Log Space Used (%)", FieldKind::Float), field("Status", FieldKind::Integer)});
}

void setUpSpaceUsedQuery(Query& query)
{
    query.setSql(spaceUsedBatch());
    query.setCommandTimeout(spaceUsedTimeout);
    query.setFields({field("reserved", FieldKind::String, 18), field("procen", FieldKind::BCD, 32),
                     field("data", FieldKind::String, 18), field("index_size", FieldKind::String, 18),
                     field("unused", FieldKind::String, 18)});
    const int procen = query.fieldIndex(QStringLiteral("procen"));
    query.onCalcFields = [procen](Query& q) {
        q.setValue(procen, percentWithFourDecimals(q.value(procen).toString()));
    };
}

void setUpUserQuery(Query& query)
{
    query.setSql(usersBatch());
    const auto small = [](const char* name) { return field(name, FieldKind::SmallInt); };
    const auto flag = [](const char* name) { return field(name, FieldKind::Integer); };
    query.setFields({small("uid"), small("status"), field("name", FieldKind::WideString, 128),
                     field("sid", FieldKind::VarBytes, 85), field("roles", FieldKind::VarBytes, 2048),
                     field("createdate", FieldKind::DateTime), field("updatedate", FieldKind::DateTime),
                     small("altuid"), field("password", FieldKind::VarBytes, 256), small("gid"),
                     field("environ", FieldKind::String, 255), flag("hasdbaccess"), flag("islogin"),
                     flag("isntname"), flag("isntgroup"), flag("isntuser"), flag("issqluser"),
                     flag("isaliased"), flag("issqlrole"), flag("isapprole")});
}

QString percentWithFourDecimals(const QString& exact)
{
    const QString text = exact.trimmed();
    if (text.isEmpty())
        return text;
    const bool negative = text.startsWith(u'-');
    const QString digits = negative ? text.mid(1) : text;
    const qsizetype point = digits.indexOf(u'.');
    QString whole = point < 0 ? digits : digits.left(point);
    QString fraction = point < 0 ? QString() : digits.mid(point + 1);
    const bool roundUp = fraction.size() > 4 && fraction[4] >= u'5';
    fraction = fraction.left(4).leftJustified(4, u'0');
    // Round half away from zero on the decimal digits themselves, carrying through the whole part.
    QString number = whole + fraction;
    if (roundUp) {
        qsizetype at = number.size() - 1;
        while (at >= 0 && number[at] == u'9')
            number[at--] = u'0';
        if (at < 0)
            number.prepend(u'1');
        else
            number[at] = QChar(number[at].unicode() + 1);
    }
    whole = number.left(number.size() - 4);
    fraction = number.right(4);
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    QString result = fraction.isEmpty() ? whole : whole + u'.' + fraction;
    return negative && result != u"0" ? u'-' + result : result;
}

} // namespace velmora
