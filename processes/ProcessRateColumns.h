// The process grid's rate columns: two calculated fields of the process list that every read fills
// with the growth of cpu and physical_io per second since the read before, and the grid columns
// that show them while the operator wants them. Off, the list and the grid are as without them.
#pragma once

#include "GridColumn.h"
#include "ProcessRates.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

namespace velmora {

class Query;
class ResultGrid;

class ProcessRateColumns : public QObject {
    Q_OBJECT
public:
    ProcessRateColumns(ResultGrid& grid, QObject* parent);

    /// Serves `query`, the process list the grid shows from now on: declares the rate fields on it
    /// where it lacks them. Precondition: `query` is closed.
    void attach(Query* query);

    bool isShown() const { return m_shown; }
    /// The list served.
    Query* list() const;
    /// Shows the columns (after physical_io), the rows held now being the first read; or hides
    /// them, their filter conditions and sort marks dropped first and the rows filtered and sorted
    /// again without them. Throws DbError when that filter or sort fails.
    void setShown(bool shown);
    /// The rows the list holds now are a read made at `readMs` on the read clock (a replay's
    /// recorded time): while shown, their rates against the read before are computed and written
    /// to them. Throws DbError when the list lacks a field the rates read.
    void takeRead(qint64 readMs);
    /// Forgets every read, then, while shown, takes `rows` (laid out as `fields`) as a read made at
    /// `readMs` that the list does not hold: a replay's snapshot recorded before the one it is about
    /// to show after a jump, so that the next takeRead() has rates against it. No rows: the next
    /// read is a first one. Throws DbError when `fields` lacks a field the rates read.
    void takeEarlierRead(std::span<const Row> rows, const std::vector<FieldDef>& fields, qint64 readMs);
    /// Forgets every read, as a disconnect does: the next read has no rates.
    void clear();
    /// After the grid's columns were replaced (a layout loaded): the rate columns again while shown.
    void columnsReplaced();

    /// Whether `column` shows a rate: the layout file never keeps them.
    static bool isRateColumn(const GridColumn& column);

    /// The time of a read in milliseconds: a monotonic clock unless replaced (tests, a replay).
    std::function<qint64()> readClock;
    /// Called when the columns come or go, or serve another list (the list given): whoever owns
    /// the list's hooks installs or removes the rates' part of them.
    std::function<void(Query* list)> hooksChanged;

    // The rates' part of the list's calculated-field hooks while shown.
    /// Reads the held rows' counters once a read (beforeCalcFields).
    void beforeCalcFields(Query& query);
    /// Writes the current row's rates (onCalcFields).
    void calcFields(Query& query);

private:
    static GridColumns withoutRateColumns(GridColumns columns);
    void hook();
    void lookUpFields(const Query& query);
    void addColumns();
    void removeColumns();

    ResultGrid& m_grid;
    QPointer<Query> m_query;
    ProcessRates m_rates;
    bool m_shown = false;
    std::optional<qint64> m_readMs;   // when the held rows were read; none before they are stamped
    struct Fields {
        int spid, loginTime, ecid, cpuRate, physicalIoRate;
    } m_fields{};   // of the query served
};

} // namespace velmora
