#include "GridCellDelegate.h"

#include "Query.h"
#include "ResultGrid.h"

#include <QLineEdit>
#include <QPainter>

namespace velmora {

GridCellDelegate::GridCellDelegate(ResultGrid& grid)
    : QStyledItemDelegate(&grid), m_grid(grid)
{
}

CellLook GridCellDelegate::cellLook(const QModelIndex& index) const
{
    const QPalette& palette = m_grid.palette();
    CellLook look{m_grid.font(), palette.color(QPalette::Base), palette.color(QPalette::Text)};
    const Query* query = m_grid.dataSource();
    if (m_grid.onGetCellParams && query && query->isActive() && index.row() < query->recordCount())
        m_grid.onGetCellParams(m_grid.columns()[size_t(index.column())], query->visibleRow(index.row()),
                               look.font, look.background, look.text);
    // The highlight wins over whatever the hook chose, so the current row stays visible on
    // any row colour.
    if (m_grid.isHighlighted(index)) {
        look.background = palette.color(QPalette::Dark);
        look.text = palette.color(QPalette::HighlightedText);
    }
    return look;
}

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const CellLook look = cellLook(index);
    const QRect& rect = cell.rect;

    painter->save();
    painter->fillRect(rect, look.background);
    painter->setPen(m_grid.palette().color(QPalette::Mid));
    if (m_grid.options().colLines)
        painter->drawLine(rect.topRight(), rect.bottomRight());
    if (m_grid.options().rowLines)
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->setFont(look.font);
    painter->setPen(look.text);
    painter->setClipRect(rect);
    painter->drawText(rect.adjusted(2, 0, -2, 0), int(cell.displayAlignment), cell.text);
    painter->restore();
}

QWidget* GridCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    // The text can be selected and copied, never changed.
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setReadOnly(true);
    return editor;
}

void GridCellDelegate::setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const
{
    // No cell is ever written back: the grids are read-only.
}

} // namespace velmora
