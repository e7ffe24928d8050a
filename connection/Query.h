// A query and its result set held on the client: the counterpart of a data-set object.
// Design-time lines of text, positional parameters, a declared field list; open() fetches
// every row, then the rows are navigated, located, sorted and filtered without the server.
#pragma once

#include "FieldDef.h"
#include "RowView.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace velmora {

class Connection;
class RowSort;
class RowFilter;

class Query : public QObject {
    Q_OBJECT
public:
    explicit Query(QObject* parent = nullptr);
    ~Query() override;

    void setConnection(Connection* connection);
    Connection* connection() const { return m_connection; }

    /// The batch, a line each; sent joined by CR LF with CR LF after the last line.
    void setSql(const QStringList& lines);
    const QStringList& sql() const { return m_sql; }
    /// The text exactly as it is sent, markers replaced by their values' literals.
    /// Throws DbError (Usage) when a marker has no value.
    QString commandText() const;

    /// `:NAME` markers, bound by position: the n-th marker takes the n-th value set here.
    void setParameter(const QString& name, const QVariant& value);

    void setFields(std::vector<FieldDef> fields);
    const std::vector<FieldDef>& fields() const { return m_fields; }
    /// Index of the declared field, -1 when there is none (case-insensitive).
    int fieldIndex(const QString& name) const;

    int commandTimeout() const { return m_commandTimeout; }
    void setCommandTimeout(int seconds) { m_commandTimeout = seconds; }

    /// Sends the batch, binds the declared fields to the first result with columns, fetches
    /// every row and reads the batch to its end: an error anywhere in it fails the open. The
    /// operator can cancel the wait, and the command time-out counts the whole call (see
    /// waitForServer). Throws DbError; the query stays closed then.
    void open();
    /// open() with the rows put in the order of `sort` (as setSort takes it) as they are read:
    /// one pass of the calculated fields and one build of the visible rows, the first of them
    /// current. Throws DbError (Usage) for an unknown column or a malformed string before the
    /// server is asked anything.
    void open(const QString& sort);
    /// close() and open(sort), the closed result's rows filled again with the new one's: a list
    /// read again that has changed little keeps its unchanged texts instead of making them anew.
    /// Throws as open() does; the query stays closed then.
    void reopen(const QString& sort);
    void close() noexcept;
    bool isActive() const { return m_active; }
    /// Opens the query with its declared fields and no rows, without the server: a client-only
    /// result set that appendRow() fills (value lists, tests).
    void createDataSet();
    /// Runs the batch as a statement that returns no rows. Throws DbError.
    void execSql();

    // ---- Navigation over the visible rows (filtered, in sort order) ----
    int recordCount() const;
    int recNo() const { return m_current; }   // index among the visible rows, -1 when none
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    void first();
    void next();
    void prior();
    void last();
    /// Makes the visible row `row` current (clamped); clears both cursor states.
    void moveTo(int row);
    /// Makes current the first visible row whose field equals `value`; false leaves it.
    bool locate(const QString& field, const QVariant& value);

    /// Value of a field in the current row.
    /// Throws DbError (Usage) for an unknown field or a closed query.
    QVariant value(const QString& field) const;
    QVariant value(int fieldIndex) const;
    /// Value of a field in a given visible row, for views; no cursor change.
    QVariant valueAt(int visibleRow, int fieldIndex) const;
    /// Sets a value of the current row (calculated fields and client-only rows).
    /// Throws DbError (Usage) when there is no current row or no such field.
    void setValue(int fieldIndex, const QVariant& value);

    /// A read-only view of the visible row `row` (a grid drawing a cell); the cursor
    /// stays where it is. Precondition: 0 <= row < recordCount().
    RowView visibleRow(int row) const;

    // ---- Every held row, unfiltered and in held order: the second cursor ----
    int heldRowCount() const { return int(m_rows.size()); }
    const Row& heldRow(int index) const { return m_rows[size_t(index)]; }

    /// Appends a row on the client only (never sent to the server); it becomes current.
    /// Throws DbError (Usage) when the query is not open.
    void appendRow(Row row);
    /// Appends rows on the client only, the visible rows rebuilt once; the last of them becomes
    /// current. Throws DbError (Usage) when the query is not open.
    void appendRows(std::vector<Row> rows);

    // ---- Sort and filter strings ----
    QString sort() const { return m_sortText; }
    /// Computes every row's calculated fields again, then orders the rows.
    /// Throws DbError (Usage) when closed, for an unknown column or a malformed string, and
    /// whatever the calculated-fields hook throws.
    void setSort(const QString& sort);
    QString filter() const { return m_filterText; }
    /// Throws DbError (Usage) for a malformed string (while open and filtered).
    void setFilter(const QString& filter);
    bool filtered() const { return m_filtered; }
    void setFiltered(bool on);

    /// Called at the end of every build of the visible rows (after filter and sort) with their
    /// held-row indices in order; may drop rows and change their order: the screen's own
    /// grouping of what the filter and sort left.
    std::function<void(std::vector<int>& view, const std::vector<Row>& rows)> arrangeView;
    /// Builds the visible rows again (filter, sort, arrangeView), the current row staying
    /// current in its new place while it is still visible. Nothing while closed.
    void rearrange();

    /// Called for every row after fetching and again at every sort, with that row current;
    /// sets calculated fields.
    std::function<void(Query&)> onCalcFields;
    /// Called once before every pass of onCalcFields over all held rows (after fetching, at
    /// every sort), not at all without onCalcFields: where a pass fetches what it needs at once.
    std::function<void(Query&)> beforeCalcFields;

signals:
    void afterOpen();
    void beforeClose();
    void afterClose();
    /// The current row changed.
    void afterScroll();
    /// The visible rows changed as a whole (sort, filter, append).
    void rowsReset();

private:
    void open(const QString& sort, std::vector<Row> reuse);
    /// close(), handing back the rows it held.
    std::vector<Row> takeRowsAndClose() noexcept;
    void rebuildView();
    void moveCurrent(int row, bool bof, bool eof);
    /// After the visible rows changed as a whole: makes `row` current and notifies.
    void resetView(int row, bool bof);
    /// resetView() at the visible place of held row `held`; the first row when it is gone.
    void keepCurrentHeldRow(int held);
    /// Index into m_rows of the row value() reads, -1 when none.
    int currentHeldRow() const;
    void runCalcFields(int heldRow);
    void runCalcFieldsOfAllRows();
    std::unique_ptr<RowFilter> parsedFilter(bool filtered, const QString& text) const;

    Connection* m_connection = nullptr;
    QStringList m_sql;
    std::vector<std::pair<QString, QVariant>> m_parameters;
    std::vector<FieldDef> m_fields;
    int m_commandTimeout = 30;

    bool m_active = false;
    std::vector<Row> m_rows;       // held rows in the server's order, then client appends
    std::vector<int> m_view;       // visible rows: indices into m_rows, filtered and sorted
    int m_current = -1;
    int m_calcRow = -1;            // held row of the calculated-fields hook while it runs
    bool m_bof = true;
    bool m_eof = true;

    QString m_sortText;
    QString m_filterText;
    bool m_filtered = false;
    std::unique_ptr<RowSort> m_sort;
    std::unique_ptr<RowFilter> m_filter;
};

} // namespace velmora
