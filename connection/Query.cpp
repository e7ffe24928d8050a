#include "Query.h"

#include "Connection.h"
#include "DbError.h"
#include "OdbcStatement.h"
#include "RowFilter.h"
#include "RowSort.h"
#include "SqlParameters.h"
#include "ValueCompare.h"
#include "WaitCursor.h"

#include <QDateTime>
#include <QScopeGuard>
#include <algorithm>
#include <array>

namespace velmora {

namespace {

DbError usage(const QString& text)
{
    return DbError(DbError::Cause::Usage, text);
}

// Binds each declared field to the server column of the same name. Text widths are not
// compared: the text kinds are interchangeable, so only byte strings must match exactly.
std::vector<ColumnRead> bindFields(const std::vector<FieldDef>& fields, const std::vector<ResultColumn>& columns)
{
    std::vector<ColumnRead> plan;
    for (size_t f = 0; f < fields.size(); ++f) {
        const FieldDef& field = fields[f];
        if (field.calculated)
            continue;
        const auto column = std::find_if(columns.begin(), columns.end(), [&](const ResultColumn& c) {
            return c.name.compare(field.name, Qt::CaseInsensitive) == 0;
        });
        if (column == columns.end())
            throw DbError(DbError::Cause::Binding, QStringLiteral("Field '%1' not found").arg(field.name));
        if (!kindsCompatible(field.kind, column->kind))
            throw DbError(DbError::Cause::Binding,
                          QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                              .arg(field.name, fieldKindName(field.kind), fieldKindName(column->kind)));
        if (isByteKind(field.kind) && column->size != field.size)
            throw DbError(DbError::Cause::Binding,
                          QStringLiteral("Size mismatch for field '%1', expecting: %2 actual: %3")
                              .arg(field.name)
                              .arg(field.size)
                              .arg(column->size));
        // A 16-bit field over a 32-bit column keeps the full value rather than truncating it.
        const FieldKind readAs = field.kind == FieldKind::SmallInt ? column->kind : field.kind;
        plan.push_back({int(column - columns.begin()), int(f), readAs});
    }
    std::sort(plan.begin(), plan.end(), [](const ColumnRead& a, const ColumnRead& b) { return a.column < b.column; });
    return plan;
}

// 8-bit text is held in a field of its declared width, so a longer value keeps only what fits;
// Unicode text is held whole, its width being only a display width.
void cutToDeclaredWidths(std::vector<Row>& rows, const std::vector<FieldDef>& fields)
{
    std::vector<size_t> cut;
    for (size_t f = 0; f < fields.size(); ++f)
        if ((fields[f].kind == FieldKind::String || fields[f].kind == FieldKind::FixedChar) && fields[f].size > 0)
            cut.push_back(f);
    if (cut.empty())
        return;
    for (Row& row : rows)
        for (size_t f : cut) {
            if (f >= row.size() || row[f].typeId() != QMetaType::QString)
                continue;
            const QString text = row[f].toString();
            if (text.size() > fields[f].size)
                row[f] = text.left(fields[f].size);
        }
}

// Whether a held value equals `wanted` in a field of `kind`; `wanted` is converted once, as a
// locate compares it with every row.
std::function<bool(const QVariant&)> sameValueAs(const QVariant& wanted, FieldKind kind)
{
    if (!wanted.isValid() || wanted.isNull())
        return [](const QVariant& held) { return !held.isValid(); };
    bool ok = false;
    if (isIntegerKind(kind)) {
        const qlonglong number = wanted.toLongLong(&ok);
        if (!ok)
            return [](const QVariant&) { return false; };
        return [number](const QVariant& held) { return held.isValid() && heldInteger(held) == number; };
    }
    if (kind == FieldKind::Float || kind == FieldKind::BCD) {
        const double number = wanted.toDouble(&ok);
        if (!ok)
            return [](const QVariant&) { return false; };
        return [number](const QVariant& held) { return held.isValid() && held.toDouble() == number; };
    }
    if (kind == FieldKind::DateTime)
        return [stamp = wanted.toDateTime()](const QVariant& held) {
            return held.isValid() && held.toDateTime() == stamp;
        };
    if (isByteKind(kind))
        return [bytes = wanted.toByteArray()](const QVariant& held) {
            return held.isValid() && held.toByteArray() == bytes;
        };
    return [text = wanted.toString()](const QVariant& held) { return held.isValid() && held.toString() == text; };
}

} // namespace

Query::Query(QObject* parent)
    : QObject(parent)
{
}

Query::~Query()
{
    if (m_connection)
        m_connection->detach(this);
}

void Query::setConnection(Connection* connection)
{
    if (connection == m_connection)
        return;
    if (m_connection)
        m_connection->detach(this);
    m_connection = connection;
    if (m_connection)
        m_connection->attach(this);
}

void Query::setSql(const QStringList& lines)
{
    // A new text makes the held rows stale, as a changed command does on any data set.
    if (lines != m_sql)
        close();
    m_sql = lines;
}

QString Query::commandText() const
{
    QString text;
    for (const QString& line : m_sql)
        text += line + QStringLiteral("\r\n");
    std::vector<QVariant> values;
    values.reserve(m_parameters.size());
    for (const auto& parameter : m_parameters)
        values.push_back(parameter.second);
    return bindParameters(text, values);
}

void Query::setParameter(const QString& name, const QVariant& value)
{
    for (auto& parameter : m_parameters)
        if (parameter.first.compare(name, Qt::CaseInsensitive) == 0) {
            parameter.second = value;
            return;
        }
    m_parameters.emplace_back(name, value);
}

void Query::setFields(std::vector<FieldDef> fields)
{
    close();   // held rows are laid out by the old field list
    m_fields = std::move(fields);
}

int Query::fieldIndex(const QString& name) const
{
    return findFieldIndex(m_fields, name);
}

std::unique_ptr<RowFilter> Query::parsedFilter(bool filtered, const QString& text) const
{
    if (!filtered || text.isEmpty())
        return nullptr;
    return RowFilter::parse(text, m_fields);
}

void Query::open()
{
    open(QString());
}

void Query::open(const QString& sort)
{
    open(sort, {});
}

void Query::reopen(const QString& sort)
{
    open(sort, takeRowsAndClose());
}

void Query::open(const QString& sort, std::vector<Row> reuse)
{
    if (m_active)
        return;
    if (!m_connection)
        throw usage(QStringLiteral("The query has no connection."));
    const QString text = commandText();
    // An unreadable filter or sort fails before the server is asked anything.
    std::unique_ptr<RowFilter> filter = parsedFilter(m_filtered, m_filterText);
    std::unique_ptr<RowSort> order
        = sort.isEmpty() ? nullptr : std::make_unique<RowSort>(RowSort::parse(sort, m_fields));

    std::vector<Row> rows;
    {
        WaitCursor wait;
        OdbcStatement statement = m_connection->statement(m_commandTimeout);
        statement.run([&] {
            if (!statement.openFirstResultWithColumns(text))
                throw DbError(DbError::Cause::Usage, QStringLiteral("CommandText does not return a result set"), {},
                              text);
            rows = statement.fetchAll(bindFields(m_fields, statement.columns()), m_fields.size(), std::move(reuse));
            statement.drain();
        });
    }
    cutToDeclaredWidths(rows, m_fields);

    m_rows = std::move(rows);
    m_filter = std::move(filter);
    m_sortText = sort;
    m_sort = std::move(order);
    m_active = true;
    auto closeOnFailure = qScopeGuard([this] { close(); });
    runCalcFieldsOfAllRows();
    closeOnFailure.dismiss();
    rebuildView();
    m_current = m_view.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_view.empty();
    emit afterOpen();
    emit afterScroll();
}

void Query::close() noexcept
{
    takeRowsAndClose();
}

std::vector<Row> Query::takeRowsAndClose() noexcept
{
    if (!m_active)
        return {};
    emit beforeClose();
    m_active = false;
    std::vector<Row> rows = std::move(m_rows);
    m_rows.clear();
    m_view.clear();
    m_current = -1;
    m_bof = m_eof = true;
    // The sort lives only while open; the filter text and its switch outlive a close.
    m_sortText.clear();
    m_sort.reset();
    m_filter.reset();
    emit afterClose();
    return rows;
}

void Query::createDataSet()
{
    close();
    m_filter = parsedFilter(m_filtered, m_filterText);
    m_active = true;
    rebuildView();
    emit afterOpen();
    emit afterScroll();
}

void Query::execSql()
{
    if (!m_connection)
        throw usage(QStringLiteral("The query has no connection."));
    m_connection->executeNoRows(commandText(), m_commandTimeout);
}

int Query::recordCount() const
{
    return int(m_view.size());
}

void Query::moveCurrent(int row, bool bof, bool eof)
{
    const bool moved = row != m_current;
    m_current = row;
    m_bof = bof;
    m_eof = eof;
    if (moved)
        emit afterScroll();
}

void Query::resetView(int row, bool bof)
{
    m_current = row;
    m_bof = bof || m_view.empty();
    m_eof = m_view.empty();
    emit rowsReset();
    emit afterScroll();
}

void Query::first()
{
    if (m_view.empty())
        return moveCurrent(-1, true, true);
    moveCurrent(0, true, false);
}

void Query::next()
{
    if (m_view.empty())
        return moveCurrent(-1, true, true);
    if (m_current >= recordCount() - 1)
        return moveCurrent(m_current, false, true);
    moveCurrent(m_current + 1, false, false);
}

void Query::prior()
{
    if (m_view.empty())
        return moveCurrent(-1, true, true);
    if (m_current <= 0)
        return moveCurrent(m_current, true, false);
    moveCurrent(m_current - 1, false, false);
}

void Query::last()
{
    if (m_view.empty())
        return moveCurrent(-1, true, true);
    moveCurrent(recordCount() - 1, false, true);
}

void Query::moveTo(int row)
{
    if (m_view.empty())
        return moveCurrent(-1, true, true);
    moveCurrent(std::clamp(row, 0, recordCount() - 1), false, false);
}

bool Query::locate(const QString& field, const QVariant& value)
{
    const int index = fieldIndex(field);
    if (index < 0)
        throw usage(QStringLiteral("Field '%1' not found").arg(field));
    const auto matches = sameValueAs(value, m_fields[size_t(index)].kind);
    const std::array fieldRead{index};
    for (size_t row = 0; row < m_view.size(); ++row) {
        if (row + rowPrefetchDistance < m_view.size())
            prefetchValues(m_rows[size_t(m_view[row + rowPrefetchDistance])], fieldRead);
        if (matches(m_rows[size_t(m_view[row])][size_t(index)])) {
            moveTo(int(row));
            return true;
        }
    }
    return false;
}

int Query::currentHeldRow() const
{
    if (m_calcRow >= 0)
        return m_calcRow;
    if (m_current < 0 || m_current >= recordCount())
        return -1;
    return m_view[size_t(m_current)];
}

QVariant Query::value(const QString& field) const
{
    const int index = fieldIndex(field);
    if (index < 0)
        throw usage(QStringLiteral("Field '%1' not found").arg(field));
    return value(index);
}

QVariant Query::value(int fieldIndex) const
{
    if (!m_active)
        throw usage(QStringLiteral("The query is not open."));
    if (fieldIndex < 0 || size_t(fieldIndex) >= m_fields.size())
        throw usage(QStringLiteral("No field number %1.").arg(fieldIndex));
    const int held = currentHeldRow();
    return held < 0 ? QVariant() : m_rows[size_t(held)][size_t(fieldIndex)];
}

QVariant Query::valueAt(int visibleRow, int fieldIndex) const
{
    if (visibleRow < 0 || visibleRow >= recordCount() || fieldIndex < 0 || size_t(fieldIndex) >= m_fields.size())
        return {};
    return m_rows[size_t(m_view[size_t(visibleRow)])][size_t(fieldIndex)];
}

void Query::setValue(int fieldIndex, const QVariant& value)
{
    const int held = currentHeldRow();
    if (!m_active || held < 0)
        throw usage(QStringLiteral("There is no current row to change."));
    if (fieldIndex < 0 || size_t(fieldIndex) >= m_fields.size())
        throw usage(QStringLiteral("No field number %1.").arg(fieldIndex));
    m_rows[size_t(held)][size_t(fieldIndex)] = value;
}

RowView Query::visibleRow(int row) const
{
    return RowView(m_fields, m_rows[size_t(m_view[size_t(row)])], row);
}

void Query::runCalcFields(int heldRow)
{
    if (!onCalcFields)
        return;
    m_calcRow = heldRow;
    auto restore = qScopeGuard([this] { m_calcRow = -1; });
    onCalcFields(*this);
}

void Query::appendRow(Row row)
{
    std::vector<Row> rows;
    rows.push_back(std::move(row));
    appendRows(std::move(rows));
}

void Query::appendRows(std::vector<Row> rows)
{
    if (!m_active)
        throw usage(QStringLiteral("The query is not open."));
    if (rows.empty())
        return;
    cutToDeclaredWidths(rows, m_fields);
    m_rows.reserve(m_rows.size() + rows.size());
    for (Row& row : rows) {
        row.resize(m_fields.size());
        m_rows.push_back(std::move(row));
        runCalcFields(heldRowCount() - 1);
    }
    const int held = heldRowCount() - 1;
    rebuildView();
    const auto visible = std::find(m_view.begin(), m_view.end(), held);
    // A row the filter hides cannot become current; the cursor then stays on its row.
    resetView(visible != m_view.end() ? int(visible - m_view.begin()) : std::min(m_current, recordCount() - 1),
              false);
}

void Query::runCalcFieldsOfAllRows()
{
    if (!onCalcFields)
        return;
    if (beforeCalcFields)
        beforeCalcFields(*this);
    // The hook writes the calculated fields of every row.
    std::vector<size_t> calculated;
    for (size_t field = 0; field < m_fields.size(); ++field)
        if (m_fields[field].calculated)
            calculated.push_back(field);
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (i + rowPrefetchDistance < m_rows.size())
            prefetchValues(m_rows[i + rowPrefetchDistance], calculated);
        runCalcFields(int(i));
    }
}

