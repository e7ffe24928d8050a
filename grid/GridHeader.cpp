#include "GridHeader.h"

#include "ResultGrid.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <qdrawutil.h>

namespace velmora {

namespace {

// A copy of a right-button event as a left-button one, so that QHeaderView's own column drag
// runs for a title that is a button (its left button is taken by the click).
QMouseEvent asLeftButton(const QMouseEvent& event)
{
    Qt::MouseButtons buttons = event.buttons();
    if (buttons & Qt::RightButton)
        buttons = (buttons & ~Qt::RightButton) | Qt::LeftButton;
    const Qt::MouseButton button = event.button() == Qt::RightButton ? Qt::LeftButton : event.button();
    return QMouseEvent(event.type(), event.position(), event.scenePosition(), event.globalPosition(),
                       button, buttons, event.modifiers(), event.pointingDevice());
}

int markedColumnCount(const GridColumns& columns)
{
    return int(std::count_if(columns.begin(), columns.end(), [](const GridColumn& column) {
        return column.sortMarker != SortMarker::None;
    }));
}

} // namespace

GridHeader::GridHeader(ResultGrid& grid)
    : QHeaderView(Qt::Horizontal, &grid), m_grid(grid)
{
    // Clicks are ours (title buttons); QHeaderView's own click handling would select columns.
    setSectionsClickable(false);
    setHighlightSections(false);
}

QSize GridHeader::sizeHint() const
{
    // The view asks after every reset of its model, that is after every reading of the rows, and
    // QHeaderView then lays out every title's text with the font again: a list read anew every
    // second would spend more on that than on the rest of the reset.
    TitleLook look = titleLook();
    if (!m_measured || m_measured->first != look)
        m_measured.emplace(std::move(look), QHeaderView::sizeHint());
    return m_measured->second;
}

GridHeader::TitleLook GridHeader::titleLook() const
{
    TitleLook look{{}, {}, font(), style(), isSortIndicatorShown()};
    const QAbstractItemModel* titles = model();
    const int sections = titles ? count() : 0;
    look.titles.reserve(sections);
    look.alignments.reserve(size_t(sections));
    for (int section = 0; section < sections; ++section) {
        const bool hidden = isSectionHidden(section);
        look.titles.push_back(hidden ? QString() : titles->headerData(section, orientation()).toString());
        look.alignments.push_back(
            hidden ? -1 : titles->headerData(section, orientation(), Qt::TextAlignmentRole).toInt());
    }
    return look;
}

bool GridHeader::isTitleButton(int logicalIndex) const
{
    const GridColumns& columns = m_grid.columns();
    return logicalIndex >= 0 && size_t(logicalIndex) < columns.size()
           && columns[size_t(logicalIndex)].titleButton;
}

bool GridHeader::isOnResizeBorder(int position) const
{
    const int logical = logicalIndexAt(position);
    if (logical < 0)
        return false;
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    const int start = sectionViewportPosition(logical);
    int border = -1;
    if (position < start + grip)
        border = logicalIndexAt(start - 1);   // the right border of the section to the left
    else if (position > start + sectionSize(logical) - grip)
        border = logical;
    return border >= 0 && sectionResizeMode(border) == QHeaderView::Interactive;
}

int GridHeader::titleButtonAt(const QPoint& point) const
{
    if (!viewport()->rect().contains(point) || isOnResizeBorder(point.x()))
        return -1;
    const int logical = logicalIndexAt(point.x());
    return isTitleButton(logical) ? logical : -1;
}

void GridHeader::pressTitle(int logicalIndex)
{
    m_pressed = logicalIndex;
    m_pressedOver = true;
    // The title row is part of the grid: clicking it gives the grid the focus, so that the
    // release of Ctrl after Ctrl+clicks reaches it.
    m_grid.setFocus(Qt::MouseFocusReason);
    viewport()->update();
}

void GridHeader::mousePressEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    const int button = titleButtonAt(point);
    if (button >= 0 && event->button() == Qt::LeftButton) {
        pressTitle(button);
        event->accept();
        return;
    }
    if (button >= 0 && event->button() == Qt::RightButton && sectionsMovable()) {
        m_rightDrag = true;
        QMouseEvent left = asLeftButton(*event);
        QHeaderView::mousePressEvent(&left);
        return;
    }
    QHeaderView::mousePressEvent(event);
}

void GridHeader::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressed >= 0) {
        const QPoint point = event->position().toPoint();
        const bool over = viewport()->rect().contains(point) && logicalIndexAt(point.x()) == m_pressed;
        if (over != m_pressedOver) {
            m_pressedOver = over;
            viewport()->update();
        }
        event->accept();
        return;
    }
    if (m_rightDrag) {
        QMouseEvent left = asLeftButton(*event);
        QHeaderView::mouseMoveEvent(&left);
        return;
    }
    QHeaderView::mouseMoveEvent(event);
}

