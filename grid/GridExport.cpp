#include "GridExport.h"

#include "FieldText.h"
#include "Query.h"

#include <QRegularExpression>
#include <QSaveFile>

namespace velmora {

namespace {

QString cellText(const QVariant& value, FieldKind kind, const QLocale& locale)
{
    // Fixed-width text goes out without the blanks the server pads it with, which the screen
    // does not show either; every other value as its cell spells it.
    return kind == FieldKind::FixedChar || kind == FieldKind::FixedWideChar
               ? fieldListText(value, kind, locale)
               : fieldDisplayText(value, kind, locale);
}

QString tabSafe(QString cell)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|[\t\r\n]"));
    return cell.replace(breaks, QStringLiteral(" "));
}

QString csvField(const QString& cell)
{
    static const QRegularExpression special(QStringLiteral("[,\"\r\n]"));
    if (!cell.contains(special))
        return cell;
    QString quoted = cell;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Process lists carry texts that any client chooses (program and host names, login names): one
// written as "=HYPERLINK(...)" must not become a live formula in the operator's spreadsheet.
bool readAsFormula(const QString& cell)
{
    return !cell.isEmpty() && QStringView(u"=+-@\t\r").contains(cell.front());
}

template <typename Cell>
QString joinedLines(const GridTable& table, QChar separator, const QString& lineEnd, Cell cell)
{
    QString text;
    auto append = [&](const QStringList& cells) {
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i > 0)
                text += separator;
            text += cell(cells[i]);
        }
        text += lineEnd;
    };
    append(table.titles);
    for (const QStringList& row : table.rows)
        append(row);
    return text;
}

} // namespace

GridTable gridTable(const GridColumns& columns, const Query& query, const std::vector<int>& rows,
                    const QLocale& locale)
{
    GridTable table;
    std::vector<int> fields;
    for (const GridColumn& column : columns) {
        if (!column.visible)
            continue;
        table.titles << column.caption();
        fields.push_back(query.isActive() ? query.fieldIndex(column.fieldName) : -1);
        table.textColumns.push_back(fields.back() >= 0 && isTextKind(query.fields()[size_t(fields.back())].kind));
    }
    for (int row : rows) {
        QStringList cells;
        for (int field : fields) {
            cells << (field < 0 ? QString()
                                : cellText(query.valueAt(row, field),
                                           query.fields()[size_t(field)].kind, locale));
        }
        table.rows.push_back(std::move(cells));
    }
    return table;
}

std::vector<int> allVisibleRows(const Query& query)
{
    std::vector<int> rows;
    if (!query.isActive())
        return rows;
    const int count = query.recordCount();
    rows.reserve(size_t(count));
    for (int row = 0; row < count; ++row)
        rows.push_back(row);
    return rows;
}

QString tabSeparatedText(const GridTable& table)
{
    return joinedLines(table, QLatin1Char('\t'), QStringLiteral("\n"), tabSafe);
}

QByteArray csvBytes(const GridTable& table)
{
    GridTable guarded = table;
    for (QStringList& row : guarded.rows)
        for (qsizetype i = 0; i < row.size() && size_t(i) < guarded.textColumns.size(); ++i)
            if (guarded.textColumns[size_t(i)] && readAsFormula(row[i]))
                row[i].prepend(QLatin1Char('\''));
    // The mark lets spreadsheets that otherwise take the system's code page read it as UTF-8.
    return QByteArrayLiteral("\xEF\xBB\xBF")
           + joinedLines(guarded, QLatin1Char(','), QStringLiteral("\r\n"), csvField).toUtf8();
}

QString writeFileWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    // A failed write makes commit() fail and discard the temporary file.
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(bytes);
    return file.commit() ? QString() : file.errorString();
}

} // namespace velmora
