// A group box whose frame is drawn on its top and bottom sides only, its caption as usual.
#pragma once

#include <QGroupBox>

namespace velmora {

class EdgeGroupBox : public QGroupBox {
    Q_OBJECT
public:
    EdgeGroupBox(const QString& caption, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velmora
