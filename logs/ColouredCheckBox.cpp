#include "ColouredCheckBox.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace velmora {

ColouredCheckBox::ColouredCheckBox(const QString& text, QColor frame, QColor check, QColor hotTrack, QWidget* parent)
    : QCheckBox(text, parent), m_frame(frame), m_check(check), m_hotTrack(hotTrack)
{
}

void ColouredCheckBox::paintEvent(QPaintEvent*)
{
    QStyleOptionButton option;
    initStyleOption(&option);
    QPainter painter(this);

    const QRect box = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this).adjusted(0, 0, -1, -1);
    painter.fillRect(box, isEnabled() ? palette().base() : palette().window());
    painter.setPen(currentFrameColour());
    painter.drawRect(box);
    if (isChecked()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(m_check, 2));
        const QRectF inner = QRectF(box).adjusted(3, 3, -3, -3);
        const QPointF mark[] = {{inner.left(), inner.center().y()},
                                {inner.left() + inner.width() * 0.4, inner.bottom()},
                                {inner.right(), inner.top()}};
        painter.drawPolyline(mark, 3);
    }

    const QRect textRect = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    style()->drawItemText(&painter, textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), text(), QPalette::WindowText);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = style()->subElementRect(QStyle::SE_CheckBoxFocusRect, &option, this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void ColouredCheckBox::enterEvent(QEnterEvent* event)
{
    m_hot = true;
    update();
    QCheckBox::enterEvent(event);
}

void ColouredCheckBox::leaveEvent(QEvent* event)
{
    m_hot = false;
    update();
    QCheckBox::leaveEvent(event);
}

} // namespace velmora