void Query::setSort(const QString& sort)
{
    if (!m_active)
        throw usage(QStringLiteral("The result set must be open to be sorted."));
    auto parsed = std::make_unique<RowSort>(RowSort::parse(sort, m_fields));
    // Sorting reads every row again, and a row read is a row whose calculated fields are
    // computed anew; a failure there leaves the old order.
    runCalcFieldsOfAllRows();
    const int held = currentHeldRow();
    m_sortText = sort;
    m_sort = std::move(parsed);
    rebuildView();
    keepCurrentHeldRow(held);
}

void Query::rearrange()
{
    if (!m_active)
        return;
    const int held = currentHeldRow();
    rebuildView();
    keepCurrentHeldRow(held);
}

void Query::keepCurrentHeldRow(int held)
{
    const auto visible = std::find(m_view.begin(), m_view.end(), held);
    resetView(visible != m_view.end() ? int(visible - m_view.begin()) : (m_view.empty() ? -1 : 0), false);
}

void Query::setFilter(const QString& filter)
{
    if (!m_active) {
        m_filterText = filter;
        return;
    }
    std::unique_ptr<RowFilter> parsed = parsedFilter(m_filtered, filter);   // throws: nothing changes
    m_filterText = filter;
    if (!m_filtered)
        return;
    m_filter = std::move(parsed);
    rebuildView();
    resetView(m_view.empty() ? -1 : 0, true);
}

void Query::setFiltered(bool on)
{
    if (on == m_filtered)
        return;
    if (!m_active) {
        m_filtered = on;
        return;
    }
    std::unique_ptr<RowFilter> parsed = parsedFilter(on, m_filterText);   // throws: the switch stays
    m_filtered = on;
    m_filter = std::move(parsed);
    rebuildView();
    resetView(m_view.empty() ? -1 : 0, true);
}

void Query::rebuildView()
{
    m_view.clear();
    m_view.reserve(m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (!m_filter || m_filter->matches(m_rows[i]))
            m_view.push_back(int(i));
    if (m_sort && !m_sort->empty())
        m_sort->apply(m_view, m_rows, m_fields);
    if (arrangeView)
        arrangeView(m_view, m_rows);
}

} // namespace velmora
