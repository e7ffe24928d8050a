// The table model behind a result grid: one row per visible row of a Query, one column per
// grid column (in collection order), each showing its field's value as display text.
#pragma once

#include "FieldText.h"
#include "GridColumn.h"
#include "Query.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <vector>

namespace velmora {

class ResultSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    /// `columns` is the grid's collection and must outlive the model; call columnsReset()
    /// whenever it changes.
    explicit ResultSetModel(const GridColumns& columns, QObject* parent = nullptr);

    void setQuery(Query* query);
    Query* query() const { return m_query; }

    /// The column collection changed as a whole (order, fields, titles).
    void columnsReset();

    /// Index of the query field shown in a grid column, -1 when the query has none.
    int fieldIndexOf(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// Lets a view open its read-only inline editor on the cells.
    void setEditorAllowed(bool allowed);

private:
    void resolveFields();

    const GridColumns& m_columns;
    QPointer<Query> m_query;
    std::vector<int> m_fieldIndex;   // per grid column
    bool m_editorAllowed = false;
};

} // namespace velmora
