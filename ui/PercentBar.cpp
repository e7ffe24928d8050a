#include "PercentBar.h"

#include <QPainter>

#include <algorithm>

namespace velmora {

PercentBar::PercentBar(QWidget* parent) : QWidget(parent)
{
}

void PercentBar::setValue(int percent)
{
    if (percent == m_value)
        return;
    m_value = percent;
    update();
}

QString PercentBar::text() const
{
    return QString::number(m_value) + QLatin1Char('%');
}

int PercentBar::filledWidth() const
{
    const int inside = std::max(0, width() - 2);
    return inside * std::clamp(m_value, 0, 100) / 100;
}

void PercentBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const QRect filled(inside.left(), inside.top(), filledWidth(), inside.height());
    painter.fillRect(filled, palette().color(QPalette::Highlight));

    // The text reads in the highlight's text colour over the filled part, plain elsewhere.
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(inside, Qt::AlignCenter, text());
    painter.setClipRect(filled);
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.drawText(inside, Qt::AlignCenter, text());
}

} // namespace velmora
