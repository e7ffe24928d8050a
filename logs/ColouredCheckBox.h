// A check box drawn in its own colours: the box's frame, the check mark, and a hot-track frame
// while the mouse is over it.
#pragma once

#include <QCheckBox>
#include <QColor>

namespace velmora {

class ColouredCheckBox : public QCheckBox {
    Q_OBJECT
public:
    ColouredCheckBox(const QString& text, QColor frame, QColor check, QColor hotTrack, QWidget* parent = nullptr);

    /// The colour the box's frame is drawn in now: the hot-track colour while the mouse is over
    /// the control.
    QColor currentFrameColour() const { return m_hot ? m_hotTrack : m_frame; }
    QColor checkColour() const { return m_check; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QColor m_frame;
    QColor m_check;
    QColor m_hotTrack;
    bool m_hot = false;
};

} // namespace velmora
