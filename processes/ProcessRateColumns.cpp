#include "ProcessRateColumns.h"

#include "FilterRow.h"
#include "GridSetup.h"
#include "Query.h"
#include "ResultGrid.h"
#include "SortFilterAdapter.h"

#include <QElapsedTimer>
#include <algorithm>

namespace velmora {

namespace {

const QString cpuRate = QStringLiteral("cpu_rate");
const QString physicalIoRate = QStringLiteral("physical_io_rate");

// Held as the text of one decimal, so that the grid shows exactly that; sort and filter read it
// as the number it writes.
QVariant rateValue(std::optional<double> rate)
{
    return rate ? QVariant(QString::number(*rate, 'f', 1)) : QVariant();
}

std::span<const Row> heldRows(const Query& query)
{
    const int count = query.heldRowCount();
    return count > 0 ? std::span<const Row>(&query.heldRow(0), size_t(count)) : std::span<const Row>();
}

qint64 monotonicMs()
{
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

} // namespace

ProcessRateColumns::ProcessRateColumns(ResultGrid& grid, QObject* parent)
    : QObject(parent), readClock(monotonicMs), m_grid(grid)
{
}

Query* ProcessRateColumns::list() const
{
    return m_query;
}

void ProcessRateColumns::attach(Query* query)
{
    if (m_query == query)
        return;
    const QPointer<Query> previous = m_query;
    if (previous)
        disconnect(previous, nullptr, this, nullptr);
    m_query = query;
    if (previous)
        hooksChanged(previous);   // the list left behind loses the rates' part
    m_rates.clear();
    m_readMs.reset();
    std::vector<FieldDef> fields = query->fields();
    if (query->fieldIndex(cpuRate) < 0) {
        fields.push_back(FieldDef{cpuRate, FieldKind::BCD, 9, true, true});
        fields.push_back(FieldDef{physicalIoRate, FieldKind::BCD, 9, true, true});
        query->setFields(std::move(fields));
    }
    lookUpFields(*query);
    // A fetch lies between a close and the next pass of calculated fields or the open's end,
    // whichever stamps the rows first; a sort's pass reads nothing new.
    connect(query, &Query::afterClose, this, [this] { m_readMs.reset(); });
    connect(query, &Query::afterOpen, this, [this] {
        if (!m_readMs)
            m_readMs = readClock();
    });
    hook();
}

void ProcessRateColumns::lookUpFields(const Query& query)
{
    // Looked up once a pass, not once a row: every row of every pass reads them. A replayed list
    // takes another field list with another recording.
    m_fields = {query.fieldIndex(QStringLiteral("spid")), query.fieldIndex(QStringLiteral("login_time")),
                query.fieldIndex(QStringLiteral("ecid")), query.fieldIndex(cpuRate), query.fieldIndex(physicalIoRate)};
}

void ProcessRateColumns::hook()
{
    if (m_query)
        hooksChanged(m_query);
}

void ProcessRateColumns::beforeCalcFields(Query& query)
{
    lookUpFields(query);
    if (m_readMs)
        return;
    m_readMs = readClock();
    m_rates.read(heldRows(query), query.fields(), *m_readMs);
}

void ProcessRateColumns::calcFields(Query& query)
{
    const Fields& at = m_fields;
    const ProcessRate rate = m_rates.rateOf(query.value(at.spid), query.value(at.loginTime), query.value(at.ecid));
    query.setValue(at.cpuRate, rateValue(rate.cpu));
    query.setValue(at.physicalIoRate, rateValue(rate.physicalIo));
}

void ProcessRateColumns::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    m_rates.clear();
    hook();
    if (shown) {
        // The rows held now are the first read: the next read has rates. They may still hold the
        // rates of an earlier time the columns were shown.
        if (m_readMs)
            takeRead(*m_readMs);
        addColumns();
    } else {
        removeColumns();
    }
}

void ProcessRateColumns::takeRead(qint64 readMs)
{
    m_readMs = readMs;
    if (!m_shown || !m_query || !m_query->isActive())
        return;
    m_rates.read(heldRows(*m_query), m_query->fields(), readMs);
    m_query->setSort(m_query->sort());   // a pass of the calculated fields, the order kept
}

void ProcessRateColumns::takeEarlierRead(std::span<const Row> rows, const std::vector<FieldDef>& fields,
                                         qint64 readMs)
{
    m_rates.clear();
    if (m_shown && !rows.empty())
        m_rates.read(rows, fields, readMs);
}

void ProcessRateColumns::clear()
{
    m_rates.clear();
}

void ProcessRateColumns::columnsReplaced()
{
    if (m_shown)
        addColumns();
}

bool ProcessRateColumns::isRateColumn(const GridColumn& column)
{
    return column.fieldName.compare(cpuRate, Qt::CaseInsensitive) == 0
           || column.fieldName.compare(physicalIoRate, Qt::CaseInsensitive) == 0;
}

GridColumns ProcessRateColumns::withoutRateColumns(GridColumns columns)
{
    std::erase_if(columns, isRateColumn);
    return columns;
}

void ProcessRateColumns::addColumns()
{
    GridColumns columns = withoutRateColumns(m_grid.columns());
    const auto physicalIo = std::find_if(columns.begin(), columns.end(), [](const GridColumn& column) {
        return column.fieldName.compare(u"physical_io", Qt::CaseInsensitive) == 0;
    });
    const GridColumns rates = columnTable({{"cpu_rate", 60, "cpu/с"}, {"physical_io_rate", 90, "physical_io/с"}}, true);
    columns.insert(physicalIo == columns.end() ? columns.end() : physicalIo + 1, rates.begin(), rates.end());
    m_grid.setColumns(std::move(columns));
}

void ProcessRateColumns::removeColumns()
{
    FilterRow* filterRow = m_grid.filterRow();
    // An editor open in the filter row keeps the place of its column, which is about to move.
    if (filterRow && filterRow->isRowVisible()) {
        filterRow->setRowVisible(false);
        filterRow->setRowVisible(true);
    }
    bool filtered = false;
    bool sorted = false;
    for (int column = 0; column < int(m_grid.columns().size()); ++column) {
        const GridColumn& gridColumn = m_grid.columns()[size_t(column)];
        if (!isRateColumn(gridColumn))
            continue;
        if (!gridColumn.filter.text.isEmpty() || gridColumn.filter.condition != ColumnCondition()) {
            if (filterRow)
                filterRow->clearCondition(column);
            filtered = true;
        }
        if (gridColumn.sortMarker != SortMarker::None) {
            m_grid.setSortMarker(column, SortMarker::None);
            sorted = true;
        }
    }
    m_grid.setColumns(withoutRateColumns(m_grid.columns()));
    if (filtered)
        requestLocalFilter(m_grid);
    if (sorted)
        requestLocalSort(m_grid);
}

} // namespace velmora
