// The operator's desk for the smoke tests: the X input driver, each action followed by a wait
// until the program has received and handled it, and waits for what the program shows.
#pragma once

#include "XInputDriver.h"

#include <QAbstractNativeEventFilter>
#include <functional>

class OperatorDesk : public QAbstractNativeEventFilter {
public:
    /// Drives `display`, which the application (constructed before) shows its windows on.
    explicit OperatorDesk(const QByteArray& display);
    ~OperatorDesk() override;

    /// The desk main() made; every test drives the program through it.
    static OperatorDesk& instance();

    // Each returns once the program has handled the input (and what it posted meanwhile).
    void key(unsigned long keysym, Qt::KeyboardModifiers modifiers = {});
    void type(const QString& text);
    void click(const QWidget& widget, QPoint local, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = {});
    void doubleClick(const QWidget& widget, QPoint local);
    void wheel(const QWidget& widget, QPoint local, int notches);

    /// Whether the top-level window `window` stands on the screen where the program put it last
    /// (the window manager moves it some time after the program asked).
    bool isPlaced(const QWidget& window);

    /// Waits until the application has received every input given so far and handled the
    /// events it posted meanwhile; false when that takes longer than a few seconds.
    bool settle();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    /// Settles after input; a failure when it does not.
    void taken();

    XInputDriver m_driver;
    long m_sent = 0;
    long m_seen = 0;
};

/// Lets the application handle events until `condition` holds or `timeoutMs` have passed;
/// whether it holds.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);
