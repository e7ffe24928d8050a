#include "WaitInputFilter.h"

#include "ServerWait.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace velmora {

namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::InputMethod:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace

WaitInputFilter& WaitInputFilter::instance()
{
    static QPointer<WaitInputFilter> filter;
    if (!filter) {
        filter = new WaitInputFilter(QCoreApplication::instance());
        connect(&ServerWait::instance(), &ServerWait::waitingChanged, filter, &WaitInputFilter::follow);
    }
    return *filter;
}

void WaitInputFilter::letThrough(QObject* widget)
{
    std::erase_if(m_passing, [](const QPointer<QObject>& passing) { return passing.isNull(); });
    m_passing.emplace_back(widget);
}

void WaitInputFilter::follow(bool waiting)
{
    if (waiting)
        QCoreApplication::instance()->installEventFilter(this);
    else
        QCoreApplication::instance()->removeEventFilter(this);
}

bool WaitInputFilter::passes(QObject* receiver) const
{
    for (QObject* object = receiver; object; object = object->parent())
        for (const QPointer<QObject>& passing : m_passing)
            if (passing == object)
                return true;
    return false;
}

bool WaitInputFilter::eventFilter(QObject* receiver, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (!isUserInput(type))
        return false;
    if (type == QEvent::ShortcutOverride) {
        // Taken by the widget: no shortcut runs, and Esc comes on as a key press.
        event->accept();
        return true;
    }
    if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        ServerWait::instance().cancel();
        return true;
    }
    // A click reaches a widget through its window: the window's part goes through, the widget
    // decides.
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease
        || type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
    if (mouse && !receiver->isWidgetType())
        return false;
    return !passes(receiver);
}

} // namespace velmora
