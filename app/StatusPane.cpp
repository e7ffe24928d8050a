#include "StatusPane.h"

#include <QPainter>

namespace velmora {

QSize StatusPane::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

QString StatusPane::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void StatusPane::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), int(alignment()), shownText());
}

} // namespace velmora
