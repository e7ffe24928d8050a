#include "OperatorDesk.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace {

OperatorDesk* theDesk = nullptr;

} // namespace

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

OperatorDesk::OperatorDesk(const QByteArray& display) : m_driver(display)
{
    QCoreApplication::instance()->installNativeEventFilter(this);
    theDesk = this;
}

OperatorDesk::~OperatorDesk()
{
    theDesk = nullptr;
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

OperatorDesk& OperatorDesk::instance()
{
    return *theDesk;
}

bool OperatorDesk::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
    if (notify->atom != m_driver.markAtom())
        return false;
    // The marks come in the order they were sent; the property itself may already hold a later one.
    ++m_seen;
    return true;
}

bool OperatorDesk::isPlaced(const QWidget& window)
{
    return m_driver.origin(window.winId()) == window.geometry().topLeft();
}

bool OperatorDesk::settle()
{
    m_driver.mark(++m_sent);
    const long awaited = m_sent;
    if (!waitUntil([&] { return m_seen >= awaited; }))
        return false;
    // Input reaches the widgets in the pass after the one that read it from the connection, and
    // what the handlers queued in the pass after that.
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::processEvents();
    return true;
}

void OperatorDesk::taken()
{
    if (!settle())
        ADD_FAILURE() << "the program did not take the input in time";
}

void OperatorDesk::key(unsigned long keysym, Qt::KeyboardModifiers modifiers)
{
    m_driver.key(keysym, modifiers);
    taken();
}

void OperatorDesk::type(const QString& text)
{
    m_driver.type(text);
    taken();
}

void OperatorDesk::click(const QWidget& widget, QPoint local, Qt::MouseButton button,
                         Qt::KeyboardModifiers modifiers)
{
    m_driver.click(widget, local, button, modifiers);
    taken();
}

void OperatorDesk::doubleClick(const QWidget& widget, QPoint local)
{
    m_driver.doubleClick(widget, local);
    taken();
}

void OperatorDesk::wheel(const QWidget& widget, QPoint local, int notches)
{
    m_driver.wheel(widget, local, notches);
    taken();
}
