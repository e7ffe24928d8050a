#include "ButtonIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace velmora {

namespace {

constexpr int PictureSize = 16;

void drawConnect(QPainter& painter)
{
    // A plug pushed into a socket.
    painter.setPen(QPen(QColor(0, 110, 0), 1.5));
    painter.setBrush(QColor(60, 180, 60));
    painter.drawRect(QRectF(2, 5, 6, 6));
    painter.drawLine(QPointF(8, 6.5), QPointF(12, 6.5));
    painter.drawLine(QPointF(8, 9.5), QPointF(12, 9.5));
    painter.drawLine(QPointF(0, 8), QPointF(2, 8));
    painter.drawLine(QPointF(13, 4), QPointF(13, 12));
}

void drawDisconnect(QPainter& painter)
{
    // The plug pulled out, with a gap.
    painter.setPen(QPen(QColor(150, 0, 0), 1.5));
    painter.setBrush(QColor(220, 70, 60));
    painter.drawRect(QRectF(1, 5, 5, 6));
    painter.drawLine(QPointF(6, 6.5), QPointF(8, 6.5));
    painter.drawLine(QPointF(6, 9.5), QPointF(8, 9.5));
    painter.drawLine(QPointF(12, 4), QPointF(12, 12));
    painter.drawLine(QPointF(12, 8), QPointF(15, 8));
}

void drawExit(QPainter& painter)
{
    // An open door with an arrow leaving it.
    painter.setPen(QPen(QColor(90, 60, 20), 1.2));
    painter.setBrush(QColor(200, 160, 90));
    painter.drawRect(QRectF(2, 1.5, 7, 13));
    painter.setPen(QPen(QColor(0, 0, 150), 1.8));
    painter.drawLine(QPointF(6, 8), QPointF(14, 8));
    painter.drawLine(QPointF(11, 5), QPointF(14, 8));
    painter.drawLine(QPointF(11, 11), QPointF(14, 8));
}

void drawAbout(QPainter& painter)
{
    painter.setPen(QPen(QColor(0, 60, 160), 1.2));
    painter.setBrush(QColor(80, 140, 230));
    painter.drawEllipse(QRectF(1, 1, 14, 14));
    painter.setPen(QPen(Qt::white, 2));
    painter.drawPoint(QPointF(8, 4.5));
    painter.drawLine(QPointF(8, 7), QPointF(8, 12));
}

void drawRefresh(QPainter& painter)
{
    painter.setPen(QPen(QColor(0, 120, 0), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(2.5, 2.5, 11, 11), 30 * 16, 280 * 16);
    QPainterPath head;
    head.moveTo(11, 1);
    head.lineTo(15, 5);
    head.lineTo(10, 6);
    head.closeSubpath();
    painter.fillPath(head, QColor(0, 120, 0));
}

} // namespace

QIcon buttonIcon(ButtonPicture picture)
{
    QPixmap pixmap(PictureSize, PictureSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
    case ButtonPicture::Connect: drawConnect(painter); break;
    case ButtonPicture::Disconnect: drawDisconnect(painter); break;
    case ButtonPicture::Exit: drawExit(painter); break;
    case ButtonPicture::About: drawAbout(painter); break;
    case ButtonPicture::Refresh: drawRefresh(painter); break;
    }
    painter.end();
    return QIcon(pixmap);
}

} // namespace velmora
