#include "TabToolBar.h"

#include <QPainter>
#include <QToolButton>

namespace velmora {

TabToolBar::TabToolBar(const QString& name, QWidget* parent, Qt::Edges borders)
    : QFrame(parent), m_borders(borders)
{
    setObjectName(name);
    setFixedHeight(barHeight);
}

QToolButton* TabToolBar::addButton(const QString& name, int left, const QIcon& icon, const QString& hint)
{
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setGeometry(left, (barHeight - buttonSize) / 2, buttonSize, buttonSize);
    button->setAutoRaise(true);
    button->setIcon(icon);   // QIcon derives the disabled look from the picture
    button->setToolTip(hint);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void TabToolBar::addSeparator(const QString& name, int left, int width)
{
    auto* separator = new QFrame(this);
    separator->setObjectName(name);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setGeometry(left, 2, width, barHeight - 4);
}

void TabToolBar::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (!m_borders)
        return;
    // Flat: one line in the shadow colour, no bevel.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    const QRect area = rect();
    if (m_borders & Qt::LeftEdge)
        painter.drawLine(area.topLeft(), area.bottomLeft());
    if (m_borders & Qt::RightEdge)
        painter.drawLine(area.topRight(), area.bottomRight());
    if (m_borders & Qt::BottomEdge)
        painter.drawLine(area.bottomLeft(), area.bottomRight());
    if (m_borders & Qt::TopEdge)
        painter.drawLine(area.topLeft(), area.topRight());
}

} // namespace velmora
