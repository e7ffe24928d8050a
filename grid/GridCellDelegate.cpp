#include "GridCellDelegate.h"

#include "Query.h"
#include "ResultGrid.h"

#include <QLineEdit>
#include <QPainter>
#include <QStyle>

namespace velmora {

namespace {

// Where a text of `width` pixels starts in `area` with the horizontal part of `alignment`.
int textLeft(const QRect& area, int width, Qt::Alignment alignment)
{
    if (alignment & Qt::AlignRight)
        return area.right() + 1 - width;
    if (alignment & Qt::AlignHCenter)
        return area.left() + (area.width() - width) / 2;
    return area.left();
}

} // namespace

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
    if (m_grid.onGetCellText)
        m_grid.onGetCellText(m_grid.columns()[size_t(index.column())], index.row(), cell.text);
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
    const QRect textArea = rect.adjusted(2, 0, -2, 0);
    painter->drawText(textArea, int(cell.displayAlignment), cell.text);
    if (m_grid.isIncSearching() && index == m_grid.currentIndex()) {
        // The search text covers the characters it matched, wherever the alignment put them.
        const QString& searched = m_grid.incrementalSearcher()->state().text();
        const QFontMetrics metrics(look.font);
        const Qt::Alignment horizontal
            = QStyle::visualAlignment(m_grid.layoutDirection(), cell.displayAlignment);
        // Trailing blanks of padded text take no part in the alignment.
        QString shown = cell.text;
        while (!shown.isEmpty() && shown.back().isSpace())
            shown.chop(1);
        const int left = textLeft(textArea, metrics.horizontalAdvance(shown), horizontal);
        const QRect covered(left, rect.top(), metrics.horizontalAdvance(searched),
                            rect.height() - (m_grid.options().rowLines ? 1 : 0));
        painter->fillRect(covered, QColor(255, 255, 0));
        painter->setPen(Qt::black);
        painter->drawText(covered, int(Qt::AlignLeft | (cell.displayAlignment & Qt::AlignVertical_Mask)),
                          searched);
    }
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
