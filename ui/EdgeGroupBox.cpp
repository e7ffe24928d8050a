#include "EdgeGroupBox.h"

#include <QStyleOptionGroupBox>
#include <QStylePainter>

namespace velmora {

namespace {

// Far enough past either side that the style's vertical frame lines, corners included, fall
// outside the box.
constexpr int FrameOverhang = 8;

} // namespace

EdgeGroupBox::EdgeGroupBox(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent)
{
}

void EdgeGroupBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionGroupBox option;
    initStyleOption(&option);

    QStyleOptionGroupBox frame = option;
    frame.subControls = QStyle::SC_GroupBoxFrame;
    frame.text.clear();
    frame.rect.adjust(-FrameOverhang, 0, FrameOverhang, 0);
    painter.drawComplexControl(QStyle::CC_GroupBox, frame);

    option.subControls &= ~QStyle::SC_GroupBoxFrame;
    painter.drawComplexControl(QStyle::CC_GroupBox, option);
}

} // namespace velmora
