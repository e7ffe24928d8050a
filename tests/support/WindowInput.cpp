#include "WindowInput.h"

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <QWheelEvent>
#include <iterator>

namespace velmora::testing {

namespace {

QWindow& activeWindow()
{
    QWindow* window = QGuiApplication::focusWindow();
    if (!window)
        qFatal("no active window to deliver input to");
    return *window;
}

// The window that shows `widget`, and the point in it.
std::pair<QWindow*, QPoint> windowPoint(QWidget& widget, QPoint point)
{
    QWidget& top = *widget.window();
    return {top.windowHandle(), widget.mapTo(&top, point)};
}

} // namespace

bool showActive(QWidget& window)
{
    window.show();
    window.activateWindow();
    // Not qWaitForWindowActive: it counts a window active while a window it is the transient
    // parent of has the focus, and the other way round, so keys could go to the wrong one.
    return QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == window.windowHandle(); });
}

void pressKey(int key, Qt::KeyboardModifiers modifiers)
{
    // QTest derives a key's text from ASCII only; a letter beyond it (an access key of a
    // Cyrillic caption) brings its own, as a keyboard does.
    if (key > 0xff && key < Qt::Key_Escape) {
        QTest::sendKeyEvent(QTest::Click, &activeWindow(), Qt::Key(key), QString(QChar(key)).toLower(), modifiers);
        return;
    }
    QTest::keyClick(&activeWindow(), Qt::Key(key), modifiers);
}

void releaseKey(int key)
{
    QTest::keyRelease(&activeWindow(), Qt::Key(key));
}

void typeText(const QString& text)
{
    for (const QChar character : text) {
        const char latin = character.toLatin1();
        const Qt::Key key = latin ? QTest::asciiToKey(latin) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, &activeWindow(), key, QString(character), Qt::NoModifier);
    }
}

void click(QWidget& widget, QPoint point, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    const auto [window, at] = windowPoint(widget, point);
    QTest::mouseClick(window, button, modifiers, at);
}

void click(QWidget& widget)
{
    click(widget, widget.rect().center());
}

void doubleClick(QWidget& widget, QPoint point)
{
    const auto [window, at] = windowPoint(widget, point);
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, at);
}

void pressButton(QWidget& widget, QPoint point, Qt::MouseButton button)
{
    const auto [window, at] = windowPoint(widget, point);
    QTest::mousePress(window, button, Qt::NoModifier, at);
}

void moveMouse(QWidget& widget, QPoint point)
{
    const auto [window, at] = windowPoint(widget, point);
    QTest::mouseMove(window, at);
}

void releaseButton(QWidget& widget, QPoint point, Qt::MouseButton button)
{
    const auto [window, at] = windowPoint(widget, point);
    QTest::mouseRelease(window, button, Qt::NoModifier, at);
}

void drag(QWidget& widget, std::initializer_list<QPoint> path, Qt::MouseButton button)
{
    pressButton(widget, *path.begin(), button);
    for (auto point = path.begin() + 1; point != path.end(); ++point)
        moveMouse(widget, *point);
    releaseButton(widget, *std::prev(path.end()), button);
}

void turnWheel(QWidget& widget, QPoint point, int notches)
{
    // The wheel goes to the innermost widget under the point, and on to its parents while
    // none takes it, as the application delivers a window system's wheel event.
    QWidget& top = *widget.window();
    const QPoint at = widget.mapTo(&top, point);
    QWidget* under = top.childAt(at);
    QWidget& target = under ? *under : top;
    const QPoint local = target.mapFrom(&top, at);
    QWheelEvent wheel(local, target.mapToGlobal(local), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&target, &wheel);
}

} // namespace velmora::testing
