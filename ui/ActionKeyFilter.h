// Gives a window's own shortcuts precedence over its edit boxes, which claim keys such as Ctrl+C
// for themselves before shortcuts are looked at. The window system offers each key to the window
// first: a key that belongs to an enabled action of the window goes to the action, the key of a
// disabled action on to the focused control. Only keys of this one window are looked at.
#pragma once

#include <QObject>

class QWidget;

namespace velmora {

class ActionKeyFilter : public QObject {
    Q_OBJECT
public:
    /// Filters the keys of the top-level `window` from its first showing on; a child of it.
    explicit ActionKeyFilter(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
};

} // namespace velmora
