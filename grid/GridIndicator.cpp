#include "GridIndicator.h"

#include "ResultGrid.h"

#include <QPainter>
#include <qdrawutil.h>

namespace velmora {

namespace {
constexpr int indicatorWidth = 11;
}

GridIndicator::GridIndicator(ResultGrid& grid)
    : QHeaderView(Qt::Vertical, &grid), m_grid(grid)
{
    setSectionsClickable(false);
    setHighlightSections(false);
    setSectionResizeMode(QHeaderView::Fixed);
}

QSize GridIndicator::sizeHint() const
{
    // Fixed: the base class would measure every row's header text, and there is none.
    return {indicatorWidth, 0};
}

void GridIndicator::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    painter->save();
    const bool current = logicalIndex == m_grid.currentIndex().row();
    // While an incremental search runs, the arrow stands on the search's yellow.
    const bool searching = current && m_grid.isIncSearching();
    painter->fillRect(rect, searching ? QColor(255, 255, 0) : palette().color(QPalette::Button));
    if (m_grid.behaviourOptions().fixed3D)
        qDrawShadePanel(painter, rect, palette(), false, 1);
    if (current) {
        const int middle = rect.center().y();
        const int left = rect.left() + 3;
        const QPoint arrow[] = {{left, middle - 4}, {left + 4, middle}, {left, middle + 4}};
        painter->setPen(Qt::NoPen);
        painter->setBrush(searching ? QColor(Qt::black) : palette().color(QPalette::ButtonText));
        painter->drawPolygon(arrow, 3);
    }
    painter->restore();
}

} // namespace velmora
