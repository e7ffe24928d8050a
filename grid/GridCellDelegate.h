// How a result grid draws a data cell: the column's colours, the screen's cell hook given the
// drawn row, then the focus highlight; and the read-only editor some grids allow.
#pragma once

#include <QColor>
#include <QFont>
#include <QStyledItemDelegate>

namespace velmora {

class ResultGrid;

/// The colours and font one data cell is drawn with.
struct CellLook {
    QFont font;
    QColor background;
    QColor text;
};

class GridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GridCellDelegate(ResultGrid& grid);

    /// The look of the cell at `index`; runs the grid's cell hook with the cell's row.
    /// Exceptions of the hook pass through.
    CellLook cellLook(const QModelIndex& index) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

private:
    ResultGrid& m_grid;
};

} // namespace velmora
