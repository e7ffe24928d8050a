// The status bar's text pane: it takes whatever width the bar leaves it, down to none, and
// elides its text where it does not fit, so a long server version line never holds the window
// wide.
#pragma once

#include <QLabel>

namespace velmora {

class StatusPane : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override;
    /// The text as drawn at the pane's present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velmora
