#include "ActionKeyFilter.h"

#include <QAction>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace velmora {

ActionKeyFilter::ActionKeyFilter(QWidget& window)
    : QObject(&window), m_window(window)
{
    // The window system's window exists once the window shows.
    window.installEventFilter(this);
}

bool ActionKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window) {
        if (event->type() == QEvent::Show && m_window.windowHandle())
            m_window.windowHandle()->installEventFilter(this);
        return false;
    }
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    const QList<QAction*> actions = m_window.actions();
    return std::any_of(actions.begin(), actions.end(), [&pressed](const QAction* action) {
        return action->isEnabled() && action->shortcuts().contains(pressed);
    });
}

} // namespace velmora