void GridHeader::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_pressed >= 0 && event->button() == Qt::LeftButton) {
        const int column = m_pressed;
        const bool click = m_pressedOver;
        m_pressed = -1;
        m_pressedOver = false;
        viewport()->update();
        event->accept();
        // Emitted last: applying a sort may raise an error, and the header is settled by then.
        if (click)
            emit titleClicked(column, event->modifiers().testFlag(Qt::ControlModifier));
        return;
    }
    if (m_rightDrag && event->button() == Qt::RightButton) {
        m_rightDrag = false;
        QMouseEvent left = asLeftButton(*event);
        QHeaderView::mouseReleaseEvent(&left);
        return;
    }
    QHeaderView::mouseReleaseEvent(event);
}

bool GridHeader::viewportEvent(QEvent* event)
{
    // Where the window system asks for a context menu on the right-button press, QHeaderView
    // would drop the column drag that press has just begun.
    if (event->type() == QEvent::ContextMenu && m_rightDrag) {
        event->accept();
        return true;
    }
    return QHeaderView::viewportEvent(event);
}

void GridHeader::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a quick double click on a title button is one more press of it.
    const int button = titleButtonAt(event->position().toPoint());
    if (button >= 0 && event->button() == Qt::LeftButton) {
        pressTitle(button);
        event->accept();
        return;
    }
    QHeaderView::mouseDoubleClickEvent(event);
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    const GridColumns& columns = m_grid.columns();
    if (!rect.isValid() || logicalIndex < 0 || size_t(logicalIndex) >= columns.size())
        return;
    const GridColumn& column = columns[size_t(logicalIndex)];
    const bool pressed = logicalIndex == m_pressed && m_pressedOver;

    painter->save();
    painter->fillRect(rect, palette().color(QPalette::Button));
    if (m_grid.behaviourOptions().fixed3D) {
        qDrawShadePanel(painter, rect, palette(), pressed, 1);
    } else {
        painter->setPen(palette().color(QPalette::Dark));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    }

    QRect textArea = rect.adjusted(2, 1, -2, -1);
    if (pressed)
        textArea.translate(1, 1);
    painter->setClipRect(rect.adjusted(1, 1, -1, -1));

    if (column.sortMarker != SortMarker::None) {
        const QRect markerArea(textArea.right() - markerAreaWidth + 1, textArea.top(),
                               markerAreaWidth, textArea.height());
        textArea.setRight(markerArea.left() - 1);
        const QRect marker(markerArea.right() - markerWidth + 1,
                           markerArea.top() + (markerArea.height() - markerHeight) / 2,
                           markerWidth, markerHeight);
        paintMarker(painter, marker, column.sortMarker == SortMarker::Down);
        if (column.sortIndex > 0 && markedColumnCount(columns) >= 2) {
            QFont indexFont(QStringLiteral("Arial"));
            indexFont.setPixelSize(8);
            painter->setFont(indexFont);
            painter->setPen(palette().color(QPalette::ButtonText));
            const QRect number(rect.left(), markerArea.top(), marker.left() - 1 - rect.left(),
                               markerArea.height());
            painter->drawText(number, Qt::AlignRight | Qt::AlignVCenter,
                              QString::number(column.sortIndex));
        }
    }

    painter->setFont(font());
    painter->setPen(palette().color(QPalette::ButtonText));
    // A caption wider than its room shows its beginning, whatever its alignment.
    Qt::Alignment alignment = column.titleAlignment;
    if (painter->fontMetrics().horizontalAdvance(column.caption()) > textArea.width())
        alignment = Qt::AlignLeft;
    painter->drawText(textArea, int(alignment | Qt::AlignVCenter), column.caption());
    painter->restore();
}

void GridHeader::paintMarker(QPainter* painter, const QRect& area, bool pointsDown) const
{
    // An etched triangle: the edges facing the light in the button-highlight colour, the
    // others in the button-shadow colour.
    const int left = area.left();
    const int right = area.right();
    const int top = area.top();
    const int bottom = area.bottom();
    const int middle = left + (markerWidth - 1) / 2;
    const QPen shadow(palette().color(QPalette::Dark));
    const QPen light(palette().color(QPalette::Light));
    painter->setRenderHint(QPainter::Antialiasing, false);
    if (pointsDown) {
        painter->setPen(shadow);
        painter->drawLine(left, top, right, top);
        painter->drawLine(left, top, middle, bottom);
        painter->setPen(light);
        painter->drawLine(right, top, middle + 1, bottom);
    } else {
        painter->setPen(shadow);
        painter->drawLine(middle, top, left, bottom);
        painter->setPen(light);
        painter->drawLine(middle + 1, top, right, bottom);
        painter->drawLine(left, bottom, right, bottom);
    }
}

} // namespace velmora
