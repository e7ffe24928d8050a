// Input as the window system delivers it: keys go to the focus widget of the active top-level
// window, clicks and the wheel to whatever is drawn at a point of the window that shows it.
// A test never hands an event to an inner widget of its own choosing (a combo box's line edit,
// a viewport), because the program would then be tested on a path real input never takes.
#pragma once

#include <QPoint>
#include <QString>
#include <Qt>
#include <initializer_list>

class QWidget;

namespace velmora::testing {

/// Shows `window` and waits until it is the active window.
bool showActive(QWidget& window);

/// A key press and release, delivered to the active window's focus widget.
void pressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
/// The release of a key held down while other input came, such as Ctrl after Ctrl+clicks.
void releaseKey(int key);
/// Each character of `text` typed as the active window's focus widget receives it.
void typeText(const QString& text);
/// A click at `point` of `widget`, delivered to the top-level window that shows it at that
/// point, so that whatever lies over the widget there gets it, as for real.
void click(QWidget& widget, QPoint point, Qt::MouseButton button = Qt::LeftButton,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier);
/// A click at the middle of `widget`, such as a button.
void click(QWidget& widget);
void doubleClick(QWidget& widget, QPoint point);
/// The parts of a drag, for a test that looks between them.
void pressButton(QWidget& widget, QPoint point, Qt::MouseButton button = Qt::LeftButton);
void moveMouse(QWidget& widget, QPoint point);
void releaseButton(QWidget& widget, QPoint point, Qt::MouseButton button = Qt::LeftButton);
/// The button pressed at the first point of `path` (of `widget`), moved through the others and
/// released at the last.
void drag(QWidget& widget, std::initializer_list<QPoint> path, Qt::MouseButton button = Qt::LeftButton);
/// `notches` turns of the wheel (positive: away from the user) over `point` of `widget`.
void turnWheel(QWidget& widget, QPoint point, int notches);

} // namespace velmora::testing
