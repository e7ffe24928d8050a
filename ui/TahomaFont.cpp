#include "TahomaFont.h"

#include <QImage>
#include <QPainter>

namespace velmora {

namespace {

int darkPixels(const QFont& font, const QString& sample)
{
    QImage image(QFontMetrics(font).size(Qt::TextSingleLine, sample) + QSize(4, 4), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(image.rect(), Qt::AlignCenter, sample);
    painter.end();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    return dark;
}

} // namespace

QFont tahomaFont(int points, bool bold)
{
    QFont font(QStringLiteral("Tahoma"), points);
    font.setBold(bold);
    // Smoothed text is drawn from the outlines, and the Tahoma Bold of fonts-wine has regular
    // strokes there: its bold lives in bitmaps, which the font engine reads for unsmoothed text
    // alone. Unsmoothed is also how Windows draws Tahoma at these sizes.
    font.setStyleStrategy(QFont::NoAntialias);
    if (bold) {
        // Those bitmaps do not cover every size and script. Where the bold face draws no wider
        // strokes than the regular one, the regular face is emboldened instead, as Windows
        // emboldens a face that has no bold of its own.
        QFont regular = font;
        regular.setBold(false);
        for (const QString& sample : {QStringLiteral("Product"), QStringLiteral("Сервер")}) {
            if (darkPixels(font, sample) * 4 < darkPixels(regular, sample) * 5) {
                font.setStyleName(QStringLiteral("Regular"));
                break;
            }
        }
    }
    return font;
}

} // namespace velmora
