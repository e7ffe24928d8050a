// Waiting for the server without freezing the program: the driver call runs on a worker thread
// while the GUI thread goes on painting; Esc, a Cancel button or the call's deadline cancel it.
#pragma once

#include <QObject>
#include <chrono>
#include <exception>
#include <functional>

namespace velmora {

enum class WaitEnd { Finished, Cancelled, DeadlinePassed };

struct WaitOutcome {
    WaitEnd end = WaitEnd::Finished;
    std::exception_ptr failure;   // what the call threw, if anything
};

/// Runs `call` on the worker thread and returns once it has returned. `cancel` is called on this
/// thread, once, when the operator cancels or `deadline` (zero: none) passes; the call must then
/// come back soon. Without a `cancel` the call cannot be cancelled and is simply waited for. On
/// the GUI thread the windows keep painting and timers keep running while the call is slow
/// (WaitInputFilter holds user input off meanwhile). Throws DbError (Usage) when called while
/// another call is waited for.
WaitOutcome waitForServer(const std::function<void()>& call, const std::function<void()>& cancel,
                          std::chrono::milliseconds deadline);

/// The program's view of a slow server call: whether one is waited for, and how to cancel it.
class ServerWait : public QObject {
    Q_OBJECT
public:
    static ServerWait& instance();

    bool waiting() const { return m_waiting; }
    /// Whether the call waited for can be cancelled (a login cannot).
    bool cancellable() const { return bool(m_onCancel); }

public slots:
    /// Cancels the call waited for; nothing when there is none.
    void cancel();

signals:
    /// A call outlasted the moment a wait goes unnoticed (true), and has ended (false).
    void waitingChanged(bool waiting);

private:
    friend WaitOutcome waitForServer(const std::function<void()>&, const std::function<void()>&,
                                     std::chrono::milliseconds);
    using QObject::QObject;
    void begin(std::function<void()> onCancel);
    void end();

    bool m_waiting = false;
    std::function<void()> m_onCancel;
};

} // namespace velmora
