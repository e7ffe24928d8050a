#include "XInputDriver.h"

#include <QWidget>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

constexpr unsigned int WheelUp = 4;
constexpr unsigned int WheelDown = 5;

unsigned int buttonNumber(Qt::MouseButton button)
{
    switch (button) {
    case Qt::MiddleButton: return 2;
    case Qt::RightButton: return 3;
    default: return 1;
    }
}

} // namespace

XInputDriver::XInputDriver(const QByteArray& display)
    : m_display(XOpenDisplay(display.constData()))
{
    if (!m_display)
        throw std::runtime_error("cannot connect to the X display " + display.toStdString());
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(m_display, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(m_display);
        throw std::runtime_error("the X server has no XTest extension");
    }
    m_markAtom = XInternAtom(m_display, "VELMORA_INPUT_MARK", False);
}

XInputDriver::~XInputDriver()
{
    XCloseDisplay(m_display);
}

void XInputDriver::sync()
{
    XSync(m_display, False);
}

void XInputDriver::keycode(unsigned int code, bool down)
{
    XTestFakeKeyEvent(m_display, code, down, CurrentTime);
}

void XInputDriver::modifierKeys(Qt::KeyboardModifiers modifiers, bool down)
{
    for (const auto& [modifier, keysym] : {std::pair{Qt::ControlModifier, XK_Control_L},
                                           std::pair{Qt::ShiftModifier, XK_Shift_L},
                                           std::pair{Qt::AltModifier, XK_Alt_L}})
        if (modifiers.testFlag(modifier))
            keycode(XKeysymToKeycode(m_display, keysym), down);
}

void XInputDriver::key(unsigned long keysym, Qt::KeyboardModifiers modifiers)
{
    const unsigned int code = XKeysymToKeycode(m_display, keysym);
    if (code == 0)
        throw std::invalid_argument("no key for the keysym " + std::to_string(keysym));
    modifierKeys(modifiers, true);
    keycode(code, true);
    keycode(code, false);
    modifierKeys(modifiers, false);
    sync();
}

void XInputDriver::type(const QString& text)
{
    for (const QChar c : text) {
        // A printable ASCII character's keysym is its code.
        const KeySym keysym = c.unicode();
        const KeyCode code = c.unicode() >= 0x20 && c.unicode() < 0x7f ? XKeysymToKeycode(m_display, keysym) : 0;
        if (code == 0)
            throw std::invalid_argument("no key types " + QString(c).toStdString());
        const bool shifted = XkbKeycodeToKeysym(m_display, code, 0, 0) != keysym;
        modifierKeys(shifted ? Qt::ShiftModifier : Qt::NoModifier, true);
        keycode(code, true);
        keycode(code, false);
        modifierKeys(shifted ? Qt::ShiftModifier : Qt::NoModifier, false);
    }
    sync();
}

void XInputDriver::moveTo(const QWidget& widget, QPoint local)
{
    const QPoint global = widget.mapToGlobal(local);
    XTestFakeMotionEvent(m_display, -1, global.x(), global.y(), CurrentTime);
}

void XInputDriver::button(unsigned int number)
{
    XTestFakeButtonEvent(m_display, number, True, CurrentTime);
    XTestFakeButtonEvent(m_display, number, False, CurrentTime);
}

void XInputDriver::click(const QWidget& widget, QPoint local, Qt::MouseButton pressed,
                         Qt::KeyboardModifiers modifiers)
{
    moveTo(widget, local);
    modifierKeys(modifiers, true);
    button(buttonNumber(pressed));
    modifierKeys(modifiers, false);
    sync();
}

void XInputDriver::doubleClick(const QWidget& widget, QPoint local)
{
    moveTo(widget, local);
    button(1);
    button(1);
    sync();
}

void XInputDriver::wheel(const QWidget& widget, QPoint local, int notches)
{
    moveTo(widget, local);
    for (int i = 0; i < std::abs(notches); ++i)
        button(notches > 0 ? WheelUp : WheelDown);
    sync();
}

QPoint XInputDriver::origin(unsigned long window)
{
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child);
    return QPoint(x, y);
}

void XInputDriver::mark(long serial)
{
    XChangeProperty(m_display, DefaultRootWindow(m_display), m_markAtom, XA_INTEGER, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&serial), 1);
    sync();
}
