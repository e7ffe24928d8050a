// Input as an operator's keyboard and mouse give it: key presses, typed text, clicks, double
// clicks and wheel notches made by the X server itself (the XTest extension, over a connection
// of the driver's own), so they reach the program exactly as real input does.
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <Qt>

class QWidget;
struct _XDisplay;

class XInputDriver {
public:
    /// Connects to `display`. Throws std::runtime_error without a connection or without XTest.
    explicit XInputDriver(const QByteArray& display);
    ~XInputDriver();
    XInputDriver(const XInputDriver&) = delete;
    XInputDriver& operator=(const XInputDriver&) = delete;

    /// Presses and releases the key of the X keysym `keysym` (XK_F5, XK_Return) with `modifiers`
    /// held down meanwhile.
    void key(unsigned long keysym, Qt::KeyboardModifiers modifiers = {});
    /// Types printable ASCII text key by key, holding Shift where the keymap needs it. Throws
    /// std::invalid_argument for a character without a key.
    void type(const QString& text);
    /// Moves the pointer to `local` in `widget` (mapped to the screen) and clicks there.
    void click(const QWidget& widget, QPoint local, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = {});
    void doubleClick(const QWidget& widget, QPoint local);
    /// Turns the wheel over `local` in `widget`: `notches` steps, up when positive.
    void wheel(const QWidget& widget, QPoint local, int notches);

    /// Where the X server has the top-left corner of the window `window` now, in screen
    /// coordinates; the window manager may not yet have put it where the program asked.
    QPoint origin(unsigned long window);

    /// Sets the property markAtom() of the root window to `serial`. The X server reports the
    /// change to every client after all input faked before it, so a client that has seen it
    /// has received that input.
    void mark(long serial);
    unsigned long markAtom() const { return m_markAtom; }

private:
    void modifierKeys(Qt::KeyboardModifiers modifiers, bool down);
    void keycode(unsigned int code, bool down);
    void button(unsigned int number);
    void moveTo(const QWidget& widget, QPoint local);
    void sync();

    _XDisplay* m_display = nullptr;
    unsigned long m_markAtom = 0;
};
