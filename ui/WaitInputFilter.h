// User input while the program waits for the server: held off every window, except Esc, which
// cancels the call waited for, and input to the widgets let through (the status bar's Cancel
// button). The filter follows ServerWait and sits on the application only during a wait.
#pragma once

#include <QObject>
#include <QPointer>
#include <vector>

namespace velmora {

class WaitInputFilter : public QObject {
    Q_OBJECT
public:
    /// The program's one filter, following every wait from its first use on.
    static WaitInputFilter& instance();

    /// Input to `widget` (and its children) gets through while a call is waited for.
    void letThrough(QObject* widget);

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    using QObject::QObject;
    void follow(bool waiting);
    bool passes(QObject* receiver) const;

    std::vector<QPointer<QObject>> m_passing;
};

} // namespace velmora
