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
/// Called by the call of a waitForSeries (on its worker thread), runs `call` there at once as one
/// step of the series, with its own `cancel` and `deadline` counted from its own start.
WaitOutcome waitForServer(const std::function<void()>& call, const std::function<void()>& cancel,
                          std::chrono::milliseconds deadline);

/// Runs `series` on the worker thread as a single call waited for as waitForServer waits: the
/// waitForServer calls it makes are its steps, each cancelled and timed as if it were waited for
/// alone, without a hand-over between threads for each. The operator's cancel ends the step
/// running, and every later step ends cancelled without running. The outcome's end is always
/// Finished (the steps have their own); its failure is what `series` threw.
WaitOutcome waitForSeries(const std::function<void()>& series);

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
    friend WaitOutcome waitOnThisThread(const std::function<void()>&, const std::function<void()>*,
                                        std::chrono::milliseconds, bool);
    using QObject::QObject;
    void begin(std::function<void()> onCancel);
    void end();

    bool m_waiting = false;
    std::function<void()> m_onCancel;
};

} // namespace velmora
